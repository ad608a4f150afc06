#pragma once

namespace QsLogging {

// The time zone of the whole process, in which the log and everything else write local time.
class ProcessTimeZone
{
public:
    // Call first thing in main(), before the application object, while the process has one
    // thread: where the C library is glibc and TZ is not set, sets TZ to ":/etc/localtime", the
    // file glibc reads anyway. Qt has the C library look at the time zone again on every
    // local-time conversion, and without TZ glibc then checks /etc/localtime with a stat() each
    // time; Qt's virtual CAN bus converts the time of every frame it receives, so with 28
    // batteries the check alone takes about half of a listening program's CPU. With TZ set the
    // file is read once: the zone the program starts in stays its zone until it is restarted.
    // Elsewhere (Windows) and with TZ set, nothing changes.
    static void keepTheStartingZone();
};

} // namespace QsLogging
