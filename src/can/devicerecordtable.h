#pragma once

#include "can/devicerecord.h"
#include "can/partedfield.h"
#include "settings/thresholdsetting.h"

#include <QByteArray>
#include <QVector>

// The device records of batteries 0 to 27, and how the content of a reply frame is stored in
// them (the frame layouts are CommandCodec's). It keeps the service's own parameter table, which
// turns the parameters' wire values into display values and back. GUI thread only.
class DeviceRecordTable
{
public:
    // Loads the parameter table (a failure is logged and leaves it empty or partial).
    DeviceRecordTable();

    // Stores what a reply frame of battery devId (0 to 27) carries; data holds at least 8 bytes.
    // Returns whether the frame is a reply of the command protocol: one whose content is stored,
    // or a hardware reply (0xE2), which has nothing to store.
    bool store(quint8 devId, quint32 id, const QByteArray &data);

    const DeviceRecord &at(quint8 devId) const { return m_records.at(devId); }
    // The text that the read with code fills: ReadVersion, ReadBatteryCode or ReadModelCode.
    PartedField &textOf(quint8 devId, quint8 code);
    // The stored display value of paramId; 0 for an id outside the parameter table, which has
    // no stored position.
    qint32 parameterValue(quint8 devId, quint8 paramId) const;
    // The wire value of a display value of paramId; 0 for an id outside the table.
    quint32 wireValue(quint8 paramId, qint32 value) const;

private:
    ThresholdSetting m_parameters;
    QVector<DeviceRecord> m_records;
};
