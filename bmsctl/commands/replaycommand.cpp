#include "replaycommand.h"

#include "bus/buscommandline.h"
#include "bus/bussession.h"
#include "bus/eventwait.h"
#include "bus/frameorigin.h"
#include "cli/console.h"
#include "cli/exitstatus.h"
#include "cli/report.h"
#include "formats/logformat.h"

#include "can/canframebits.h"
#include "can/canservice.h"
#include "upgrade/busheadroom.h"
#include "upgrade/framepacer.h"

#include <QElapsedTimer>
#include <QTimer>

#include <cmath>
#include <limits>
#include <memory>

using ExitStatus::Outcome;

namespace {

constexpr double MaxSpeed = 1000.0;
constexpr double MaxGapLimitS = 86400.0;
constexpr qint64 MicrosPerSecond = 1000000;
// After the last frame the adapter's worker still has frames to hand to the bus; closing at
// once could cut them off.
constexpr int DrainMs = 300;
// The pace allows this many frames at once, and the next frame waits while more than this many
// sent are not yet taken by the adapter's thread: a busy machine that kept that thread from
// running would otherwise have it hand the adapter more than its transmit buffer holds.
constexpr int BurstFrames = 20;
constexpr int MaxBacklogFrames = BurstFrames;
// How soon a frame held back by the pace or the backlog is tried again.
constexpr int HeldRetryMs = 2;
constexpr int MaxDataBytes = 8;

// The frames of the log to send, read as they are due: those the batteries and other devices
// sent (the PC's own are held back unless included; 11-bit ones, which the adapter does not
// send, are skipped), each with when it is due in the log's microseconds from the first frame.
// Due times follow the gaps as recorded, except that a gap longer than maxGapUs is shortened to
// it (a log that jumps by days, or one hostile time stamp, would stall the replay) and a step
// backwards counts as none. Each shortened gap is named in the first pass, the first few in full.
class ReplayFeed
{
public:
    ReplayFeed(LogReader &reader, const QString &path, qint64 maxGapUs, bool includeCommands,
        Console &console)
        : m_reader(reader)
        , m_path(path)
        , m_maxGapUs(maxGapUs)
        , m_includeCommands(includeCommands)
        , m_console(console)
    { }

    // The next frame to send; false at the end of the pass.
    bool next(LoggedFrame *frame, qint64 *dueUs)
    {
        while (m_reader.next(frame)) {
            if (!frame->extended) {
                if (m_firstPass)
                    m_narrow.addLine(frame->line,
                        QStringLiteral("11-bit identifier %1, which the adapter does not send")
                            .arg(frame->id, 3, 16, QLatin1Char('0')));
            } else if (!m_includeCommands && FrameOrigin::sentByHost(frame->id, true)) {
                if (m_firstPass)
                    ++m_heldBack;
            } else {
                *dueUs = dueOf(*frame);
                return true;
            }
        }
        return false;
    }

    // The end of the first pass: what it left out, told once.
    void endFirstPass()
    {
        if (!m_firstPass)
            return;
        m_firstPass = false;
        m_readerSkipped = m_reader.skipped().count();
        m_reader.skipped().report(m_console, m_path);
        m_narrow.report(m_console, m_path);
        if (m_shortened > SkippedLines::ShownInFull)
            m_console.note(QStringLiteral("%1: %2 more gaps shortened")
                               .arg(m_path)
                               .arg(m_shortened - SkippedLines::ShownInFull));
        if (m_heldBack > 0)
            m_console.note(QStringLiteral("%1: %2 frames sent by the PC held back "
                                          "(--include-commands sends them)")
                               .arg(m_path)
                               .arg(m_heldBack));
    }

    bool rewind()
    {
        m_started = false;
        return m_reader.rewind();
    }

