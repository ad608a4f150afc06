#pragma once

#include "busheadroom.h"
#include "canbootframe.h"
#include "framepacer.h"

#include "can/canupgradesession.h"

#include <QByteArray>
#include <QElapsedTimer>
#include <QList>
#include <QMap>
#include <QObject>
#include <QStringList>

#include <functional>

class QTimer;

// The firmware upgrade over CAN, a step machine: asks the batteries' boot
// loaders to start, checks them ready for an image of this checksum, has them erase flash,
// streams the S-record lines of the image and finishes. Each step is driven by a 2 ms tick and
// confirmed by an answer frame; a step is tried MaxTries times.
//
//   step               frames (CanBootFrame)           good answer
//   US_REQUEST_BOOT    Request                         55 + the first 5 bytes of bootVersion
//   US_INQUIRE_BOOT    Inquire, with chkSum            55
//   US_ERASER_FLASH    Erase                           55
//   US_SEND_DATA       Data, each line in slices       none awaited; anything but 55 takes
//                                                      its sender out, even in
//                                                      US_UPGRADE_FINISH
//   US_UPGRADE_FINISH  Finish                          55
//
// The boot request is answered by every battery that enters its boot loader, each under its own
// number (the answer identifier's low byte). Going on at the first answer would leave a battery
// whose request was lost on a busy bus running its application, broadcasting through the data
// step and missing the image; so the request step collects the answers for its whole time (its
// timeout) and compares them with the batteries expected (those on the bus before, or a list
// the caller gives), repeating the request within the step's tries while any is missing. Then
// bootAnswersCollected() tells who answered and who is missing; a receiver connected directly
// may stop() the upgrade there, before anything is erased, and otherwise it goes on with those
// that answered. No answer at all is the step's timeout as before; a wrong answer still ends
// the upgrade at once.
//
// The data step is paced: a line goes out whole, and only once the pace (on average, see
// FramePacer) allows all of its slices. The pace is MaxDataFramesPerSecond, or less when the bus
// has less room than that besides what it carried in the last second (BusHeadroom, at the bit
// rate the bus was opened with), so that batteries still broadcasting, commands and replies keep
// their share; the image's frames win the bus over all of them, so without this they would
// starve. A line is also held back while the adapter's thread has not yet taken a burst's worth
// of what went before (backlog()): a busy machine may keep that thread from running for a while,
// and it would then hand the adapter everything at once, more than its transmit buffer holds.
// Any frame of the upgrade that the adapter could not send (refused, or dropped
// because the adapter is closed) ends the upgrade, and so does closing the bus: the battery
// would otherwise be left with a hole in its image, or waiting in its boot loader while the
// host times out step after step. The data step's tries count for each line.
//
// The batteries that answered the boot request well are the upgrade's roster. The steps after
// it answer per battery, and the frames carry no address, so a battery's refusal may come after
// another's good answer, the step long over: every step with an answer (inquire, erase,
// finish) is done when every roster battery still in has answered it well, or when its time
// and tries are out; a roster battery that refuses any step (in the data step too, whenever the
// refusal comes) or stays silent through a step's tries leaves the upgrade, named with the step
// and why ("battery 2 refused the erase.", a state text and a Warn line). The upgrade goes on
// with those still in (the frames reach the others anyway) and ends at once only when none is
// left: then, or at the end when any left, it fails with "<n> of <m> batteries left the
// upgrade: battery 2 refused the erase; ...". It succeeds only when every roster battery
// finished well. A roster of one battery is the plain step machine: its refusal or silence is
// the upgrade's "failed at state: <step>." or "time out at state: <step>.", without a battery
// line. rosterJudged() tells after the end who finished and why each other did not.
//
// Another host upgrading on the same bus sends the same frames: its data slices come on 0x40000,
// battery 0's data answer identifier, and its boot request on 0x1FF00. Upgrade frames heard
// while idle (none of this session's answers, which may come up to OwnAnswersGraceMs late)
// refuse a start within ForeignTrafficWindowMs; during an upgrade, the other host's boot request
// or a frame on an answer identifier that carries an S-record slice stops it. Both say what was
// heard.
//
// A battery leaves its boot loader only after a good finish. When the upgrade fails, the roster
// batteries that did not finish well are named through leftInBootLoaders() (all that answered,
// when it fails in the request step): they wait there, whatever step they were cut off in, and
// an upgrade sent again starts them over.
//
// The CAN service is handed one at start-up (CanUpgradeSession), forwards its own upgrade methods
// and its tick slot to it and passes on the signals as its own (newData, newState and
// upgradeResult as newUpgradeData, newUpgradeState and upgradeFinished): the firmware page and
// the log reader see the service, so the state keys are those of the service's UpgradeState and
// the log lines name the service's methods.
//
// Threads: GUI thread only, like the service.
class CanUpgrade : public CanUpgradeSession
{
    Q_OBJECT

public:
    // The steps, numbered as the service's UpgradeState and as the frames' steps.
    enum UpgradeState {
        US_IDLE = 0,
        US_REQUEST_BOOT = CanBootFrame::Request,
        US_INQUIRE_BOOT = CanBootFrame::Inquire,
        US_ERASER_FLASH = CanBootFrame::Erase,
        US_SEND_DATA = CanBootFrame::Data,
        US_UPGRADE_FINISH = CanBootFrame::Finish,
    };
    Q_ENUM(UpgradeState)

