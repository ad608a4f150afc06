#include "firmwareimage.h"

#include "srecord.h"

#include <QFile>

namespace {

// The record types the CAN boot loader is sent; the header, count and termination records
// are checked like them but stay here.
bool isKept(char type)
{
    return type == '1' || type == '2' || type == '3' || type == '5';
}

// Nothing but spaces, tabs and the line end.
bool isBlank(const QByteArray &line)
{
    return line.trimmed().isEmpty();
}

QByteArray withoutLineEnd(const QByteArray &line)
{
    if (line.endsWith("\r\n"))
        return line.chopped(2);
    if (line.endsWith('\n'))
        return line.chopped(1);
    return line;
}

FirmwareImage readFile(const QString &path, FirmwareImage (*parse)(const QByteArray &))
{
    QFile file(path);
    FirmwareImage image;
    if (!file.open(QIODevice::ReadOnly)) {
        image.error = FirmwareImage::CannotOpen;
        return image;
    }
    // A device (or a file growing while read) may not know its size: read one byte past the
    // limit to tell.
    const QByteArray content = file.read(FirmwareImage::MaxFileSize + 1);
    if (content.size() > FirmwareImage::MaxFileSize) {
        image.error = FirmwareImage::TooLarge;
        return image;
    }
    return parse(content);
}

} // namespace

FirmwareImage FirmwareImage::readBin(const QString &path)
{
    return readFile(path, &FirmwareImage::parseBin);
}

FirmwareImage FirmwareImage::readS19(const QString &path)
{
    return readFile(path, &FirmwareImage::parseS19);
}

FirmwareImage FirmwareImage::parseBin(const QByteArray &content)
{
    FirmwareImage image;
    image.binData = content;
    if (content.size() < RevisionTagSize) {
        image.error = TooShort;
        return image;
    }
    image.kind = BinImage;
    return image;
}

FirmwareImage FirmwareImage::parseS19(const QByteArray &content)
{
    FirmwareImage image;
    QByteArray kept;
    bool bootVersionTaken = false;
    int lineNumber = 0;
    for (int start = 0; start < content.size();) {
        const int newline = content.indexOf('\n', start);
        const int end = newline < 0 ? content.size() : newline + 1;
        const QByteArray line = content.mid(start, end - start);
        start = end;
        ++lineNumber;
        if (isBlank(line))
            continue;
        // Every other line must be a record: a line skipped here would leave a hole in the image
        // that neither the sum nor the boot loader could see.
        SRecord record;
        const QString reason = SRecord::parse(line, &record);
        if (!reason.isEmpty()) {
            image.error = BadRecord;
            image.badLine = lineNumber;
            image.badReason = reason;
            image.s19Data.clear();
            return image;
        }
        if (!isKept(record.type))
            continue;
        // A verified record is hexadecimal text, so Latin-1 holds it unchanged.
        image.s19Data.append(QString::fromLatin1(line));
        kept.append(line);
        if (!bootVersionTaken && line.mid(4, 2) == "08") {
            bootVersionTaken = true;
            image.bootVersion = QByteArray::fromHex(withoutLineEnd(line).mid(12, 14));
        }
    }
    if (image.s19Data.isEmpty()) {
        image.error = NoRecord;
        return image;
    }
    image.chkSum = signedByteSum(kept);
    image.kind = S19Image;
    return image;
}

uint FirmwareImage::signedByteSum(const QByteArray &bytes)
{
    uint sum = 0;
    for (char byte : bytes)
        sum += uint(qint32(qint8(byte)));
    return sum;
}

QString FirmwareImage::latin1Text(const QByteArray &bytes)
{
    const int nul = bytes.indexOf('\0');
    return QString::fromLatin1(nul < 0 ? bytes : bytes.left(nul));
}

QString FirmwareImage::revision() const
{
    switch (kind) {
    case BinImage:
        return latin1Text(binData.left(RevisionTagSize));
    case S19Image:
        return latin1Text(bootVersion);
    case NoImage:
        break;
    }
    return QString();
}
