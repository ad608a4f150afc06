#pragma once

#include <QByteArray>
#include <QString>
#include <QtGlobal>

// One Motorola S-record, the line of an ".s19" image:
//
//    S 3 | 15 | 08000000 | 5A4B3130 30...   | C4
//    type  count address   data               checksum
//
// all after the type in hexadecimal text, two characters a byte. The count covers the address,
// the data and the checksum bytes; the checksum is the ones' complement of the low byte of the
// sum of the count, address and data bytes. The address is 2 bytes wide in S0, S1, S5 and S9,
// 3 in S2, S6 and S8, 4 in S3 and S7. S4 is reserved and never valid.
struct SRecord
{
    char type = '0'; // '0' .. '9', without the leading 'S'
    quint32 address = 0;
    QByteArray data;

    // Parses one line; a trailing LF or CR LF is allowed, and so are blanks before it, which
    // editors leave. Returns an empty text when the line is a well-formed record, otherwise why
    // it is not (and leaves record unchanged).
    static QString parse(const QByteArray &line, SRecord *record);
    // The text parse() reads of a line: without its line end and the spaces and tabs before it.
    static QByteArray recordText(const QByteArray &line);
    // The record as a line without line end, in upper-case hexadecimal.
    QByteArray toLine() const;

    // Address bytes of the record type ('0' .. '9'), 0 for a type that does not exist.
    static int addressSize(char type);
};
