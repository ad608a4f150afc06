#pragma once

#include "can/replypattern.h"

#include <QByteArray>
#include <QList>

// The waits of the commands for their replies. A wait is Cycles cycles of CycleMs milliseconds,
// about a second in all, each a local event loop; a reply is noticed at the end of the cycle in
// which it came. Replies are matched to patterns, never to callers: every received frame
// releases the oldest outstanding wait whose pattern it matches.
//
// No reply can come while the bus is closed: a wait then ends at once, without running the event
// loop, and a wait the bus closes under ends at the end of its cycle. Pages that poll a closed bus
// so cost nothing.
//
// Careful: a wait runs every pending event of its thread, so any slot may run during it, send
// its own command and start a wait of its own inside this one. GUI thread only.
class ReplyWaiter
{
public:
    static constexpr int Cycles = 20;
    static constexpr int CycleMs = 50;

    enum Result {
        Replied = 0,
        NoReply = -1, // nothing matching came within the wait
    };

    // Waits for a frame that matches pattern: Replied or NoReply.
    int wait(const ReplyPattern &pattern);
    // Whether the bus is open, so that replies can come; closed until told otherwise.
    void setBusOpen(bool open) { m_busOpen = open; }
    // Ends the oldest outstanding wait that the frame answers, if any.
    void release(quint32 id, const QByteArray &data);

private:
    // Outstanding waits in the order they began. Equal patterns may be outstanding at once
    // (two pages asking the same battery the same thing); one reply releases the oldest.
    QList<ReplyPattern> m_pending;
    bool m_busOpen = false;
};
