#include "uimanufacturing.h"

UiManufacturing::UiManufacturing(QWidget *parent)
    : QWidget(parent)
{ }

void UiManufacturing::Slot_ShowMonitorData(uint devId)
{
    m_devId = int(devId);
}
