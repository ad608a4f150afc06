#pragma once

#include "formats/loggedframe.h"

#include <QString>

// One line of the candump log format, the format `candump -l` writes and `canplayer` reads:
//
//     (1700000000.123456) can0 18880180#0011223344556677 R
//      \_______________/  \__/ \______/ \______________/ |
//      seconds.micros     if.  id       data, 0 to 8     direction, optional
//                                       bytes as hex pairs
//
// An identifier of 8 hex digits is a 29-bit one, of 3 digits an 11-bit one. The seconds may have
// any number of digits and the fraction any number (cut to microseconds). Some loggers end the
// line with the frame's direction, R received or T transmitted; it is read and not kept. What
// this program cannot carry is refused with a reason, so that a reader can skip the line and say
// why: remote frames (ID#R), CAN FD frames (ID##...), error frames (the error flag 0x20000000 in
// an 8-digit identifier), and anything malformed; a reason quotes what it refuses through
// EchoedText. Hex digits are read in either case and written in upper case, as candump
// does; lines are written without a direction.
class CandumpLine
{
public:
    static QString format(const LoggedFrame &frame);
    // Blanks around the line (a CR LF end among them) are ignored. An empty line is not a frame:
    // false with an empty reason.
    static bool parse(const QString &line, LoggedFrame *frame, QString *reason);
};
