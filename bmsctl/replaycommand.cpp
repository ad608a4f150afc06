#include "replaycommand.h"

#include "buscommandline.h"
#include "bussession.h"
#include "candumplogreader.h"
#include "console.h"
#include "eventwait.h"
#include "exitstatus.h"
#include "frameorigin.h"
#include "skippedlines.h"

#include "can/canservice.h"

#include <QElapsedTimer>
#include <QJsonObject>
#include <QTimer>

#include <algorithm>
#include <cmath>
#include <limits>

namespace {

constexpr double MaxSpeed = 1000.0;
constexpr double MaxGapLimitS = 86400.0;
constexpr qint64 MicrosPerSecond = 1000000;
// After the last frame the adapter's worker still has frames to hand to the bus; closing at
// once could cut them off.
constexpr int DrainMs = 300;

// When each frame is due, in the log's microseconds from the first frame: the gaps as recorded,
// except that a gap longer than maxGapUs is shortened to it (a log that jumps by days, or one
// hostile time stamp, would stall the replay) and a step backwards counts as none. Each
// shortened gap is named, the first few in full.
QVector<qint64> scheduleUs(
    const QList<LoggedFrame> &frames, qint64 maxGapUs, const QString &path, Console &console)
{
    QVector<qint64> due(frames.size(), 0);
    int shortened = 0;
    for (int i = 1; i < frames.size(); ++i) {
        // Time stamps lie between 0 and the largest a line can give, so the difference fits.
        qint64 gap = qMax<qint64>(0, frames.at(i).timeUs - frames.at(i - 1).timeUs);
        if (gap > maxGapUs) {
            if (++shortened <= SkippedLines::ShownInFull)
                console.note(QStringLiteral("%1:%2: a gap of %3 s shortened to %4 s")
                                 .arg(path)
                                 .arg(frames.at(i).line)
                                 .arg(double(gap) / MicrosPerSecond, 0, 'f', 3)
                                 .arg(double(maxGapUs) / MicrosPerSecond));
            gap = maxGapUs;
        }
        due[i] = due.at(i - 1) + gap;
    }
    if (shortened > SkippedLines::ShownInFull)
        console.note(QStringLiteral("%1: %2 more gaps shortened")
                         .arg(path)
                         .arg(shortened - SkippedLines::ShownInFull));
    return due;
}

} // namespace

QString ReplayCommand::summary() const
{
    return QStringLiteral("A candump log back onto the bus, with its own timing.");
}

