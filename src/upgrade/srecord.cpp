#include "srecord.h"

#include "log/bytetext.h"

QByteArray SRecord::recordText(const QByteArray &line)
{
    int size = line.size();
    if (line.endsWith("\r\n"))
        size -= 2;
    else if (line.endsWith('\n'))
        size -= 1;
    while (size > 0 && (line.at(size - 1) == ' ' || line.at(size - 1) == '\t'))
        --size;
    return line.left(size);
}

int SRecord::addressSize(char type)
{
    switch (type) {
    case '0':
    case '1':
    case '5':
    case '9':
        return 2;
    case '2':
    case '6':
    case '8':
        return 3;
    case '3':
    case '7':
        return 4;
    default:
        return 0;
    }
}

QString SRecord::parse(const QByteArray &line, SRecord *record)
{
    const QByteArray text = recordText(line);
    if (text.size() < 2 || text.at(0) != 'S' || addressSize(text.at(1)) == 0)
        return QStringLiteral("not an S-record");
    // A file with CR line ends reads as one long line.
    if (text.contains('\r'))
        return QStringLiteral("CR without LF");
    if ((text.size() - 2) % 2 != 0)
        return QStringLiteral("odd number of hex digits");
    QByteArray bytes;
    bytes.reserve((text.size() - 2) / 2);
    for (int i = 2; i < text.size(); i += 2) {
        const int high = ByteText::hexDigit(text.at(i));
        const int low = ByteText::hexDigit(text.at(i + 1));
        if (high < 0 || low < 0)
            return QStringLiteral("not a hex digit at column %1").arg(high < 0 ? i + 1 : i + 2);
        bytes.append(char(high << 4 | low));
    }
    const int addressBytes = addressSize(text.at(1));
    if (bytes.isEmpty() || quint8(bytes.at(0)) != bytes.size() - 1)
        return QStringLiteral("byte count does not match the line");
    if (bytes.size() < 1 + addressBytes + 1)
        return QStringLiteral("too short for its address");
    quint8 sum = 0;
    for (int i = 0; i < bytes.size() - 1; ++i)
        sum += quint8(bytes.at(i));
    if (quint8(~sum) != quint8(bytes.back()))
        return QStringLiteral("record checksum mismatch");

    record->type = text.at(1);
    record->address = 0;
    for (int i = 0; i < addressBytes; ++i)
        record->address = record->address << 8 | quint8(bytes.at(1 + i));
    record->data = bytes.mid(1 + addressBytes, bytes.size() - 2 - addressBytes);
    return QString();
}

QByteArray SRecord::toLine() const
{
    const int addressBytes = addressSize(type);
    QByteArray bytes;
    bytes.append(char(addressBytes + data.size() + 1));
    for (int i = addressBytes - 1; i >= 0; --i)
        bytes.append(char(address >> (8 * i)));
    bytes.append(data);
    quint8 sum = 0;
    for (char byte : qAsConst(bytes))
        sum += quint8(byte);
    bytes.append(char(~sum));
    return QByteArray("S") + type + bytes.toHex().toUpper();
}
