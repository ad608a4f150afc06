#pragma once

#include "formats/loggedframe.h"
#include "formats/textlogreader.h"

#include <QByteArray>
#include <QHash>
#include <QList>

// The TRC log of a family of USB CAN adapters' viewer, versions 1.1 to 2.1: a header of lines
// beginning with ';' (those with '$' carry settings), then one message a line.
//
//     ;$FILEVERSION=2.1
//     ;$STARTTIME=45244.9258347222      days since 1899-12-30, local time: the offsets' zero
//     ;$COLUMNS=N,O,T,B,I,d,R,L,D        the columns of 2.x lines (these are 2.1's own)
//     ;   any comment
//           1       100.001 DT  1 02008001 Rx -  8    02 12 F7 D0 3E 8F A0 02
//           |       |       |   | |        |  |  |    data bytes, hex
//           N number|       T   B I id     d  R  L dlc
//                   O offset in ms (3 decimals in 2.x)
//
// Version 2.0 has the columns N,O,T,I,d,l,D (l: the data length), unless its header names
// others. Types: DT data frame; RR remote frame (skipped); FD, FB, FE, BI CAN FD frames (refused);
// ER error frame (skipped); status and event types (ST, EC, EV, ...) hold no frame.
//
// Versions 1.x have fixed columns, the offset with one decimal and a ')' after the number:
//     1.1     1)      1841.0  Rx         0100  8  00 11 22 33 44 55 66 77
//     1.2     1)      1841.0 1  Rx       0100  8  00 11 22 33 44 55 66 77      (bus)
//     1.3     1)      1841.0 1  Rx       0100 -  8  00 11 22 33 44 55 66 77    (bus, reserved)
// where "RTR" in place of the data marks a remote frame, type Error an error frame and Warng a
// status message. A file without a version line is read as 1.1.
//
// An identifier of 8 digits, or above 0x7FF, is a 29-bit one; 4 digits or fewer an 11-bit one.
// Written: version 2.1, the start being the first frame's time cut to the millisecond, every
// frame received, numbered from 1.
class TrcLine
{
public:
    void reset();
    TextLogReader::Line parse(const QByteArray &line, LoggedFrame *frame, QString *reason);

    static QByteArray header(qint64 startUs);
    // The frame's line; number counts from 1.
    static QByteArray format(const LoggedFrame &frame, qint64 startUs, qint64 number);
    static qint64 startFor(qint64 firstUs);

private:
    void readSetting(const QByteArray &line);
    void setColumns(const QByteArray &letters);
    TextLogReader::Line parseVersion1(
        const QList<QByteArray> &fields, LoggedFrame *frame, QString *reason);
    TextLogReader::Line parseVersion2(
        const QList<QByteArray> &fields, LoggedFrame *frame, QString *reason);
    // Fills the frame from its fields; false with a reason.
    bool fill(const QByteArray &offset, const QByteArray &bus, const QByteArray &id,
        const QByteArray &length, const QList<QByteArray> &data, LoggedFrame *frame,
        QString *reason) const;

    int m_version = 11; // major * 10 + minor
    qint64 m_startUs = 0;
    QHash<char, int> m_columns; // letter -> field index, 2.x
};
