#include "replywaiter.h"

#include <QEventLoop>
#include <QTimer>

int ReplyWaiter::wait(const ReplyPattern &pattern)
{
    if (!m_busOpen)
        return NoReply;
    m_pending.append(pattern);
    for (int cycle = 0; cycle < Cycles && m_busOpen; ++cycle) {
        // Nothing held across this loop may be assumed unchanged afterwards (see the header).
        QEventLoop loop;
        auto *cycleTimer = new QTimer(&loop);
        cycleTimer->setSingleShot(true);
        QObject::connect(cycleTimer, &QTimer::timeout, &loop, &QEventLoop::quit);
        cycleTimer->start(CycleMs);
        loop.exec();
        // The reply is only noticed at the end of a cycle. The string reads rely on this: parts
        // that arrive in the same cycle as the awaited last part still count.
        if (!m_pending.contains(pattern))
            return Replied;
    }
    m_pending.removeOne(pattern);
    return NoReply;
}

void ReplyWaiter::release(quint32 id, const QByteArray &data)
{
    for (int i = 0; i < m_pending.size(); ++i) {
        if (m_pending.at(i).matches(id, data)) {
            m_pending.removeAt(i);
            return;
        }
    }
}
