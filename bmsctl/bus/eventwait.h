#pragma once

#include <functional>

// Lets the event loop run while a command waits: for frames to arrive, for a time to pass, or for
// the user to press Ctrl-C. CanService's replies, the signal store's decoding and the adapter's
// frames all reach this thread as events, so nothing is heard unless the loop runs.
//
// Careful, as with every local event loop: other slots run during the wait.
class EventWait
{
public:
    enum Result { Done, TimedOut, Interrupted };

    // How often done() and the interruption are looked at, and onTick() called.
    static constexpr int TickMs = 100;

    // Runs the loop until done() returns true, timeoutMs have passed (never, when negative) or
    // an interruption is requested. done() and onTick() may be empty.
    static Result until(
        int timeoutMs, const std::function<bool()> &done, const std::function<void()> &onTick = {});
    // Runs the loop for ms; false when interrupted.
    static bool pause(int ms);
};
