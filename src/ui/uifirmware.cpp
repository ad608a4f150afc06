#include "uifirmware.h"

UiFirmware::UiFirmware(QWidget *parent)
    : QWidget(parent)
{ }

void UiFirmware::OnNewComPort(QString comPort)
{
    m_comPort = comPort;
}

void UiFirmware::Slot_ShowMonitorData(uint devId)
{
    m_devId = int(devId);
}
