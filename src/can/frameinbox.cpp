#include "frameinbox.h"

#include <QMetaObject>
#include <QMutexLocker>
#include <QTimer>

#include <algorithm>
#include <cstring>

#if defined(__GLIBC__)
#include <malloc.h>
#endif

namespace {

// Hands the free memory of every heap back to the system. glibc keeps freed memory in the heap
// it came from for later allocations, so after a backlog the heaps would stay at its size (the
// CAN worker's, for one, which the bus's own buffers fill while the window falls behind).
void returnFreedMemory()
{
#if defined(__GLIBC__)
    malloc_trim(0);
#endif
}

} // namespace

FrameInbox::FrameInbox(QObject *parent)
    : QObject(parent)
{ }

void FrameInbox::put(ulong id, const QByteArray &data, ulong timeStamp)
{
    Frame frame;
    frame.id = id;
    frame.timeStamp = timeStamp;
    frame.length = std::min(int(data.size()), MaxDataLength);
    std::memcpy(frame.data, data.constData(), size_t(frame.length));

    QMutexLocker locker(&m_mutex);
    m_incoming.append(frame);
    postDelivery();
}

void FrameInbox::postDelivery()
{
    if (m_deliveryPosted || m_paced || m_incoming.isEmpty())
        return;
    m_deliveryPosted = true;
    QMetaObject::invokeMethod(this, &FrameInbox::deliver, Qt::QueuedConnection);
}

void FrameInbox::setBatchInterval(int intervalMs)
{
    if (!m_batchTimer) {
        m_batchTimer = new QTimer(this);
        connect(m_batchTimer, &QTimer::timeout, this, &FrameInbox::deliver);
    }
    QMutexLocker locker(&m_mutex);
    m_paced = intervalMs > 0;
    if (m_paced) {
        m_batchTimer->start(intervalMs);
        return;
    }
    m_batchTimer->stop();
    // What the timer had not taken yet goes as a posted batch.
    postDelivery();
}

void FrameInbox::deliver()
{
    // m_batch and m_next are shared with the deliveries that a slot's local event loop runs:
    // those go on with the same batch, and this one then finds it further along. A new batch is
    // taken only once the last one is through, so the order holds.
    {
        QMutexLocker locker(&m_mutex);
        m_deliveryPosted = false;
        if (m_next == m_batch.size())
            m_batch.swap(m_incoming);
    }
    while (m_next < m_batch.size()) {
        const Frame frame = m_batch.at(m_next++);
        emit frameArrived(frame.id, QByteArray(frame.data, frame.length), frame.timeStamp);
    }
    if (m_batch.capacity() > KeptFrames) {
        // The end of a backlog: neither list keeps its room, nor the heaps theirs.
        m_batch = QVector<Frame>();
        returnFreedMemory();
    } else {
        m_batch.clear();
    }
    m_next = 0;

    // Frames put since the batch was taken wait for the next round of the event loop, as
    // events posted meanwhile do: taking them now could keep a window that falls behind from
    // ever serving its timers and clicks.
    QMutexLocker locker(&m_mutex);
    postDelivery();
}
