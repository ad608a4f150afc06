#include "bytetext.h"

QString ByteText::hexPairs(const QByteArray &bytes)
{
    return QString::fromLatin1(bytes.toHex(' '));
}

int ByteText::hexDigit(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    return -1;
}
