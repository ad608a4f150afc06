#pragma once

// What bmsctl's exit status says: 0 the job was done, 1 it could not be done (or only in part:
// a battery did not answer, a log line did not parse), 2 the command line was wrong.
namespace ExitStatus {

enum : int {
    Success = 0,
    Failure = 1,
    Usage = 2,
};

} // namespace ExitStatus