    static constexpr int BootVersionSize = CanBootFrame::BootVersionSize;
    static constexpr int SliceSize = CanBootFrame::SliceSize;

    static constexpr int TickMs = 2;
    static constexpr int MaxTries = 4;
    // A step's frame goes out on the tick after the step (re)starts, the finish frame later,
    // and a step times out once the tick count exceeds its limit.
    static constexpr int RequestBootTimeoutTicks = 999;
    static constexpr int InquireBootTimeoutTicks = 999;
    static constexpr int EraseFlashTimeoutTicks = 4999;
    static constexpr int SendDataTimeoutTicks = 999;
    static constexpr int FinishSendTick = 10;
    static constexpr int FinishTimeoutTicks = 15009;

    // The data step's pace: 1,000 frames a second keep well within a 250 kbit/s bus (about
    // 1,560 to 1,900 extended 8-byte frames a second, stuffing depending), with room for what
    // else is on it; the burst is two lines of a common image (32 data bytes a record). Less
    // when the bus has less room, but never below the minimum: the image's frames win the bus
    // whatever else is on it, and a line every tenth of a second stays far from the step's
    // timeout.
    static constexpr int MaxDataFramesPerSecond = 1000;
    static constexpr int MinDataFramesPerSecond = 100;
    static constexpr int DataBurstFrames = 20;
    static constexpr int MaxBacklogFrames = DataBurstFrames;
    // A host waits up to the erase step's time for its answers without a frame; upgrade traffic
    // heard that recently means another host may be upgrading.
    static constexpr int ForeignTrafficWindowMs = EraseFlashTimeoutTicks * TickMs;
    // Answers to this session's frames that come after it ended are its own, not another host's.
    static constexpr int OwnAnswersGraceMs = 1000;

    explicit CanUpgrade(QObject *parent = nullptr);

    // Starts (or restarts from the beginning) with these inputs; 0. expected: the batteries
    // that should answer the boot request (device numbers 0 to 27). -1 when upgrade traffic of
    // another host was heard (see the class comment): then nothing is sent, and the result
    // (false) and the text come at once.
    int start(const QStringList &s19Data, uint chkSum, const QByteArray &bootVersion,
        const QList<int> &expected) override;
    // Back to US_IDLE without a word.
    void stop() override;
    UpgradeState state() const { return m_state; }
    int step() const override { return m_state; }
    // The batteries that answered the boot request so far in this upgrade, in ascending order.
    QList<int> bootAnswers() const { return m_bootAnswers; }
    QList<int> inBootLoaders() const override;

    // How many frames sent are still on their way to the adapter (none when not given).
    void setBacklog(std::function<int()> backlog) override { m_backlog = std::move(backlog); }
    // The bit rate the bus was opened with, for the data step's pace.
    void setBusBitRate(int bitsPerSecond) override;
    // Every frame the adapter received: counted while an upgrade runs, and while idle noted
    // when it is upgrade traffic (another host's, see the class comment).
    void hear(quint32 id, const QByteArray &data) override;
    // The pace the data step keeps now, in frames a second.
    int dataFramesPerSecond() override;

