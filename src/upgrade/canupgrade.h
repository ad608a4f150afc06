#pragma once

#include "busheadroom.h"
#include "canbootframe.h"
#include "framepacer.h"

#include "can/canupgradesession.h"

#include <QByteArray>
#include <QList>
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
//   US_SEND_DATA       Data, each line in slices       none awaited; anything but 55 aborts,
//                                                      even in US_UPGRADE_FINISH
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
// host times out step after step. A line refused by the boot loader ends it even when the
// refusal comes after the finish step began.
//
// A battery leaves its boot loader only after a good finish. When the upgrade fails, those that
// answered the boot request are named through leftInBootLoaders(): they wait there, whatever
// step they were cut off in, and an upgrade sent again starts them over.
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

    explicit CanUpgrade(QObject *parent = nullptr);

    // Starts (or restarts from the beginning) with these inputs; 0. expected: the batteries
    // that should answer the boot request (device numbers 0 to 27).
    int start(const QStringList &s19Data, uint chkSum, const QByteArray &bootVersion,
        const QList<int> &expected) override;
    // Back to US_IDLE without a word.
    void stop() override;
    UpgradeState state() const { return m_state; }
    int step() const override { return m_state; }
    // The batteries that answered the boot request so far in this upgrade, in ascending order.
    QList<int> bootAnswers() const { return m_bootAnswers; }

    // How many frames sent are still on their way to the adapter (none when not given).
    void setBacklog(std::function<int()> backlog) override { m_backlog = std::move(backlog); }
    // The bit rate the bus was opened with, for the data step's pace.
    void setBusBitRate(int bitsPerSecond) override;
    // Every frame the adapter received; counted while an upgrade runs.
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

    // Signals (CanUpgradeSession): bootAnswersCollected() when the boot request's answers are in
    // (see the class comment), answered and missing (expected but silent) each in ascending
    // order, a directly connected receiver may stop() there; leftInBootLoaders() after a
    // failure, the batteries that answered the boot request, now in their boot loaders.

private:
    void processAnswer(quint32 id, const QByteArray &data);
    void sendStepFrame(quint32 id, const QByteArray &data);
    void sendNextLine();
    void runTimeoutRule();
    // The request step's time is up: ask again, go on or time out.
    void endBootCollection();
    QList<int> missingBatteries() const;
    void moveToNextUpgradeState(bool ok);
    // Fails with "failed at state: <step>." and its Warn line.
    void failAt(UpgradeState step);
    // The result (false), then the text; back to US_IDLE.
    void fail(const QString &text);
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
    QList<int> m_bootAnswers;
    // Counts start() and stop(), so that code after a signal knows whether a receiver did.
    quint64 m_runs = 0;
};
