#pragma once

#include "can/canbus.h"

#include <QByteArray>
#include <QList>
#include <QMutex>
#include <QMutexLocker>
#include <QString>
#include <QStringList>

#include <functional>

// The fake adapter of the tests above the adapters: a CanBus whose bus is played by the test, for
// a real CanDevice (and so a real worker thread and 5 ms poll) under the CAN service. The device
// owns it; the test keeps a plain pointer.
//
// Control API, callable from any thread:
// - setResponder(f): f is called for every transmitted frame, in the adapter's worker thread,
//   and the frames it returns are received at the adapter's next poll. Give it no state that
//   the test thread changes without a lock of its own.
// - inject(id, data): a frame received at the next poll, as if a battery had sent it.
// - transmitted(), transmittedText(), clearTransmitted(): what the adapter sent, in order.
// - setOpenFails(true): open() fails from then on; lastOpened() tells what it was asked to open
//   (adapter type and index).
// - setTransmitRefusal(f): writeFrame() refuses every frame for which f returns true, called in
//   the worker thread; a refused frame is not in transmitted().
class ScriptedBus : public CanBus
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

    // The adapter type and index of the last open(), as "type/index".
    QString lastOpened() const
    {
        QMutexLocker lock(&m_mutex);
        return m_lastOpened;
    }

    bool open(const Settings &settings) override
    {
        QMutexLocker lock(&m_mutex);
        m_lastOpened = QStringLiteral("%1/%2").arg(settings.adapterType).arg(settings.adapterIndex);
        if (m_openFails)
            return false;
        lock.unlock();
        setState(State::Open);
        return true;
    }
    void close() override { setState(State::Closed); }

    bool writeFrame(const CanFrame &frame) override
    {
        Responder responder;
        {
            QMutexLocker lock(&m_mutex);
            if (m_refusal && m_refusal(frame))
                return false;
            m_transmitted.append(frame);
            responder = m_responder;
        }
        // Outside the lock, so that a responder may inject on its own.
        const QList<Frame> replies = responder ? responder(frame) : QList<Frame>();
        for (const Frame &reply : replies)
            inject(reply.id, reply.data);
        return true;
    }

    int readFrames(CanFrame *frames, int count) override
    {
        QMutexLocker lock(&m_mutex);
        int taken = 0;
        while (taken < count && !m_received.isEmpty()) {
            frames[taken] = m_received.takeFirst();
            frames[taken++].timeStamp = ++m_timeStamp;
        }
        return taken;
    }

    quint32 takeErrorCode() override { return 0; }
    // Polled, like the vendor's adapters: the test thread injects without signals.
    bool announcesArrivals() const override { return false; }
    QString description() const override { return QStringLiteral("scripted bus"); }

private:
    mutable QMutex m_mutex;
    Responder m_responder;
    Refusal m_refusal;
    QList<Frame> m_transmitted;
    QList<Frame> m_received;
    quint32 m_timeStamp = 0;
    bool m_openFails = false;
    QString m_lastOpened;
};