    qint64 skipped() const { return m_readerSkipped + m_narrow.count(); }
    qint64 heldBack() const { return m_heldBack; }

private:
    qint64 dueOf(const LoggedFrame &frame)
    {
        if (!m_started) {
            m_started = true;
            m_lastTimeUs = frame.timeUs;
            m_dueUs = 0;
            return m_dueUs;
        }
        // Time stamps lie between 0 and the largest a log can give, so the difference fits.
        qint64 gap = qMax<qint64>(0, frame.timeUs - m_lastTimeUs);
        m_lastTimeUs = frame.timeUs;
        if (gap > m_maxGapUs) {
            if (m_firstPass && ++m_shortened <= SkippedLines::ShownInFull)
                m_console.note(QStringLiteral("%1:%2: a gap of %3 s shortened to %4 s")
                                   .arg(m_path)
                                   .arg(frame.line)
                                   .arg(double(gap) / MicrosPerSecond, 0, 'f', 3)
                                   .arg(double(m_maxGapUs) / MicrosPerSecond));
            gap = m_maxGapUs;
        }
        m_dueUs += gap;
        return m_dueUs;
    }

    LogReader &m_reader;
    const QString m_path;
    const qint64 m_maxGapUs;
    const bool m_includeCommands;
    Console &m_console;
    bool m_firstPass = true;
    bool m_started = false;
    qint64 m_lastTimeUs = 0;
    qint64 m_dueUs = 0;
    qint64 m_heldBack = 0;
    qint64 m_shortened = 0;
    qint64 m_readerSkipped = 0;
    SkippedLines m_narrow;
};

} // namespace

QString ReplayCommand::summary() const
{
    return QStringLiteral("A traffic log back onto the bus, with its own timing.");
}

