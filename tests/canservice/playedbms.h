#pragma once

#include "scriptedbus.h"

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

    // The padding a BMS sends where a part runs past the end of its field.
    static constexpr char Padding = char(0xEE);

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

    static quint32 replyId(int code, int devId)
    {
        return 0x18008000u | quint32(code) << 16 | quint32(devId);
    }

    static QByteArray frame(std::initializer_list<int> bytes)
    {
        QByteArray data(8, '\0');
        int i = 0;
        for (int byte : bytes)
            data[i++] = char(byte);
        return data;
    }

    static QByteArray bigEndian(quint32 value)
    {
        QByteArray data;
        for (int shift = 24; shift >= 0; shift -= 8)
            data.append(char((value >> shift) & 0xFF));
        return data;
    }

    // The twelve transfer frames of one 78-byte record: sequences 0..10 carry 7 bytes each,
    // sequence 11 the last byte.
    static QList<ScriptedBus::Frame> recordFrames(int devId, const QByteArray &record)
    {
        QList<ScriptedBus::Frame> frames;
        for (int sequence = 0; sequence <= 11; ++sequence) {
            QByteArray data(8, '\0');
            data[0] = char(sequence);
            const int count = sequence < 11 ? 7 : 1;
            for (int i = 0; i < count; ++i)
                data[1 + i] = record.at(sequence * 7 + i);
            frames.append({ replyId(0x45, devId), data });
        }
        return frames;
    }

    QList<ScriptedBus::Frame> respond(const ScriptedBus::Frame &request)
    {
        QMutexLocker lock(&m_mutex);
        const int code = (request.id >> 16) & 0xFF;
        const int devId = (request.id >> 8) & 0xFF;
        const QByteArray &data = request.data;
        QList<ScriptedBus::Frame> replies;
        if ((request.id & 0xFF) != 0x80 || (request.id >> 24) != 0x18)
            return replies;
        if (code == 0x00 && devId == 0x1F) { // new device number
            if (!silent.contains(quint8(data.at(0))))
                replies.append({ replyId(0x00, quint8(data.at(0))), frame({ 0x01 }) });
            return repeated(replies);
        }
        if (silent.contains(devId))
            return replies;

        switch (code) {
        case 0x83:
            clockSet = QDateTime(QDate(2000 + data.at(0), data.at(1), data.at(2)),
                QTime(data.at(3), data.at(4), data.at(5)));
            ++clockSetCount;
            replies.append({ replyId(code, devId), frame({ 0x01 }) });
            break;
        case 0xE0: {
            const QDate d = clock.date();
            const QTime t = clock.time();
            replies.append({ replyId(code, devId),
                frame({ 0x00, d.year() - 2000, d.month(), d.day(), t.hour(), t.minute(),
                    t.second() }) });
            break;
        }
        case 0xE1:
            for (int part : versionParts)
                replies.append({ replyId(code, devId), partFrame(version, part, 7) });
            break;
        case 0xE4:
        case 0xE5:
            for (int part : codeParts)
                replies.append({ replyId(code, devId),
                    partFrame(code == 0xE4 ? batteryCode : modelCode, part, 6) });
            break;
        case 0xA0:
        case 0xA1: {
            QByteArray &written = code == 0xA0 ? writtenBatteryCode : writtenModelCode;
            const int part = data.at(0);
            if (part == 1)
                written.clear();
            written.append(data.mid(1));
            if (part == 6)
                replies.append({ replyId(code, devId), frame({ 0x01 }) });
            break;
        }
        case 0xF1: {
            const int paramId = quint8(data.at(0));
            QByteArray reply = frame({ paramId });
            reply.replace(1, 4, bigEndian(registers.value(paramId)));
            replies.append({ replyId(code, devId), reply });
            break;
        }
        case 0xF0: {
            const int paramId = quint8(data.at(0));
            const quint32 wire = quint32(quint8(data.at(1))) << 24
                | quint32(quint8(data.at(2))) << 16 | quint32(quint8(data.at(3))) << 8
                | quint8(data.at(4));
            if (paramId == 0xD2)
                energyCleared = true;
            else
                registers[paramId] = wire;
            replies.append({ replyId(code, devId), frame({ paramId, 0x01 }) });
            break;
        }
        case 0x44: {
            QByteArray reply = frame({});
            reply.replace(0, 4, bigEndian(historyCount));
            replies.append({ replyId(code, devId), reply });
            break;
        }
        case 0x45:
            if (data.at(1) == 0x01) {
                for (const QByteArray &record : historyRecords)
                    replies.append(recordFrames(devId, record));
            } else {
                replies.append({ replyId(code, devId), frame({ 0xFF }) });
            }
            break;
        case 0x46:
            historyRecords.clear();
            replies.append({ replyId(code, devId), frame({ 0x01 }) });
            break;
        default:
            break;
        }
        return repeated(replies);
    }

private:
    static QByteArray partFrame(const QByteArray &field, int part, int partSize)
    {
        QByteArray data(8, '\0');
        data[0] = char(part);
        for (int i = 0; i < partSize; ++i) {
            const int index = (part - 1) * partSize + i;
            data[1 + i] = index >= 0 && index < field.size() ? field.at(index) : Padding;
        }
        return data;
    }

    QList<ScriptedBus::Frame> repeated(const QList<ScriptedBus::Frame> &replies) const
    {
        QList<ScriptedBus::Frame> all;
        for (int i = 0; i < copies; ++i)
            all.append(replies);
        return all;
    }

    mutable QMutex m_mutex;
};
