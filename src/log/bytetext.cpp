#include "bytetext.h"

QString ByteText::hexPairs(const QByteArray &bytes)
{
    return QString::fromLatin1(bytes.toHex(' '));
}