int ReplayCommand::run(const QStringList &arguments, Console &console)
{
    BusCommandLine line(name(),
        QStringLiteral("Sends the frames of a traffic log (%1, told by the extension or the "
                       "content) onto the bus, spaced as they were recorded (faster or slower "
                       "with --speed; a pause longer than --max-gap is shortened to it), but "
                       "never faster than the bus has room for beside the traffic heard on it "
                       "(at --bitrate, less a margin), whatever the time stamps say; e.g. a site's "
                       "session in front of the window on a "
                       "virtual bus. Each frame goes out with the length it was logged with. "
                       "Only what the batteries and other devices sent is replayed: the PC's own "
                       "frames (command requests such as parameter writes, firmware upgrade "
                       "frames) would act on real batteries and are held back and counted unless "
                       "--include-commands. Lines that do not parse are skipped and named; the "
                       "adapter sends 29-bit identifiers only, so frames with 11-bit ones are "
                       "skipped as well. Ends with status 1 when anything was skipped or the "
                       "replay was interrupted before its end (with --loop, Ctrl-C is the end).")
            .arg(LogFormat::names().join(QStringLiteral(", "))));
    CommandParser &parser = line.parser();
    parser.addPositional(
        QStringLiteral("FILE"), QStringLiteral("A traffic log."), QStringLiteral("FILE"));
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
    const std::unique_ptr<LogReader> reader = LogFormat::reader(LogFormat::detect(path));
    if (!reader->open(path)) {
        console.error(QStringLiteral("cannot read %1: %2").arg(path, reader->errorString()));
        return ExitStatus::of(Outcome::Failed);
    }
    ReplayFeed feed(*reader, path, qint64(gapSeconds * MicrosPerSecond),
        parser.isSet(includeCommands), console);
    // The first frame is found before the bus is opened: a log without one opens nothing.
    LoggedFrame pending;
    qint64 pendingDueUs = 0;
    if (!feed.next(&pending, &pendingDueUs)) {
        feed.endFirstPass();
        if (!reader->errorString().isEmpty())
            console.error(QStringLiteral("cannot read %1: %2").arg(path, reader->errorString()));
        else
            console.error(QStringLiteral("%1 holds no frame to send").arg(path));
        return ExitStatus::of(Outcome::Failed);
    }

    status = line.openBus(console);
    if (status >= 0)
        return status;
    BusSession &session = line.session();
    CanService *service = session.service();

    // The bus's room, whatever the time stamps say: what the adapter hears of the others' traffic
    // is subtracted from what the bit rate carries, less a margin (BusHeadroom), and the frames
    // go no faster than that room allows (FramePacer), each judged at its worst length.
    BusHeadroom headroom(line.busOptions().bitrateKbit * 1000);
    QObject::connect(&session, &BusSession::frameReceived, &session,
        [&headroom](const LoggedFrame &frame) { headroom.hear(frame.id, frame.data); });
    const int frameBits = CanFrameBits::worstCaseBits(true, MaxDataBytes);
    FramePacer pacer(qMax(1, headroom.framesPerSecond(frameBits)), BurstFrames);

    // Each frame is due at its offset from the first, divided by the speed; a pass that sends
    // late sends what is already due as fast as the bus's room allows rather than drifting.
    // Times are kept in double milliseconds, and a wait longer than a timer takes is served in
    // turns.
    const bool looping = parser.isSet(loop);
    qint64 sent = 0;
    int passes = 0;
    bool finished = false;
    QString readError;
    QElapsedTimer clock;
    QTimer timer;
    timer.setSingleShot(true);
    timer.setTimerType(Qt::PreciseTimer);
    const auto dueMs = [&](qint64 dueUs) { return double(dueUs) / 1000.0 / factor; };
    // Ends the pass: false when nothing more is to be sent.
    const auto endPass = [&] {
        feed.endFirstPass();
        if (!reader->errorString().isEmpty()) {
            readError = reader->errorString();
            return false;
        }
        ++passes;
        if (!looping)
            return false;
        if (!feed.rewind() || !feed.next(&pending, &pendingDueUs)) {
            readError = reader->errorString();
            return false;
        }
        clock.restart();
        return true;
    };
    const auto sendDue = [&] {
        while (dueMs(pendingDueUs) <= double(clock.elapsed())) {
            pacer.setFramesPerSecond(qMax(1, headroom.framesPerSecond(frameBits)));
            if (service->framesNotYetTaken() > MaxBacklogFrames || !pacer.tryTake(1)) {
                timer.start(HeldRetryMs);
                return;
            }
            service->sendFrame(pending.id, pending.data);
            ++sent;
            if (!feed.next(&pending, &pendingDueUs) && !endPass()) {
                finished = true;
                return;
            }
        }
        const double waitMs = std::ceil(dueMs(pendingDueUs) - double(clock.elapsed()));
        timer.start(int(qBound(0.0, waitMs, double(std::numeric_limits<int>::max()))));
    };
    QObject::connect(&timer, &QTimer::timeout, sendDue);
    clock.start();
    pacer.restart();
    sendDue();
    QElapsedTimer total;
    total.start();
    const EventWait::Result result = EventWait::until(
        -1, [&] { return finished; },
        [&] { console.progress(QStringLiteral("replaying: %1 frames sent").arg(sent)); });
    timer.stop();
    EventWait::pause(DrainMs);
    session.close();
    QObject::disconnect(&session, &BusSession::frameReceived, &session, nullptr);
    const double elapsed = total.elapsed() / 1000.0;
    const bool interrupted = result == EventWait::Interrupted;
    if (interrupted)
        feed.endFirstPass();

    Report report;
    report.setField(QStringLiteral("file"), path);
    report.setField(QStringLiteral("framesSent"), double(sent));
    report.setField(QStringLiteral("passes"), passes);
    report.setField(QStringLiteral("framesHeldBack"), double(feed.heldBack()));
    report.setField(QStringLiteral("linesSkipped"), double(feed.skipped()));
    report.setField(QStringLiteral("interrupted"), interrupted);
    report.setField(QStringLiteral("seconds"), elapsed);
    report.addLine(QStringLiteral("%1 frames sent in %2 s%3%4")
                       .arg(sent)
                       .arg(elapsed, 0, 'f', 1)
                       .arg(looping ? QStringLiteral(" (%1 whole passes)").arg(passes) : QString())
                       .arg(interrupted ? QStringLiteral(", interrupted") : QString()));
    report.print(console, line.json());
    if (!readError.isEmpty()) {
        console.error(QStringLiteral("reading %1 stopped: %2").arg(path, readError));
        return ExitStatus::of(Outcome::Failed);
    }
    if (feed.skipped() > 0) {
        console.error(QStringLiteral("%1 lines of %2 skipped").arg(feed.skipped()).arg(path));
        return ExitStatus::of(Outcome::Partial);
    }
    // With --loop, Ctrl-C is the end.
    return ExitStatus::of(interrupted && !looping ? Outcome::Interrupted : Outcome::Done);
}
