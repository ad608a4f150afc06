#include "uihistorydata.h"

UiHistoryData::UiHistoryData(QWidget *parent)
    : QWidget(parent)
{ }

void UiHistoryData::Slot_ShowMonitorData(uint devId)
{
    m_devId = int(devId);
}
