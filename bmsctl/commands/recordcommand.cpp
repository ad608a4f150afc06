#include "recordcommand.h"

#include "bus/buscommandline.h"
#include "bus/bussession.h"
#include "bus/eventwait.h"
#include "cli/console.h"
#include "cli/exitstatus.h"
#include "cli/report.h"
#include "formats/logformat.h"

#include <QFileInfo>

#include <limits>
#include <memory>
#include <optional>

using ExitStatus::Outcome;

namespace {

// The longest recording a timer can time, in whole seconds (about 24 days).
constexpr int MaxSeconds = std::numeric_limits<int>::max() / 1000;

} // namespace

QString RecordCommand::summary() const
{
    return QStringLiteral("Raw traffic into a log (candump, ASC, TRC or BLF).");
}

int RecordCommand::run(const QStringList &arguments, Console &console)
{
    BusCommandLine line(name(),
        QStringLiteral("Writes every frame the adapter receives into a log, in the format of "
                       "--format (%1; by default the one the extension names, else candump: "
                       "one line a frame, (1700000000.123456) can0 02008001#0212F7D03E8FA002). The "
                       "time is this PC's clock when the frame arrived (the adapter is polled "
                       "every 5 ms); the adapter hands over 8 data bytes and 29-bit identifiers, "
                       "so every frame is logged so. Runs until --seconds have passed or "
                       "Ctrl-C, or at once when the file cannot be written (a full disk), the file "
                       "then ending on its last whole line or block. Every frame of a text log "
                       "reaches the file as it comes, a binary log's compressed blocks at least "
                       "every tenth of a second, so that a recording cut short keeps what came "
                       "before. An existing file is kept unless --overwrite.")
            .arg(LogFormat::names().join(QStringLiteral(", "))));
    const QCommandLineOption out(
        QStringLiteral("out"), QStringLiteral("The log to write."), QStringLiteral("file"));
    const QCommandLineOption overwrite(QStringLiteral("overwrite"),
        QStringLiteral("Replace the file if it exists (once the bus is open)."));
    const QCommandLineOption seconds(QStringLiteral("seconds"),
        QStringLiteral("Stop after this many seconds (default: at Ctrl-C)."), QStringLiteral("n"));
    const QCommandLineOption format(QStringLiteral("format"),
        QStringLiteral("The log's format: %1.").arg(LogFormat::names().join(QStringLiteral(", "))),
        QStringLiteral("format"));
    CommandParser &parser = line.parser();
    parser.addOption(out);
    parser.addOption(format);
    parser.addOption(overwrite);
    parser.addOption(seconds);
    line.addJsonOption(QStringLiteral("Print the summary as JSON."));
    int status = line.parse(arguments, console);
    if (status >= 0)
        return status;

    if (!parser.isSet(out))
        return parser.usageError(console, QStringLiteral("--out is needed"));
    int durationMs = -1;
    if (parser.isSet(seconds)) {
        bool ok = false;
        const double value = parser.value(seconds).toDouble(&ok);
        // Asked so that "nan" fails too; a value beyond the timer's reach would never end.
        if (!ok || !(value > 0 && value <= MaxSeconds))
            return parser.usageError(console,
                QStringLiteral("--seconds takes a number above 0, up to %1: %2")
                    .arg(MaxSeconds)
                    .arg(parser.value(seconds)));
        durationMs = qMax(1, int(value * 1000));
    }
    const QString path = parser.value(out);
    std::optional<LogFormat::Kind> kind = LogFormat::fromExtension(path);
    if (parser.isSet(format)) {
        kind = LogFormat::fromName(parser.value(format));
        if (!kind)
            return parser.usageError(console,
                QStringLiteral("--format takes %1: %2")
                    .arg(LogFormat::names().join(QStringLiteral(", ")), parser.value(format)));
    }
    status = line.readBusOptions(console);
    if (status >= 0)
        return status;

    const bool replace = parser.isSet(overwrite);
    if (!replace && QFileInfo::exists(path)) {
        console.error(
            QStringLiteral("%1 exists; nothing recorded (--overwrite replaces it)").arg(path));
        return ExitStatus::of(Outcome::Failed);
    }
    // The file is made only once the bus is open: a bus that fails leaves no trace.
    status = line.openBus(console);
    if (status >= 0)
        return status;
    const std::unique_ptr<LogWriter> writerOwned
        = LogFormat::writer(kind.value_or(LogFormat::Candump));
    LogWriter &writer = *writerOwned;
    if (!writer.open(path, replace)) {
        console.error(QStringLiteral("cannot write %1: %2").arg(path, writer.errorString()));
        return ExitStatus::of(Outcome::Failed);
    }
    BusSession &session = line.session();
    QObject::connect(&session, &BusSession::frameReceived, &session,
        [&writer](const LoggedFrame &frame) { writer.write(frame); });
    EventWait::until(
        durationMs, [&] { return writer.failed(); },
        [&] {
            writer.flush();
            console.progress(QStringLiteral("recording: %1 frames, %2 s")
                                 .arg(writer.framesWritten())
                                 .arg(session.monitor().elapsedMs() / 1000));
        });
    const double elapsed = session.monitor().elapsedMs() / 1000.0;
    session.close();
    QObject::disconnect(&session, &BusSession::frameReceived, &session, nullptr);

    if (!writer.close()) {
        console.error(QStringLiteral("writing %1 failed after %2 frames: %3")
                          .arg(path)
                          .arg(writer.framesWritten())
                          .arg(writer.errorString()));
        return ExitStatus::of(Outcome::Failed);
    }
    Report report;
    report.setField(QStringLiteral("file"), path);
    report.setField(QStringLiteral("frames"), double(writer.framesWritten()));
    report.setField(QStringLiteral("seconds"), elapsed);
    report.addLine(QStringLiteral("%1 frames in %2 s recorded to %3")
                       .arg(writer.framesWritten())
                       .arg(elapsed, 0, 'f', 1)
                       .arg(path));
    report.print(console, line.json());
    if (writer.framesWritten() == 0) {
        console.error(QStringLiteral("nothing heard on %1").arg(line.busOptions().description()));
        return ExitStatus::of(Outcome::Failed);
    }
    return ExitStatus::of(Outcome::Done);
}
