#include "alarmset.h"

#include "signals/abstractsignalvalue.h"
#include "signals/signalindex.h"

QList<int> AlarmSet::levelSignals()
{
    return { Signal::CellOverVolt, Signal::CellUnderVolt, Signal::PackOverVolt,
        Signal::PackUnderVolt, Signal::CellDiffVolt, Signal::ChargeHiTemp, Signal::DischargeHiTemp,
        Signal::ChargeLoTemp, Signal::DischargeLoTemp, Signal::DiffTemp, Signal::ChargeOverCurr,
        Signal::DischargeOverCurr };
}

QList<int> AlarmSet::flagSignals()
{
    return { Signal::AfeOv, Signal::AfeUv, Signal::DuplicateSlaveAddrError,
        Signal::InterCanCommunError, Signal::ExterCanCommunError, Signal::Rs485CommunicationError,
        Signal::CellVoltageWireBreak, Signal::TempWireBreak, Signal::AFECommunicationError };
}

int AlarmSet::protectionCount(
    const AbstractSignalValue &store, int devId, const QList<int> &levels, const QList<int> &flags)
{
    int count = 0;
    for (int index : levels) {
        if (store.value(devId, index).toInt() == ProtectionLevel)
            ++count;
    }
    for (int index : flags) {
        if (store.value(devId, index).toInt() == FlagActive)
            ++count;
    }
    return count;
}

int AlarmSet::alarmCount(const AbstractSignalValue &store, int devId, const QList<int> &levels)
{
    int count = 0;
    for (int index : levels) {
        if (store.value(devId, index).toInt() == AlarmLevel)
            ++count;
    }
    return count;
}
