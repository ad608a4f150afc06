#pragma once

#include "can/canframe.h"
#include "can/controlcanapi.h"

#include <QByteArray>
#include <QList>
#include <QMutex>
#include <QMutexLocker>
#include <QString>
#include <QStringList>

#include <cstring>
#include <functional>

// A ControlCAN provider whose bus is played by the test, for a real CanDevice (and so a real
// worker thread and 5 ms poll) under the CAN service.
//
// Control API, callable from any thread:
// - setResponder(f): f is called for every transmitted frame, in the adapter's worker thread,
//   and the frames it returns are received at the adapter's next poll. Give it no state that
//   the test thread changes without a lock of its own.
// - inject(id, data): a frame received at the next poll, as if a battery had sent it.
// - transmitted(), transmittedText(), clearTransmitted(): what the adapter sent, in order.
// - setOpenFails(true): VCI_OpenDevice fails from then on; lastOpened() tells what it was
//   asked to open.
// - setTransmitRefusal(f): VCI_Transmit refuses (returns 0 for) every frame for which f returns
//   true, called in the worker thread; a refused frame is not in transmitted().
//
// Received frames carry their data zero-filled to 8 bytes with the length code of the given
// data, the way the vendor's records do.
class ScriptedBus : public ControlCanApi
{
public:
    using Frame = CanFrame;
    using Responder = std::function<QList<Frame>(const Frame &request)>;
    using Refusal = std::function<bool(const Frame &frame)>;

    // "18f10780: 09": the identifier as 8 hex digits, then the data bytes.
    static QString text(const Frame &frame)
    {
        QString line = QStringLiteral("%1:").arg(frame.id, 8, 16, QLatin1Char('0'));
        if (!frame.data.isEmpty())
            line += QLatin1Char(' ') + QString::fromLatin1(frame.data.toHex(' '));
        return line;
    }

    void setResponder(Responder responder)
    {
        QMutexLocker lock(&m_mutex);
        m_responder = std::move(responder);
    }

    void inject(quint32 id, const QByteArray &data)
    {
        QMutexLocker lock(&m_mutex);
        m_received.append(Frame { id, data.left(8) });
    }

    void inject(const QList<Frame> &frames)
    {
        for (const Frame &frame : frames)
            inject(frame.id, frame.data);
    }

    QList<Frame> transmitted() const
    {
        QMutexLocker lock(&m_mutex);
        return m_transmitted;
    }

    QStringList transmittedText() const
    {
        QStringList lines;
        for (const Frame &frame : transmitted())
            lines.append(text(frame));
        return lines;
    }

    int transmittedCount(quint32 id) const
    {
        int count = 0;
        for (const Frame &frame : transmitted())
            count += frame.id == id ? 1 : 0;
        return count;
    }

    void clearTransmitted()
    {
        QMutexLocker lock(&m_mutex);
        m_transmitted.clear();
    }

    void setTransmitRefusal(Refusal refusal)
    {
        QMutexLocker lock(&m_mutex);
        m_refusal = std::move(refusal);
    }

    void setOpenFails(bool fails)
    {
        QMutexLocker lock(&m_mutex);
        m_openFails = fails;
    }

    // The device type and index of the last VCI_OpenDevice, as "type/index".
    QString lastOpened() const
    {
        QMutexLocker lock(&m_mutex);
        return m_lastOpened;
    }

    std::uint32_t openDevice(
        std::uint32_t deviceType, std::uint32_t deviceIndex, std::uint32_t) override
    {
        QMutexLocker lock(&m_mutex);
        m_lastOpened = QStringLiteral("%1/%2").arg(deviceType).arg(deviceIndex);
        return m_openFails ? 0 : VCI_STATUS_OK;
    }
    std::uint32_t closeDevice(std::uint32_t, std::uint32_t) override { return VCI_STATUS_OK; }
    std::uint32_t initCan(std::uint32_t, std::uint32_t, std::uint32_t, VCI_INIT_CONFIG *) override
    {
        return VCI_STATUS_OK;
    }
    std::uint32_t setReference(
        std::uint32_t, std::uint32_t, std::uint32_t, std::uint32_t, void *) override
    {
        return VCI_STATUS_OK;
    }
    std::uint32_t clearBuffer(std::uint32_t, std::uint32_t, std::uint32_t) override
    {
        return VCI_STATUS_OK;
    }
    std::uint32_t startCan(std::uint32_t, std::uint32_t, std::uint32_t) override
    {
        return VCI_STATUS_OK;
    }

    std::uint32_t transmit(std::uint32_t, std::uint32_t, std::uint32_t, VCI_CAN_OBJ *frames,
        std::uint32_t count) override
    {
        for (std::uint32_t i = 0; i < count; ++i) {
            const Frame frame { frames[i].ID,
                QByteArray(reinterpret_cast<const char *>(frames[i].Data),
                    qMin<int>(frames[i].DataLen, 8)) };
            Responder responder;
            {
                QMutexLocker lock(&m_mutex);
                if (m_refusal && m_refusal(frame))
                    return i;
                m_transmitted.append(frame);
                responder = m_responder;
            }
            // Outside the lock, so that a responder may inject on its own.
            const QList<Frame> replies = responder ? responder(frame) : QList<Frame>();
            QMutexLocker lock(&m_mutex);
            for (const Frame &reply : replies)
                m_received.append(Frame { reply.id, reply.data.left(8) });
        }
        return count;
    }

    std::uint32_t receive(std::uint32_t, std::uint32_t, std::uint32_t, VCI_CAN_OBJ *frames,
        std::uint32_t length, std::int32_t) override
    {
        QMutexLocker lock(&m_mutex);
        std::uint32_t count = 0;
        while (count < length && !m_received.isEmpty()) {
            const Frame frame = m_received.takeFirst();
            VCI_CAN_OBJ &record = frames[count++];
            std::memset(&record, 0, sizeof(record));
            record.ID = frame.id;
            record.TimeStamp = ++m_timeStamp;
            record.ExternFlag = 1;
            record.DataLen = std::uint8_t(frame.data.size());
            std::memcpy(record.Data, frame.data.constData(), size_t(frame.data.size()));
        }
        return count;
    }

    std::uint32_t readErrInfo(
        std::uint32_t, std::uint32_t, std::uint32_t, VCI_ERR_INFO *errorInfo) override
    {
        std::memset(errorInfo, 0, sizeof(*errorInfo));
        return VCI_STATUS_OK;
    }

    QString description() const override { return QStringLiteral("scripted bus"); }

private:
    mutable QMutex m_mutex;
    Responder m_responder;
    Refusal m_refusal;
    QList<Frame> m_transmitted;
    QList<Frame> m_received;
    std::uint32_t m_timeStamp = 0;
    bool m_openFails = false;
    QString m_lastOpened;
};