int ReplayCommand::run(const QStringList &arguments, Console &console)
{
    BusCommandLine line(name(),
        QStringLiteral("Sends the frames of a candump log onto the bus, spaced as they were "
                       "recorded (faster or slower with --speed; a pause longer than --max-gap "
                       "is shortened to it), e.g. a site's session in front of the window on a "
                       "virtual bus. Each frame goes out with the length it was logged with. "
                       "Only what the batteries and other devices sent is replayed: the PC's own "
                       "frames (command requests such as parameter writes, firmware upgrade "
                       "frames) would act on real batteries and are held back and counted unless "
                       "--include-commands. Lines that do not parse are skipped and named; the "
                       "adapter sends 29-bit identifiers only, so frames with 11-bit ones are "
                       "skipped as well. Ends with status 1 when anything was skipped or the "
                       "replay was interrupted before its end (with --loop, Ctrl-C is the end)."));
    CommandParser &parser = line.parser();
    parser.addPositional(
        QStringLiteral("FILE"), QStringLiteral("A candump log."), QStringLiteral("FILE"));
    parser.setPositionalCount(1, 1);
    const QCommandLineOption speed(QStringLiteral("speed"),
        QStringLiteral("Time factor: 2 plays twice as fast (default 1)."), QStringLiteral("x"),
        QStringLiteral("1"));
    const QCommandLineOption loop(
        QStringLiteral("loop"), QStringLiteral("Start again at the end, until Ctrl-C."));
    const QCommandLineOption maxGap(QStringLiteral("max-gap"),
        QStringLiteral("The longest pause between two frames, in the log's seconds (default 5)."),
        QStringLiteral("seconds"), QStringLiteral("5"));
    const QCommandLineOption includeCommands(QStringLiteral("include-commands"),
        QStringLiteral("Send the PC's own frames too (commands, firmware upgrade)."));
    parser.addOption(speed);
    parser.addOption(loop);
    parser.addOption(maxGap);
    parser.addOption(includeCommands);
    line.addJsonOption(QStringLiteral("Print the summary as JSON."));
    int status = line.parse(arguments, console);
    if (status >= 0)
        return status;

    bool ok = false;
    const double factor = parser.value(speed).toDouble(&ok);
    // Asked so that "nan" fails too.
    if (!ok || !(factor > 0 && factor <= MaxSpeed))
        return parser.usageError(console,
            QStringLiteral("--speed takes a factor above 0, up to %1: %2")
                .arg(MaxSpeed)
                .arg(parser.value(speed)));
    const double gapSeconds = parser.value(maxGap).toDouble(&ok);
    if (!ok || !(gapSeconds >= 0 && gapSeconds <= MaxGapLimitS))
        return parser.usageError(console,
            QStringLiteral("--max-gap takes seconds from 0 to %1: %2")
                .arg(MaxGapLimitS)
                .arg(parser.value(maxGap)));
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
    int heldBack = 0;
    for (const LoggedFrame &frame : reader.frames()) {
        if (!frame.extended)
            skipped.append({ frame.line,
                QStringLiteral("11-bit identifier %1, which the adapter does not send")
                    .arg(frame.id, 3, 16, QLatin1Char('0')) });
        else if (!parser.isSet(includeCommands) && FrameOrigin::sentByHost(frame.id, true))
            ++heldBack;
        else
            frames.append(frame);
    }
    std::sort(skipped.begin(), skipped.end(),
        [](const CandumpLogReader::SkippedLine &a, const CandumpLogReader::SkippedLine &b) {
            return a.number < b.number;
        });
    SkippedLines::report(console, path, skipped);
    if (heldBack > 0)
        console.note(QStringLiteral("%1: %2 frames sent by the PC held back (--include-commands "
                                    "sends them)")
                         .arg(path)
                         .arg(heldBack));
    if (frames.isEmpty()) {
        console.error(QStringLiteral("%1 holds no frame to send").arg(path));
        return ExitStatus::Failure;
    }
    const QVector<qint64> due
        = scheduleUs(frames, qint64(gapSeconds * MicrosPerSecond), path, console);

    status = line.openBus(console);
    if (status >= 0)
        return status;
    BusSession &session = line.session();
    CanService *service = session.service();

    // Each frame is due at its offset from the first, divided by the speed; a pass that sends
    // late sends everything already due at once rather than drifting. Times are kept in double
    // milliseconds, and a wait longer than a timer takes is served in turns.
    const bool looping = parser.isSet(loop);
    int next = 0;
    qint64 sent = 0;
    int passes = 0;
    bool finished = false;
    QElapsedTimer clock;
    QTimer timer;
    timer.setSingleShot(true);
    timer.setTimerType(Qt::PreciseTimer);
    const auto dueMs = [&](int index) { return double(due.at(index)) / 1000.0 / factor; };
    const auto sendDue = [&] {
        const double now = double(clock.elapsed());
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
        const double waitMs = std::ceil(dueMs(next) - double(clock.elapsed()));
        timer.start(int(qBound(0.0, waitMs, double(std::numeric_limits<int>::max()))));
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
    const bool interrupted = result == EventWait::Interrupted;

    if (line.json()) {
        QJsonObject summary;
        summary.insert(QStringLiteral("file"), path);
        summary.insert(QStringLiteral("framesSent"), double(sent));
        summary.insert(QStringLiteral("passes"), passes);
        summary.insert(QStringLiteral("framesHeldBack"), heldBack);
        summary.insert(QStringLiteral("linesSkipped"), int(skipped.size()));
        summary.insert(QStringLiteral("interrupted"), interrupted);
        summary.insert(QStringLiteral("seconds"), elapsed);
        console.printJson(summary);
    } else {
        console.printLine(
            QStringLiteral("%1 frames sent in %2 s%3%4")
                .arg(sent)
                .arg(elapsed, 0, 'f', 1)
                .arg(looping ? QStringLiteral(" (%1 whole passes)").arg(passes) : QString())
                .arg(interrupted ? QStringLiteral(", interrupted") : QString()));
    }
    if (!skipped.isEmpty()) {
        console.error(QStringLiteral("%1 lines of %2 skipped").arg(skipped.size()).arg(path));
        return ExitStatus::Failure;
    }
    return interrupted && !looping ? ExitStatus::Failure : ExitStatus::Success;
}
