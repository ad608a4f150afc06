#include "recordcommand.h"

#include "buscommandline.h"
#include "bussession.h"
#include "candumplogwriter.h"
#include "console.h"
#include "eventwait.h"
#include "exitstatus.h"

#include <QFileInfo>
#include <QJsonObject>

QString RecordCommand::summary() const
{
    return QStringLiteral("Raw traffic into a candump log (FILE.log).");
}

int RecordCommand::run(const QStringList &arguments, Console &console)
{
    BusCommandLine line(name(),
        QStringLiteral("Writes every frame the adapter receives into a log in the candump format, "
                       "one line a frame: (1700000000.123456) can0 02008001#0212F7D03E8FA002. The "
                       "time is this PC's clock when the frame arrived (the adapter is polled "
                       "every 5 ms); the adapter hands over 8 data bytes and 29-bit identifiers, "
                       "so every frame is logged so. Runs until --seconds have passed or "
                       "Ctrl-C. Every frame reaches the file as it comes, so that a recording cut "
                       "short keeps what came before. An existing file is kept unless "
                       "--overwrite."));
    const QCommandLineOption out(
        QStringLiteral("out"), QStringLiteral("The log to write."), QStringLiteral("file"));
    const QCommandLineOption overwrite(QStringLiteral("overwrite"),
        QStringLiteral("Replace the file if it exists (once the bus is open)."));
    const QCommandLineOption seconds(QStringLiteral("seconds"),
        QStringLiteral("Stop after this many seconds (default: at Ctrl-C)."), QStringLiteral("n"));
    CommandParser &parser = line.parser();
    parser.addOption(out);
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
        if (!ok || value <= 0)
            return parser.usageError(console,
                QStringLiteral("--seconds takes a number above 0: %1").arg(parser.value(seconds)));
        durationMs = int(value * 1000);
    }
    status = line.readBusOptions(console);
    if (status >= 0)
        return status;

    const QString path = parser.value(out);
    const bool replace = parser.isSet(overwrite);
    if (!replace && QFileInfo::exists(path)) {
        console.error(
            QStringLiteral("%1 exists; nothing recorded (--overwrite replaces it)").arg(path));
        return ExitStatus::Failure;
    }
    // The file is made only once the bus is open: a bus that fails leaves no trace.
    status = line.openBus(console);
    if (status >= 0)
        return status;
    CandumpLogWriter writer;
    if (!writer.open(path, replace)) {
        console.error(QStringLiteral("cannot write %1: %2").arg(path, writer.errorString()));
        return ExitStatus::Failure;
    }
    BusSession &session = line.session();
    QObject::connect(&session, &BusSession::frameReceived, &session,
        [&writer](const LoggedFrame &frame) { writer.write(frame); });
    EventWait::until(durationMs, {}, [&] {
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
        return ExitStatus::Failure;
    }
    if (line.json()) {
        QJsonObject summary;
        summary.insert(QStringLiteral("file"), path);
        summary.insert(QStringLiteral("frames"), double(writer.framesWritten()));
        summary.insert(QStringLiteral("seconds"), elapsed);
        console.printJson(summary);
    } else {
        console.printLine(QStringLiteral("%1 frames in %2 s recorded to %3")
                              .arg(writer.framesWritten())
                              .arg(elapsed, 0, 'f', 1)
                              .arg(path));
    }
    if (writer.framesWritten() == 0) {
        console.error(QStringLiteral("nothing heard on %1").arg(line.busOptions().description()));
        return ExitStatus::Failure;
    }
    return ExitStatus::Success;
}
