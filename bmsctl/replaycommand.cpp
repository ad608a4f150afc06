#include "replaycommand.h"

#include "buscommandline.h"
#include "bussession.h"
#include "candumplogreader.h"
#include "console.h"
#include "eventwait.h"
#include "exitstatus.h"
#include "skippedlines.h"

#include "can/canservice.h"

#include <QElapsedTimer>
#include <QJsonObject>
#include <QTimer>

#include <algorithm>

namespace {

constexpr double MaxSpeed = 1000.0;
// After the last frame the adapter's worker still has frames to hand to the bus; closing at
// once could cut them off.
constexpr int DrainMs = 300;

} // namespace

QString ReplayCommand::summary() const
{
    return QStringLiteral("A candump log back onto the bus, with its own timing.");
}

int ReplayCommand::run(const QStringList &arguments, Console &console)
{
    BusCommandLine line(name(),
        QStringLiteral("Sends the frames of a candump log onto the bus, spaced as they were "
                       "recorded (faster or slower with --speed), e.g. a site's session in front "
                       "of the window on a virtual bus. Lines that do not parse are skipped and "
                       "named; the adapter sends 29-bit identifiers only, so frames with 11-bit "
                       "ones are skipped as well. Ends with status 1 when anything was skipped."));
    CommandParser &parser = line.parser();
    parser.addPositional(
        QStringLiteral("FILE"), QStringLiteral("A candump log."), QStringLiteral("FILE"));
    parser.setPositionalCount(1, 1);
    const QCommandLineOption speed(QStringLiteral("speed"),
        QStringLiteral("Time factor: 2 plays twice as fast (default 1)."), QStringLiteral("x"),
        QStringLiteral("1"));
    const QCommandLineOption loop(
        QStringLiteral("loop"), QStringLiteral("Start again at the end, until Ctrl-C."));
    parser.addOption(speed);
    parser.addOption(loop);
    line.addJsonOption(QStringLiteral("Print the summary as JSON."));
    int status = line.parse(arguments, console);
    if (status >= 0)
        return status;

    bool ok = false;
    const double factor = parser.value(speed).toDouble(&ok);
    if (!ok || factor <= 0 || factor > MaxSpeed)
        return parser.usageError(console,
            QStringLiteral("--speed takes a factor above 0, up to %1: %2")
                .arg(MaxSpeed)
                .arg(parser.value(speed)));
    status = line.readBusOptions(console);
    if (status >= 0)
        return status;

    const QString path = parser.positional().at(0);
    CandumpLogReader reader;
    if (!reader.read(path)) {
        console.error(QStringLiteral("cannot read %1: %2").arg(path, reader.errorString()));
        return ExitStatus::Failure;
    }
    QList<CandumpLogReader::SkippedLine> skipped = reader.skipped();
    QList<LoggedFrame> frames;
    for (const LoggedFrame &frame : reader.frames()) {
        if (frame.extended)
            frames.append(frame);
        else
            skipped.append({ frame.line,
                QStringLiteral("11-bit identifier %1, which the adapter does not send")
                    .arg(frame.id, 3, 16, QLatin1Char('0')) });
    }
    std::sort(skipped.begin(), skipped.end(),
        [](const CandumpLogReader::SkippedLine &a, const CandumpLogReader::SkippedLine &b) {
            return a.number < b.number;
        });
    SkippedLines::report(console, path, skipped);
    if (frames.isEmpty()) {
        console.error(QStringLiteral("%1 holds no frame to send").arg(path));
        return ExitStatus::Failure;
    }

    status = line.openBus(console);
    if (status >= 0)
        return status;
    BusSession &session = line.session();
    CanService *service = session.service();

    // Each frame is due at its offset from the first, divided by the speed; a pass that sends
    // late sends everything already due at once rather than drifting.
    const qint64 firstUs = frames.first().timeUs;
    const bool looping = parser.isSet(loop);
    int next = 0;
    qint64 sent = 0;
    int passes = 0;
    bool finished = false;
    QElapsedTimer clock;
    QTimer timer;
    timer.setSingleShot(true);
    timer.setTimerType(Qt::PreciseTimer);
    const auto dueMs = [&](int index) {
        return qint64(double(frames.at(index).timeUs - firstUs) / 1000.0 / factor);
    };
    const auto sendDue = [&] {
        const qint64 now = clock.elapsed();
        while (next < frames.size() && dueMs(next) <= now) {
            const LoggedFrame &frame = frames.at(next++);
            service->sendFrame(frame.id, frame.data);
            ++sent;
        }
        if (next == frames.size()) {
            ++passes;
            if (!looping) {
                finished = true;
                return;
            }
            next = 0;
            clock.restart();
        }
        timer.start(int(qMax<qint64>(0, dueMs(next) - clock.elapsed())));
    };
    QObject::connect(&timer, &QTimer::timeout, sendDue);
    clock.start();
    sendDue();
    QElapsedTimer total;
    total.start();
    const EventWait::Result result = EventWait::until(
        -1, [&] { return finished; },
        [&] { console.progress(QStringLiteral("replaying: %1 frames sent").arg(sent)); });
    timer.stop();
    EventWait::pause(DrainMs);
    session.close();
    const double elapsed = total.elapsed() / 1000.0;

    if (line.json()) {
        QJsonObject summary;
        summary.insert(QStringLiteral("file"), path);
        summary.insert(QStringLiteral("framesSent"), double(sent));
        summary.insert(QStringLiteral("passes"), passes);
        summary.insert(QStringLiteral("linesSkipped"), int(skipped.size()));
        summary.insert(QStringLiteral("seconds"), elapsed);
        console.printJson(summary);
    } else {
        console.printLine(
            QStringLiteral("%1 frames sent in %2 s%3%4")
                .arg(sent)
                .arg(elapsed, 0, 'f', 1)
                .arg(looping ? QStringLiteral(" (%1 whole passes)").arg(passes) : QString())
                .arg(result == EventWait::Interrupted ? QStringLiteral(", interrupted")
                                                      : QString()));
    }
    if (!skipped.isEmpty()) {
        console.error(QStringLiteral("%1 lines of %2 skipped").arg(skipped.size()).arg(path));
        return ExitStatus::Failure;
    }
    return ExitStatus::Success;
}
