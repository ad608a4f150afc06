#pragma once

// What bmsctl's exit status says: 0 the job was done, 1 it could not be done (or only in part:
// a battery did not answer, a log line did not parse), 2 the command line was wrong.
namespace ExitStatus {

enum : int {
    Success = 0,
    Failure = 1,
    Usage = 2,
};

// What became of a command's job, in the words of its code; of() is the status that says so.
enum class Outcome {
    Done, // the whole job
    Failed, // nothing done: a file, the bus or the battery could not be used
    Partial, // done in part: a battery absent or silent, a write failed, a log line skipped
    Interrupted, // stopped by Ctrl-C (or SIGTERM) before the end
};

constexpr int of(Outcome outcome)
{
    return outcome == Outcome::Done ? Success : Failure;
}

} // namespace ExitStatus
