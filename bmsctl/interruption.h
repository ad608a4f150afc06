#pragma once

// Ctrl-C (and a polite kill) as a request to stop: the commands end their work cleanly, close
// their files and report what was done and what was not, instead of dying half-way. The handler
// only counts the requests; the commands look between their steps: the streaming ones (watch,
// record, replay --loop) while they wait (EventWait), those that wait for one reply after the
// other (params, clock sync) between two parameters or batteries.
class Interruption
{
public:
    // Catches SIGINT and SIGTERM from now on.
    static void install();
    static bool requested();
    // For a step that must not be cut short (a firmware upgrade whose flash has been erased):
    // the caller has answered the first request with a warning, so requested() stays false
    // until a second one comes.
    static void countFirstAsWarned();
};
