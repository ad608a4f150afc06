#pragma once

#include <QByteArray>
#include <QString>

// Bytes as the log and the transcripts show them.
class ByteText
{
public:
    // Lower-case hexadecimal pairs separated by single spaces: "18 ff 00".
    static QString hexPairs(const QByteArray &bytes);
};
