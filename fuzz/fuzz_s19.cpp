// An ".s19" file as the user may pick it: the whole file through the image check the firmware
// dialog runs (FirmwareImage::parseS19), every line through the S-record parser, and the version
// the image installs (ImageVersion::ofS19).
#include "fuzztarget.h"

#include "upgrade/firmwareimage.h"
#include "upgrade/imageversion.h"
#include "upgrade/srecord.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const QByteArray content(reinterpret_cast<const char *>(data), int(size));

    // Every line alone, with its line end: a record that parses comes back the same from its
    // own text.
    bool recordsAndBlankLinesOnly = true;
    for (int start = 0; start < content.size();) {
        const int newline = content.indexOf('\n', start);
        const int end = newline < 0 ? content.size() : newline + 1;
        const QByteArray line = content.mid(start, end - start);
        start = end;
        SRecord record;
        if (!SRecord::parse(line, &record).isEmpty()) {
            recordsAndBlankLinesOnly = recordsAndBlankLinesOnly && line.trimmed().isEmpty();
            continue;
        }
        SRecord again;
        if (!SRecord::parse(record.toLine(), &again).isEmpty() || again.type != record.type
            || again.address != record.address || again.data != record.data)
            __builtin_trap();
    }

    const FirmwareImage image = FirmwareImage::parseS19(content);
    if (image.isValid()) {
        // A line that is neither would be a hole in the image.
        if (!recordsAndBlankLinesOnly)
            __builtin_trap();
        // What is kept verifies line by line, and the sum is over exactly those lines.
        QByteArray kept;
        for (const QString &line : image.s19Data) {
            SRecord record;
            if (!SRecord::parse(line.toLatin1(), &record).isEmpty())
                __builtin_trap();
            kept.append(line.toLatin1());
        }
        if (image.kind != FirmwareImage::S19Image || image.s19Data.isEmpty()
            || image.chkSum != FirmwareImage::signedByteSum(kept) || image.bootVersion.size() > 7)
            __builtin_trap();
        image.revision();
        if (ImageVersion::ofS19(image.s19Data).size() != ImageVersion::Size)
            __builtin_trap();
        // The loaded addresses come lowest first, a gap between each two ranges.
        for (int i = 0; i < image.ranges.size(); ++i) {
            if (image.ranges.at(i).last < image.ranges.at(i).first
                || (i > 0 && image.ranges.at(i).first <= image.ranges.at(i - 1).last + 1))
                __builtin_trap();
        }
    } else if ((image.error == FirmwareImage::BadRecord || image.error == FirmwareImage::BadImage)
        && (image.badLine < 1 || image.badReason.isEmpty() || !image.s19Data.isEmpty())) {
        __builtin_trap();
    }
    return 0;
}
