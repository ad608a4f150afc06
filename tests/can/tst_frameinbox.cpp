#include "can/frameinbox.h"

#include <QSignalSpy>
#include <QtTest>

#include <thread>

class TestFrameInbox : public QObject
{
    Q_OBJECT

private slots:
    void aBacklogFromAnotherThreadIsOnePostedCall();
    void aSlotsEventLoopGoesOnWithTheSameBatch();
    void pacedBatchesComeOnTheTimerAlone();
};

namespace {

// Counts the queued calls that reach an object.
class CallCounter : public QObject
{
public:
    int calls = 0;
    bool eventFilter(QObject *, QEvent *event) override
    {
        calls += event->type() == QEvent::MetaCall;
        return false;
    }
};

QList<ulong> arrivedIds(const QSignalSpy &spy)
{
    QList<ulong> ids;
    for (const QList<QVariant> &arguments : spy)
        ids.append(arguments.at(0).value<ulong>());
    return ids;
}

} // namespace

// However many frames wait, the window's thread has one call queued for them, not one per
// frame and receiver: the event queue does not grow with a backlog.
void TestFrameInbox::aBacklogFromAnotherThreadIsOnePostedCall()
{
    FrameInbox inbox;
    CallCounter counter;
    inbox.installEventFilter(&counter);
    QSignalSpy spy(&inbox, &FrameInbox::frameArrived);
    constexpr int Frames = 2000;
    std::thread worker([&inbox] {
        for (int i = 0; i < Frames; ++i)
            inbox.put(ulong(i), QByteArray(8, char(i)), ulong(i) * 10);
    });
    worker.join();
    QCoreApplication::sendPostedEvents(&inbox, QEvent::MetaCall);
    QCOMPARE(counter.calls, 1);
    QCOMPARE(spy.count(), Frames);
    QCOMPARE(arrivedIds(spy).last(), ulong(Frames - 1));
    QCOMPARE(spy.at(7).at(1).toByteArray(), QByteArray(8, char(7)));
    QCOMPARE(spy.at(7).at(2).value<ulong>(), 70ul);
}

void TestFrameInbox::aSlotsEventLoopGoesOnWithTheSameBatch()
{
    FrameInbox inbox;
    QSignalSpy spy(&inbox, &FrameInbox::frameArrived);
    // While frame 1 is served, frame 3 comes and a local event loop runs, as a command waiting
    // for its reply does: frame 2, already taken, must still come before it.
    connect(&inbox, &FrameInbox::frameArrived, this, [&inbox](ulong id) {
        if (id == 1) {
            inbox.put(3, QByteArray(8, '\0'), 0);
            QCoreApplication::processEvents();
        }
    });
    inbox.put(1, QByteArray(8, '\0'), 0);
    inbox.put(2, QByteArray(8, '\0'), 0);
    QTRY_COMPARE(spy.count(), 3);
    QCOMPARE(arrivedIds(spy), (QList<ulong> { 1, 2, 3 }));
}

// Paced, frames from another thread post nothing: the timer takes them, in order. Unpaced again,
// what the timer left goes at once as a posted batch.
void TestFrameInbox::pacedBatchesComeOnTheTimerAlone()
{
    FrameInbox inbox;
    CallCounter counter;
    inbox.installEventFilter(&counter);
    QSignalSpy spy(&inbox, &FrameInbox::frameArrived);
    inbox.setBatchInterval(20);
    std::thread([&inbox] {
        for (ulong id = 0; id < 100; ++id)
            inbox.put(id, QByteArray(8, '\0'), 0);
    }).join();
    QTRY_COMPARE(spy.count(), 100);
    QCOMPARE(arrivedIds(spy).mid(98), (QList<ulong> { 98, 99 }));
    QCOMPARE(counter.calls, 0);

    // Set long enough that only the posted call can deliver within the wait.
    inbox.setBatchInterval(60 * 60 * 1000);
    inbox.put(100, QByteArray(8, '\0'), 0);
    QCoreApplication::processEvents();
    QCOMPARE(spy.count(), 100);
    inbox.setBatchInterval(0);
    QTRY_COMPARE(spy.count(), 101);
    QCOMPARE(counter.calls, 1);
}

QTEST_MAIN(TestFrameInbox)
#include "tst_frameinbox.moc"
