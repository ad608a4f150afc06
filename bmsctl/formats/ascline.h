#pragma once

#include "formats/loggedframe.h"
#include "formats/textlogreader.h"

#include <QByteArray>
#include <QList>

// The ASC log, the text exchange format of CAN analysers: a header, then one event a line.
//
//     date Tue Nov 14 10:13:20.123 PM 2023        when the file was begun (local time)
//     base hex  timestamps absolute               ids and data in hex or dec; times absolute
//     internal events logged                        (from the start) or relative (to the last
//     // version 9.0.0                              event); comments begin with //
//     Begin Triggerblock Tue Nov 14 10:13:20.123 PM 2023     the measurement's start
//        0.000000 Start of measurement
//        0.100001 1  2008001x        Rx   d 8 02 12 F7 D0 3E 8F A0 02
//        \______/ | \________/       \/   | | \_____________________/
//        seconds  | id, x: 29-bit    Rx/Tx| dlc data bytes (then optional extras: Length = ...)
//                 channel, from 1         d data, r remote
//        0.276544 1  100             Rx   r 2          a remote frame: skipped
//        0.376544 CANFD   1 Rx  101  ...               a CAN FD frame: refused
//        0.476544 1  ErrorFrame                        an error frame: skipped
//     End TriggerBlock
//
// A frame's time is the start (the trigger block's, else the date line's; the epoch when neither
// is read) plus its time stamp, in microseconds (a finer fraction is cut). Other events (status,
// statistics, start of measurement) hold no frame and are passed over; a line that is neither a
// header line nor begins with a time stamp is refused with a reason, as is a frame line that
// does not parse. Written: base hex, absolute times with six decimals, the start being the first
// frame's time cut to the millisecond (what the date line holds), every frame received ("Rx").
class AscLine
{
public:
    // Forgets the header read: a new file.
    void reset();
    TextLogReader::Line parse(const QByteArray &line, LoggedFrame *frame, QString *reason);

    // The header lines (each ending in a line end) of a log that starts at startUs.
    static QByteArray header(qint64 startUs);
    static QByteArray format(const LoggedFrame &frame, qint64 startUs);
    static QByteArray footer();
    // The start a writer gives a log whose first frame is at firstUs: cut to the millisecond.
    static qint64 startFor(qint64 firstUs);

private:
    bool readTime(const QByteArray &field, qint64 *timeUs) const;
    TextLogReader::Line parseEvent(
        const QList<QByteArray> &fields, LoggedFrame *frame, QString *reason);

    int m_base = 16;
    bool m_relative = false;
    qint64 m_startUs = 0;
    qint64 m_lastUs = 0;
};
