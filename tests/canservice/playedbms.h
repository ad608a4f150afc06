#pragma once

#include "scriptedbus.h"

#include "can/commandcodec.h"

#include <QDateTime>
#include <QMap>
#include <QMutex>
#include <QMutexLocker>
#include <QSet>

// The batteries on the scripted bus, answering the host's commands the way a BMS does: every
// battery number that a request addresses answers under that number, numbers above 27
// included. Install it with bus.setResponder(bms.responder()).
//
// The public fields describe what the batteries hold; change them only through update(), which
// takes the lock the worker thread answers under. Frames are always 8 bytes.
class PlayedBms
{
public:
    QDateTime clock = QDateTime(QDate(2023, 12, 31), QTime(23, 59, 58));
    QByteArray version = QByteArrayLiteral("V2.01.07-B0917X"); // 15 bytes
    QByteArray batteryCode = QByteArrayLiteral("QM20210520001-BATTERY-CODE-0032X"); // 32 bytes
    QByteArray modelCode = QByteArrayLiteral("LFP16S-100AH-RACK-51V2-MODEL-32X"); // 32 bytes
    QList<int> versionParts { 1, 2, 3 }; // sent in this order
    QList<int> codeParts { 1, 2, 3, 4, 5, 6 };
    QMap<int, quint32> registers; // wire values by parameter id
    quint32 historyCount = 0;
    QList<QByteArray> historyRecords; // 78 bytes each
    QSet<int> silent; // battery numbers that answer nothing
    int copies = 1; // how often each reply goes out
    // Filled by the batteries:
    QDateTime clockSet;
    QByteArray writtenBatteryCode;
    QByteArray writtenModelCode;
    bool energyCleared = false;
    int clockSetCount = 0;

    // What a BMS sends where a part runs past the end of its field: the host must not keep it.
    static inline const QByteArray Surplus = QByteArray(8, char(0xEE));

    template <typename F> void update(F change)
    {
        QMutexLocker lock(&m_mutex);
        change(*this);
    }

    template <typename T, typename F> T read(F get) const
    {
        QMutexLocker lock(&m_mutex);
        return get(*this);
    }

    ScriptedBus::Responder responder()
    {
        return [this](const ScriptedBus::Frame &request) { return respond(request); };
    }

    QList<ScriptedBus::Frame> respond(const ScriptedBus::Frame &request)
    {
        using namespace CommandProtocol;
        namespace Codec = CommandCodec;
        QMutexLocker lock(&m_mutex);
        const quint8 code = Codec::codeOf(request.id);
        const quint8 devId = Codec::destinationOf(request.id);
        const QByteArray &data = request.data;
        QList<ScriptedBus::Frame> replies;
        if (!Codec::isRequest(request.id))
            return replies;
        if (code == SetDeviceId && devId == SetDeviceIdDestination) {
            if (!silent.contains(Codec::newIdOf(data)))
                replies.append(Codec::acknowledgement(code, Codec::newIdOf(data)));
            return repeated(replies);
        }
        if (silent.contains(devId))
            return replies;

        switch (code) {
        case SetTime:
            clockSet = Codec::clockOf(data);
            ++clockSetCount;
            replies.append(Codec::acknowledgement(code, devId));
            break;
        case ReadTime:
            replies.append(Codec::timeReply(devId, clock));
            break;
        case ReadVersion:
            for (int part : versionParts)
                replies.append(Codec::textPart(code, devId, version + Surplus, part));
            break;
        case ReadBatteryCode:
        case ReadModelCode:
            for (int part : codeParts)
                replies.append(Codec::textPart(code, devId,
                    (code == ReadBatteryCode ? batteryCode : modelCode) + Surplus, part));
            break;
        case WriteBatteryCode:
        case WriteModelCode: {
            QByteArray &written = code == WriteBatteryCode ? writtenBatteryCode : writtenModelCode;
            const CommandCodec::Part part = Codec::partOf(code, data);
            if (part.number == 1)
                written.clear();
            written.append(part.bytes);
            if (part.number == CodeParts)
                replies.append(Codec::acknowledgement(code, devId));
            break;
        }
        case ReadParameter: {
            const quint8 paramId = Codec::paramIdOf(data);
            replies.append(Codec::parameterReply(devId, paramId, registers.value(paramId)));
            break;
        }
        case WriteParameter: {
            const CommandCodec::Parameter parameter = Codec::parameterOf(data);
            if (parameter.paramId == ClearEnergyParamId)
                energyCleared = true;
            else
                registers[parameter.paramId] = parameter.wire;
            replies.append(Codec::parameterAcknowledgement(devId, parameter.paramId));
            break;
        }
        case HistoryCount:
            replies.append(Codec::historyCountReply(devId, historyCount));
            break;
        case HistoryTransfer:
            if (Codec::transferSubCommandOf(data) == TransferStart) {
                for (const QByteArray &record : historyRecords)
                    replies.append(Codec::historyFrames(devId, record));
            } else {
                replies.append(Codec::transferStopAcknowledgement(devId));
            }
            break;
        case ClearHistory:
            historyRecords.clear();
            replies.append(Codec::acknowledgement(code, devId));
            break;
        default:
            break;
        }
        return repeated(replies);
    }

private:
    QList<ScriptedBus::Frame> repeated(const QList<ScriptedBus::Frame> &replies) const
    {
        QList<ScriptedBus::Frame> all;
        for (int i = 0; i < copies; ++i)
            all.append(replies);
        return all;
    }

    mutable QMutex m_mutex;
};
