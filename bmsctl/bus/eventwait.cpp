#include "eventwait.h"

#include "cli/interruption.h"

#include <QElapsedTimer>
#include <QEventLoop>
#include <QTimer>

EventWait::Result EventWait::until(
    int timeoutMs, const std::function<bool()> &done, const std::function<void()> &onTick)
{
    QElapsedTimer clock;
    clock.start();
    Result result = TimedOut;
    const auto finished = [&] {
        if (Interruption::requested()) {
            result = Interrupted;
            return true;
        }
        if (done && done()) {
            result = Done;
            return true;
        }
        if (timeoutMs >= 0 && clock.elapsed() >= timeoutMs) {
            result = TimedOut;
            return true;
        }
        return false;
    };
    if (finished())
        return result;

    QEventLoop loop;
    QTimer tick;
    tick.setInterval(TickMs);
    QObject::connect(&tick, &QTimer::timeout, &loop, [&] {
        if (onTick)
            onTick();
        if (finished())
            loop.quit();
    });
    // The last, shorter step ends on time rather than on the next tick.
    QTimer deadline;
    deadline.setSingleShot(true);
    deadline.setTimerType(Qt::PreciseTimer);
    if (timeoutMs >= 0) {
        QObject::connect(&deadline, &QTimer::timeout, &loop, [&] {
            if (finished())
                loop.quit();
        });
        deadline.start(timeoutMs);
    }
    tick.start();
    loop.exec();
    return result;
}

bool EventWait::pause(int ms)
{
    return until(ms, {}) != Interrupted;
}
