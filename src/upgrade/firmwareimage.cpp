#include "firmwareimage.h"

#include "imageversion.h"
#include "loadmap.h"
#include "srecord.h"

#include <QFile>

namespace {

// The record types the CAN boot loader is sent; the header, count and termination records
// are checked like them but stay here.
bool isKept(char type)
{
    return type == '1' || type == '2' || type == '3' || type == '5';
}

// The record types that load bytes into the flash.
bool loadsData(char type)
{
    return type == '1' || type == '2' || type == '3';
}

// Nothing but spaces, tabs and the line end.
bool isBlank(const QByteArray &line)
{
    return line.trimmed().isEmpty();
}

QByteArray lineEnd(const QByteArray &line)
{
    if (line.endsWith("\r\n"))
        return QByteArrayLiteral("\r\n");
    return line.endsWith('\n') ? QByteArrayLiteral("\n") : QByteArray();
}

// The boot version's text in the first kept record at "08": 7 bytes from position 12 on, the
// first data bytes of an S3 record.
constexpr int BootVersionColumn = 12;
constexpr int BootVersionEnd = BootVersionColumn + 2 * ImageVersion::BootVersionSize;

// Where the record's data ends in its text: after "Sn", the count and the address.
int dataEndColumn(const SRecord &record)
{
    return 4 + 2 * (SRecord::addressSize(record.type) + record.data.size());
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

FirmwareImage FirmwareImage::read(const QString &path, Kind kind)
{
    return kind == BinImage ? readBin(path) : readS19(path);
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
    const auto refuse = [&image](Error error, int line, const QString &reason) {
        image.error = error;
        image.badLine = line;
        image.badReason = reason;
        image.s19Data.clear();
        image.bootVersion.clear();
        return image;
    };
    QByteArray kept;
    LoadMap loaded;
    int anchorLine = 0; // the kept record with "08" at positions 4 and 5, which the version follows
    SRecord anchor;
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
        if (!reason.isEmpty())
            return refuse(BadRecord, lineNumber, reason);
        quint64 conflict = 0;
        if (loadsData(record.type) && !loaded.add(record.address, record.data, &conflict))
            return refuse(BadImage, lineNumber,
                QStringLiteral("loads %1 again with other data")
                    .arg(LoadMap::addressText(conflict)));
        if (!isKept(record.type))
            continue;
        // The boot loader gets the record as it verified; blanks after it are no part of it.
        const QByteArray text = SRecord::recordText(line);
        const QByteArray keptLine = text + lineEnd(line);
        // A verified record is hexadecimal text, so Latin-1 holds it unchanged.
        image.s19Data.append(QString::fromLatin1(keptLine));
        kept.append(keptLine);
        if (anchorLine == 0 && text.mid(4, 2) == "08") {
            anchorLine = lineNumber;
            anchor = record;
            image.bootVersion = QByteArray::fromHex(
                text.mid(BootVersionColumn, BootVersionEnd - BootVersionColumn));
        }
    }
    if (image.s19Data.isEmpty()) {
        image.error = NoRecord;
        return image;
    }
    // A battery that ran an image cut short of its version would report part of it, or another
    // image's.
    if (anchorLine != 0 && dataEndColumn(anchor) < BootVersionEnd)
        return refuse(BadImage, anchorLine,
            QStringLiteral("too short for the %1-byte boot version at characters %2 to %3")
                .arg(ImageVersion::BootVersionSize)
                .arg(BootVersionColumn + 1)
                .arg(BootVersionEnd));
    const quint64 versionStart = quint64(anchor.address) + ImageVersion::BootVersionSize;
    if (anchorLine != 0 && !loaded.covers(versionStart, ImageVersion::Size)) {
        image.versionCutLine = anchorLine;
        image.versionCutReason
            = QStringLiteral("the image does not hold all of the firmware version that follows "
                             "this record's boot version (%1-%2)")
                  .arg(LoadMap::addressText(versionStart),
                      LoadMap::addressText(versionStart + ImageVersion::Size - 1));
    }
    image.chkSum = signedByteSum(kept);
    image.ranges = loaded.ranges();
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
