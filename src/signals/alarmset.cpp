#include "alarmset.h"

#include "signals/abstractsignalvalue.h"
#include "signals/signalindex.h"

#include <QCoreApplication>

const std::array<AlarmSet::Alarm, 21> AlarmSet::Alarms { {
    { Signal::CellOverVolt, Level, QT_TRANSLATE_NOOP("UiMainTop", "Cell Over Voltage") },
    { Signal::CellUnderVolt, Level, QT_TRANSLATE_NOOP("UiMainTop", "Cell Under Voltage") },
    { Signal::PackOverVolt, Level, QT_TRANSLATE_NOOP("UiMainTop", "System Over Voltage") },
    { Signal::PackUnderVolt, Level, QT_TRANSLATE_NOOP("UiMainTop", "System Under Voltage") },
    { Signal::CellDiffVolt, Level, QT_TRANSLATE_NOOP("UiMainTop", "Voltage Differential") },
    { Signal::ChargeHiTemp, Level, QT_TRANSLATE_NOOP("UiMainTop", "Charge Hight Temp") },
    { Signal::DischargeHiTemp, Level, QT_TRANSLATE_NOOP("UiMainTop", "Discharge Hight Temp") },
    { Signal::ChargeLoTemp, Level, QT_TRANSLATE_NOOP("UiMainTop", "Charge Low Temp") },
    { Signal::DischargeLoTemp, Level, QT_TRANSLATE_NOOP("UiMainTop", "Discharge Low Temp") },
    { Signal::DiffTemp, Level, QT_TRANSLATE_NOOP("UiMainTop", "Temp Differential") },
    { Signal::ChargeOverCurr, Level, QT_TRANSLATE_NOOP("UiMainTop", "Charge Over Current") },
    { Signal::DischargeOverCurr, Level, QT_TRANSLATE_NOOP("UiMainTop", "Discharge Over Current") },
    { Signal::AfeOv, Flag, QT_TRANSLATE_NOOP("UiMainTop", "AFE-OV") },
    { Signal::AfeUv, Flag, QT_TRANSLATE_NOOP("UiMainTop", "AFE-UV") },
    { Signal::DuplicateSlaveAddrError, Flag, QT_TRANSLATE_NOOP("UiMainTop", "Address Duplicate") },
    { Signal::InterCanCommunError, Flag,
        QT_TRANSLATE_NOOP("UiMainTop", "Internal CAN Communication Error") },
    { Signal::ExterCanCommunError, Flag,
        QT_TRANSLATE_NOOP("UiMainTop", "External CAN Communication Error") },
    { Signal::Rs485CommunicationError, Flag,
        QT_TRANSLATE_NOOP("UiMainTop", "RS485 Communication Error") },
    { Signal::CellVoltageWireBreak, Flag,
        QT_TRANSLATE_NOOP("UiMainTop", "Cell Voltage Wire Break") },
    { Signal::TempWireBreak, Flag, QT_TRANSLATE_NOOP("UiMainTop", "Temp Wire Break") },
    { Signal::AFECommunicationError, Flag,
        QT_TRANSLATE_NOOP("UiMainTop", "AFE Communication Error") },
} };

namespace {

QList<int> signalsOfKind(AlarmSet::Kind kind)
{
    QList<int> found;
    for (const AlarmSet::Alarm &alarm : AlarmSet::Alarms) {
        if (alarm.kind == kind)
            found.append(alarm.signal);
    }
    return found;
}

} // namespace

QList<int> AlarmSet::levelSignals()
{
    return signalsOfKind(Level);
}

QList<int> AlarmSet::flagSignals()
{
    return signalsOfKind(Flag);
}

QStringList AlarmSet::names()
{
    QStringList names;
    for (Kind kind : { Level, Flag }) {
        for (const Alarm &alarm : Alarms) {
            if (alarm.kind == kind)
                names.append(QCoreApplication::translate(NameContext, alarm.name));
        }
    }
    return names;
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

QStringList AlarmSet::activeNames(const AbstractSignalValue &store, int devId, int level)
{
    QStringList names;
    for (const Alarm &alarm : Alarms) {
        const int value = store.value(devId, alarm.signal).toInt();
        const bool active = alarm.kind == Level ? value == level
                                                : level == ProtectionLevel && value == FlagActive;
        if (active)
            names.append(QCoreApplication::translate(NameContext, alarm.name));
    }
    return names;
}
