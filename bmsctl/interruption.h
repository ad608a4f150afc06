#pragma once

// Ctrl-C (and a polite kill) as a request to stop: the streaming commands (watch, record,
// replay --loop) end their work cleanly, close their files and report, instead of dying
// half-way. The handler only sets a flag; the commands look at it between their steps.
class Interruption
{
public:
    // Catches SIGINT and SIGTERM from now on.
    static void install();
    static bool requested();
};
