#pragma once

#include "can/commandprotocol.h"
#include "can/partedfield.h"
#include "settings/thresholdsetting.h"

#include <QByteArray>
#include <QDateTime>
#include <QVector>

// The last replies of one BMS, kept by the CAN service for the whole run. Replies are stored
// here as they arrive, whoever asked; a waiting operation reads its answer from here once its
// reply pattern is gone, so the record is filled before the wait ends.
struct DeviceRecord
{
    QDateTime clock; // local time; invalid until the BMS first answers a clock read
    PartedField firmwareVersion { CommandProtocol::VersionSize, CommandProtocol::VersionPartSize,
        CommandProtocol::VersionParts };
    PartedField batteryCode { CommandProtocol::CodeSize, CommandProtocol::CodePartSize,
        CommandProtocol::CodeParts };
    PartedField modelCode { CommandProtocol::CodeSize, CommandProtocol::CodePartSize,
        CommandProtocol::CodeParts };
    // Display values, one per position of the parameter table.
    QVector<qint32> parameterValues = QVector<qint32>(ThresholdSetting::ParameterCount, 0);
    quint32 historyEventCount = 0;
};