    // The key of a state ("US_SEND_DATA").
    static QString keyOf(UpgradeState state);

    // The upgrade timer's tick.
    void tick() override;
    // Takes the boot loaders' answers (CanBootFrame::isAnswer), 8 data bytes, from a battery
    // below 28.
    bool takeAnswer(quint32 id, const QByteArray &data) override;
    // Every frame of the upgrade that the adapter could not send ends it.
    void transmitFailed(quint32 id, const QByteArray &data) override;
    void busClosed() override;

    // Signals (CanUpgradeSession): rosterJudged() when an upgrade past the boot request ends;
    // bootAnswersCollected() when the boot request's answers are in
    // (see the class comment), answered and missing (expected but silent) each in ascending
    // order, a directly connected receiver may stop() there; leftInBootLoaders() after a
    // failure, the batteries that answered the boot request, now in their boot loaders.

private:
    enum Departure { Refused, Silent };

    void processAnswer(quint32 id, const QByteArray &data);
    // A roster battery leaves the upgrade, named when the roster has more than one; true when
    // the upgrade ended with it (none left).
    bool leave(int devId, UpgradeState step, Departure how);
    // The roster batteries still in the upgrade, and whether every one of them answered the
    // step well.
    QList<int> stillIn() const;
    bool everyoneAnswered() const;
    // The step's tries are out: the silent batteries leave; the upgrade goes on or ends.
    void judgeSilence();
    // Another host's frame: stops the upgrade with what was heard.
    void stopForAnotherHost(quint32 id, const QByteArray &data);
    // Whether a frame heard now, while idle, was another host's upgrade traffic, noted for
    // start().
    void noteForeignTraffic(quint32 id, const QByteArray &data);
    void sendStepFrame(quint32 id, const QByteArray &data);
    void sendNextLine();
    void runTimeoutRule();
    // The request step's time is up: ask again, go on or time out.
    void endBootCollection();
    QList<int> missingBatteries() const;
    void moveToNextUpgradeState(bool ok);
    // Fails with "failed at state: <step>." and its Warn line.
    void failAt(UpgradeState step);
    // The result (false), then the text; back to US_IDLE; then leftInBootLoaders() and
    // rosterJudged().
    void fail(const QString &text);
    // "<n> of <m> batteries left the upgrade: battery 2 refused the erase; ...".
    QString leaversText() const;
    // The roster batteries that answered the finish well.
    QList<int> finishedBatteries() const;
    // Back to US_IDLE, noting when, for the answers still to come.
    void endRun();
    void resetCounters();

    UpgradeState m_state = US_IDLE;
    QStringList m_s19Data;
    uint m_chkSum = 0;
    QByteArray m_bootVersion;
    int m_tickCount = 0;
    int m_retryCount = 0;
    // In US_SEND_DATA, the tick on which the next line goes out: 1, or later while the pacer
    // holds the line back.
    int m_nextSendTick = 1;
    int m_lineIndex = 0;
    QTimer *m_timer = nullptr;
    FramePacer m_pacer;
    BusHeadroom m_headroom;
    std::function<int()> m_backlog = [] { return 0; };
    QList<int> m_expected;
    // The roster once the request step is over.
    QList<int> m_bootAnswers;
    // Of the roster, those that answered the current step well, and those that left the
    // upgrade with why ("refused the erase").
    QList<int> m_answered;
    QMap<int, QString> m_left;
    // Once the run has ended: those of the roster that finished well.
    QList<int> m_finished;
    // Monotonic: when the last run ended, and the last upgrade frame another host sent.
    QElapsedTimer m_clock;
    qint64 m_endedAtMs = -OwnAnswersGraceMs;
    qint64 m_foreignAtMs = -1;
    QString m_foreignFrame;
    // Counts start() and stop(), so that code after a signal knows whether a receiver did.
    quint64 m_runs = 0;
};
