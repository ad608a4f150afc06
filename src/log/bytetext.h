#pragma once

#include <QByteArray>
#include <QString>

// Bytes as the log and the transcripts show them, and hexadecimal text as the wire protocols
// write it.
class ByteText
{
public:
    // Lower-case hexadecimal pairs separated by single spaces: "18 ff 00".
    static QString hexPairs(const QByteArray &bytes);
    // The value of one hexadecimal digit, either case; -1 for any other character.
    static int hexDigit(char c);
};
