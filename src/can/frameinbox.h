#pragma once

#include <QByteArray>
#include <QMutex>
#include <QObject>
#include <QVector>

class QTimer;

// Carries the frames the adapter receives in the CAN worker thread over to the thread the inbox
// lives in (the GUI thread), in the order they came.
//
// A queued signal per frame posted, for every frame and each of its receivers, a call event
// with copies of its arguments to the GUI thread. While the window fell behind, the GUI thread's
// event queue grew by two entries a frame and kept that room for good, and the waiting events
// held about 300 bytes a frame of heap that glibc kept after the backlog was worked off: every
// backlog larger than the ones before left the program larger. Here put() copies the frame into
// a list under a lock, and only the first frame of a batch posts a call; the GUI thread takes
// the whole list at once and emits frameArrived() for each frame. The lists keep their room up
// to KeptFrames, so in steady traffic the worker allocates nothing per frame. A larger batch is
// a backlog the GUI thread has just worked off: its list is let go, and the memory the heaps
// hold free at that moment is handed back to the system.
//
// A slot of frameArrived() may run a local event loop (a command waiting for its reply); the
// frames that come meanwhile are delivered inside that loop, after the rest of the current
// batch, so the order still holds.
//
// A listener on a clock of its own may have the batches paced instead (setBatchInterval()): a
// timer of the inbox's thread then takes what came since its last turn, and put() posts nothing.
// At a busy bus's pace of a batch every poll, that thread wakes a few times less often.
class FrameInbox : public QObject
{
    Q_OBJECT

public:
    // The data bytes a frame keeps; the adapter hands over exactly this many.
    static constexpr int MaxDataLength = 8;
    // Room for frames the lists keep between batches: in steady traffic a batch holds the few
    // frames of one 5 ms poll, this many half a second of a full 250 kbit/s bus.
    static constexpr int KeptFrames = 1024;

    explicit FrameInbox(QObject *parent = nullptr);

    // From any thread: queues the frame (its first MaxDataLength data bytes) for delivery.
    void put(ulong id, const QByteArray &data, ulong timeStamp);
    // From now on, the frames come in batches every intervalMs, or with a posted call per batch
    // again for 0 (as at first). In the inbox's thread.
    void setBatchInterval(int intervalMs);

signals:
    // In the inbox's thread, once per frame put, in the order they were put.
    void frameArrived(ulong id, const QByteArray &data, ulong timeStamp);

private:
    struct Frame
    {
        ulong id = 0;
        ulong timeStamp = 0;
        int length = 0;
        char data[MaxDataLength] = {};
    };

    void deliver();
    // Posts a call of deliver() when frames wait and none is posted, unless a timer takes them.
    // Under the lock.
    void postDelivery();

    QMutex m_mutex;
    // Filled by put(), under the lock.
    QVector<Frame> m_incoming;
    // Whether a delivery is posted that has not taken m_incoming yet; under the lock.
    bool m_deliveryPosted = false;
    // Whether a timer takes the batches (setBatchInterval()); under the lock.
    bool m_paced = false;
    QTimer *m_batchTimer = nullptr;
    // The batch being delivered, and the next frame of it to deliver; the inbox's thread only.
    QVector<Frame> m_batch;
    int m_next = 0;
};
