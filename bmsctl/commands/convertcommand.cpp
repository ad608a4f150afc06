#include "convertcommand.h"

#include "cli/commandparser.h"
#include "cli/console.h"
#include "cli/exitstatus.h"
#include "cli/report.h"
#include "formats/logformat.h"

#include <QCommandLineOption>
#include <QFile>
#include <QFileInfo>

#include <optional>

using ExitStatus::Outcome;

namespace {

// How often the progress line is renewed, in frames.
constexpr qint64 ProgressEvery = 100000;

} // namespace

QString ConvertCommand::summary() const
{
    return QStringLiteral("A traffic log into another format (candump, ASC, TRC, BLF).");
}

int ConvertCommand::run(const QStringList &arguments, Console &console)
{
    const QString names = LogFormat::names().join(QStringLiteral(", "));
    CommandParser parser(name(),
        QStringLiteral("Writes the frames of the log IN into the log OUT, in another format (%1). "
                       "IN's format is told by its extension or its content, OUT's by --to, "
                       "else by its extension, else candump. Time stamps (to the microsecond), "
                       "buses, identifiers and data are kept; what IN holds that is no frame of "
                       "this bus (error, remote and CAN FD frames, BLF objects of other kinds) is "
                       "skipped and named on standard error, the status then 1; the events and "
                       "status lines of ASC and TRC logs hold no frame and are passed over. The "
                       "log is read and written "
                       "frame by frame, so a log of any size converts. An existing OUT is kept "
                       "unless --overwrite. Needs no bus.")
            .arg(names));
    parser.addPositional(
        QStringLiteral("IN"), QStringLiteral("The log to read."), QStringLiteral("IN"));
    parser.addPositional(
        QStringLiteral("OUT"), QStringLiteral("The log to write."), QStringLiteral("OUT"));
    parser.setPositionalCount(2, 2);
    const QCommandLineOption from(QStringLiteral("from"),
        QStringLiteral("IN's format (%1), where neither extension nor content tells.").arg(names),
        QStringLiteral("format"));
    const QCommandLineOption to(QStringLiteral("to"),
        QStringLiteral("OUT's format (%1).").arg(names), QStringLiteral("format"));
    const QCommandLineOption overwrite(
        QStringLiteral("overwrite"), QStringLiteral("Replace OUT if it exists."));
    const QCommandLineOption json(
        QStringLiteral("json"), QStringLiteral("Print the summary as JSON."));
    parser.addOption(from);
    parser.addOption(to);
    parser.addOption(overwrite);
    parser.addOption(json);
    const int parsed = parser.parse(arguments, console);
    if (parsed >= 0)
        return parsed;

    const QString in = parser.positional().at(0);
    const QString out = parser.positional().at(1);
    std::optional<LogFormat::Kind> inKind = LogFormat::detect(in);
    std::optional<LogFormat::Kind> outKind
        = LogFormat::fromExtension(out).value_or(LogFormat::Candump);
    if (parser.isSet(from))
        inKind = LogFormat::fromName(parser.value(from));
    if (parser.isSet(to))
        outKind = LogFormat::fromName(parser.value(to));
    if (!inKind || !outKind)
        return parser.usageError(console,
            QStringLiteral("--from and --to take %1: %2")
                .arg(names, parser.value(inKind ? to : from)));
    if (QFileInfo(in) == QFileInfo(out))
        return parser.usageError(
            console, QStringLiteral("IN and OUT are the same file: %1").arg(in));

    const std::unique_ptr<LogReader> reader = LogFormat::reader(*inKind);
    if (!reader->open(in)) {
        console.error(QStringLiteral("cannot read %1: %2").arg(in, reader->errorString()));
        return ExitStatus::of(Outcome::Failed);
    }
    const std::unique_ptr<LogWriter> writer = LogFormat::writer(*outKind);
    if (!writer->open(out, parser.isSet(overwrite), LogWriter::Handing::Batched)) {
        console.error(QStringLiteral("cannot write %1: %2%3")
                          .arg(out, writer->errorString(),
                              QFileInfo::exists(out) && !parser.isSet(overwrite)
                                  ? QStringLiteral(" (--overwrite replaces it)")
                                  : QString()));
        return ExitStatus::of(Outcome::Failed);
    }
    LoggedFrame frame;
    while (reader->next(&frame) && writer->write(frame)) {
        if (writer->framesWritten() % ProgressEvery == 0)
            console.progress(QStringLiteral("converting: %1 frames").arg(writer->framesWritten()));
    }
    if (!writer->close()) {
        // A log cut short by a failed write is no conversion: it goes.
        QFile::remove(out);
        console.error(QStringLiteral("writing %1 failed after %2 frames: %3; it is removed")
                          .arg(out)
                          .arg(writer->framesWritten())
                          .arg(writer->errorString()));
        return ExitStatus::of(Outcome::Failed);
    }
    const SkippedLines &skipped = reader->skipped();
    skipped.report(console, in);
    Report report;
    report.setField(QStringLiteral("in"), in);
    report.setField(QStringLiteral("out"), out);
    report.setField(QStringLiteral("format"), LogFormat::name(*outKind));
    report.setField(QStringLiteral("frames"), double(writer->framesWritten()));
    report.setField(QStringLiteral("skipped"), double(skipped.count()));
    report.addLine(QStringLiteral("%1 frames from %2 (%3) written to %4 (%5), %6 skipped")
                       .arg(writer->framesWritten())
                       .arg(in, LogFormat::name(*inKind), out, LogFormat::name(*outKind))
                       .arg(skipped.count()));
    report.print(console, parser.isSet(json));
    if (!reader->errorString().isEmpty()) {
        console.error(QStringLiteral("reading %1 stopped: %2; %3 holds the frames before")
                          .arg(in, reader->errorString(), out));
        return ExitStatus::of(Outcome::Failed);
    }
    return ExitStatus::of(skipped.isEmpty() ? Outcome::Done : Outcome::Partial);
}
