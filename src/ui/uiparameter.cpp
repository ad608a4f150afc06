#include "uiparameter.h"

UiParameter::UiParameter(QWidget *parent)
    : QWidget(parent)
{ }

void UiParameter::Slot_ShowMonitorData(uint devId)
{
    m_devId = int(devId);
}
