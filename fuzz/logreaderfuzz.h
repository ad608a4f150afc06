#pragma once

#include "fuzztarget.h"

#include "formats/logformat.h"

// One traffic log reader fuzzed: the input as a file of that format, read to its end (or its
// first fault), and the first frames read written back by the format's own writer and read
// again, which must give the same frames.
namespace Fuzz {

inline bool sameFrame(const LoggedFrame &a, const LoggedFrame &b)
{
    return a.timeUs == b.timeUs && a.interfaceName == b.interfaceName && a.id == b.id
        && a.extended == b.extended && a.data == b.data;
}

inline void readLog(LogFormat::Kind kind, const std::uint8_t *data, std::size_t size)
{
    // Up to the year 9999: what every format's header can date.
    constexpr qint64 LatestUs = 253402300799999999;
    constexpr int RoundTripFrames = 100;
    application();
    const QString path = scratchFile(QStringLiteral("input"));
    const QString again = scratchFile(QStringLiteral("again"));
    writeFile(path, data, size);
    const std::unique_ptr<LogReader> reader = LogFormat::reader(kind);
    if (!reader->open(path))
        return;
    QList<LoggedFrame> frames;
    bool datable = true;
    LoggedFrame frame;
    while (reader->next(&frame)) {
        if (frames.size() < RoundTripFrames) {
            frames.append(frame);
            datable = datable && frame.timeUs >= 0 && frame.timeUs <= LatestUs;
        }
    }
    if (frames.isEmpty() || !datable)
        return;

    const std::unique_ptr<LogWriter> writer = LogFormat::writer(kind);
    if (!writer->open(again, true))
        return;
    for (const LoggedFrame &written : frames)
        writer->write(written);
    if (!writer->close())
        return;
    const std::unique_ptr<LogReader> check = LogFormat::reader(kind);
    if (!check->open(again))
        __builtin_trap();
    for (const LoggedFrame &written : frames) {
        if (!check->next(&frame) || !sameFrame(frame, written))
            __builtin_trap();
    }
    if (check->next(&frame) || !check->skipped().isEmpty())
        __builtin_trap();
}

} // namespace Fuzz
