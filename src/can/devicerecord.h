#pragma once

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
    static constexpr int VersionSize = 15;
    static constexpr int VersionPartSize = 7;
    static constexpr int VersionParts = 3;
    static constexpr int CodeSize = 32;
    static constexpr int CodePartSize = 6;
    static constexpr int CodeParts = 6;
    static constexpr int HistoryRecordSize = 78;

    QDateTime clock; // local time; invalid until the BMS first answers a clock read
    PartedField firmwareVersion { VersionSize, VersionPartSize, VersionParts };
    PartedField batteryCode { CodeSize, CodePartSize, CodeParts };
    PartedField modelCode { CodeSize, CodePartSize, CodeParts };
    // Display values, one per position of the parameter table.
    QVector<qint32> parameterValues = QVector<qint32>(ThresholdSetting::ParameterCount, 0);
    quint32 historyEventCount = 0;
    // The history record under construction; empty when none is. A finished record goes to
    // whoever listens and is not kept: transfers on a shared bus may go on for ever.
    QByteArray historyRecord;
    // The sequences that came for the record under construction (bit s for sequence s, 0 to
    // 11); 0 when none is.
    quint16 historyFramesSeen = 0;
    // Whether a record of the current transfer was finished, complete or not.
    bool historyRecordFinished = false;
    // The last transfer frame that came, to tell a frame delivered twice.
    QByteArray lastHistoryFrame;
};
