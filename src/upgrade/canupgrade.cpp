#include "canupgrade.h"

#include "can/canframebits.h"
#include "log/bytetext.h"
#include "log/frametranscript.h"
#include "log/logger.h"

#include "signals/batterybank.h"

#include <QMetaEnum>
#include <QTimer>

#include <algorithm>

namespace {

// The warning that goes with a bad answer, by the state the answer belongs to.
const char *badAnswerMessage(CanUpgrade::UpgradeState state)
{
    switch (state) {
    case CanUpgrade::US_REQUEST_BOOT:
        return "CanService::processCanFrame: failed in requesting upgrade; id:";
    case CanUpgrade::US_INQUIRE_BOOT:
        return "CanService::processCanFrame: failed in checking device ready; id:";
    case CanUpgrade::US_ERASER_FLASH:
        return "CanService::processCanFrame: failed in erasering flash; id:";
    case CanUpgrade::US_SEND_DATA:
        return "CanService::processCanFrame: failed in sending data; id:";
    default:
        return "CanService::processCanFrame: failed in completing upgrading; id:";
    }
}

// The step as the battery lines name it: "battery 2 refused the erase".
QString stepNoun(CanUpgrade::UpgradeState step)
{
    switch (step) {
    case CanUpgrade::US_REQUEST_BOOT:
        return QStringLiteral("boot request");
    case CanUpgrade::US_INQUIRE_BOOT:
        return QStringLiteral("inquire");
    case CanUpgrade::US_ERASER_FLASH:
        return QStringLiteral("erase");
    case CanUpgrade::US_SEND_DATA:
        return QStringLiteral("data");
    default:
        return QStringLiteral("finish");
    }
}

// A frame heard, as a text names it: "0x00040000: 53 33 32 35 30 38 30 32".
QString frameText(quint32 id, const QByteArray &data)
{
    return QStringLiteral("0x%1: %2")
        .arg(id, 8, 16, QLatin1Char('0'))
        .arg(ByteText::hexPairs(data));
}

} // namespace

CanUpgrade::CanUpgrade(QObject *parent)
    : CanUpgradeSession(parent)
    , m_timer(new QTimer(this))
    , m_pacer(MaxDataFramesPerSecond, DataBurstFrames)
{
    m_timer->setObjectName(QStringLiteral("upgradeTimer"));
    m_timer->setInterval(TickMs);
    // Coarse timers may fire early or late by 5 %; the ticks count time for the timeouts.
    m_timer->setTimerType(Qt::PreciseTimer);
    connect(m_timer, &QTimer::timeout, this, &CanUpgrade::tick);
    m_clock.start();
}

QString CanUpgrade::keyOf(UpgradeState state)
{
    return QString::fromLatin1(QMetaEnum::fromType<UpgradeState>().valueToKey(state));
}

int CanUpgrade::start(const QStringList &s19Data, uint chkSum, const QByteArray &bootVersion,
    const QList<int> &expected)
{
    ++m_runs;
    const qint64 sinceForeign = m_clock.elapsed() - m_foreignAtMs;
    if (m_state == US_IDLE && m_foreignAtMs >= 0 && sinceForeign < ForeignTrafficWindowMs) {
        const QString text
            = tr("another host is upgrading on this bus: heard %1 %2 s ago; not started.")
                  .arg(m_foreignFrame)
                  .arg(sinceForeign / 1000.0, 0, 'f', 1);
        emit upgradeResult(false);
        emit newState(text);
        QLOG_WARN() << "CanService::startUpgrading:" << text;
        return -1;
    }
    m_expected.clear();
    for (int devId : expected) {
        if (devId >= 0 && devId <= BatteryBank::MaxDeviceId && !m_expected.contains(devId))
            m_expected.append(devId);
    }
    std::sort(m_expected.begin(), m_expected.end());
    m_bootAnswers.clear();
    m_answered.clear();
    m_left.clear();
    m_finished.clear();
    m_headroom.restart();
    m_s19Data = s19Data;
    m_chkSum = chkSum;
    m_bootVersion = bootVersion;
    m_lineIndex = 0;
    m_nextSendTick = 1;
    resetCounters();
    m_state = US_REQUEST_BOOT;
    m_timer->start();
    return 0;
}

void CanUpgrade::stop()
{
    ++m_runs;
    if (m_state != US_IDLE)
        endRun();
    resetCounters();
    m_timer->stop();
}

QList<int> CanUpgrade::inBootLoaders() const
{
    const QList<int> finished = m_state == US_IDLE ? m_finished : finishedBatteries();
    QList<int> waiting;
    for (int devId : m_bootAnswers) {
        if (!finished.contains(devId))
            waiting.append(devId);
    }
    return waiting;
}

void CanUpgrade::endRun()
{
    m_finished = finishedBatteries();
    m_state = US_IDLE;
    m_endedAtMs = m_clock.elapsed();
}

void CanUpgrade::setBusBitRate(int bitsPerSecond)
{
    m_headroom.setBitRate(bitsPerSecond);
}

void CanUpgrade::hear(quint32 id, const QByteArray &data)
{
    if (m_state != US_IDLE)
        m_headroom.hear(id, data);
    else
        noteForeignTraffic(id, data);
}

void CanUpgrade::noteForeignTraffic(quint32 id, const QByteArray &data)
{
    const qint64 now = m_clock.elapsed();
    if (!CanBootFrame::isAnswer(id) || now - m_endedAtMs < OwnAnswersGraceMs)
        return;
    m_foreignAtMs = now;
    m_foreignFrame = frameText(id, data);
}

int CanUpgrade::dataFramesPerSecond()
{
    // A slice is judged at its worst, stuff bits and all: the pace must never be too high.
    static const int sliceBits = CanFrameBits::worstCaseBits(true, SliceSize);
    return qBound(
        MinDataFramesPerSecond, m_headroom.framesPerSecond(sliceBits), MaxDataFramesPerSecond);
}

void CanUpgrade::resetCounters()
{
    m_tickCount = 0;
    m_retryCount = 0;
}

void CanUpgrade::tick()
{
    const int old = m_tickCount;
    const int tick = ++m_tickCount;
    if (m_state > US_UPGRADE_FINISH) {
        m_timer->stop();
        resetCounters();
        return;
    }

    switch (m_state) {
    case US_REQUEST_BOOT:
        if (old == 0)
            sendStepFrame(CanBootFrame::RequestBootId, QByteArray());
        else if (tick > RequestBootTimeoutTicks)
            endBootCollection();
        break;
    case US_INQUIRE_BOOT:
        if (old == 0)
            sendStepFrame(CanBootFrame::InquireBootId, CanBootFrame::inquireData(m_chkSum));
        else if (tick > InquireBootTimeoutTicks)
            runTimeoutRule();
        break;
    case US_ERASER_FLASH:
        if (old == 0)
            sendStepFrame(CanBootFrame::EraseFlashId, QByteArray());
        else if (tick > EraseFlashTimeoutTicks)
            runTimeoutRule();
        break;
    case US_SEND_DATA:
        if (tick == m_nextSendTick) {
            const int slices = m_lineIndex < m_s19Data.size()
                ? CanBootFrame::sliceCount(m_s19Data.at(m_lineIndex))
                : 0;
            // Held back while the adapter's thread lags behind, and until the pace allows the
            // whole line; the tick count goes on, so the step's timeout still counts from the
            // last line sent.
            m_pacer.setFramesPerSecond(dataFramesPerSecond());
            if (slices > 0 && (m_backlog() > MaxBacklogFrames || !m_pacer.tryTake(slices))) {
                // Held for the step's whole time: the adapter's thread takes nothing (a line
                // is then tried again at once, MaxTries times in all).
                m_nextSendTick = tick + 1;
                if (tick > SendDataTimeoutTicks) {
                    runTimeoutRule();
                    m_nextSendTick = 1;
                }
                break;
            }
            m_nextSendTick = 1;
            sendNextLine();
        } else if (tick > SendDataTimeoutTicks) {
            runTimeoutRule();
        }
        break;
    case US_UPGRADE_FINISH:
        if (old == FinishSendTick - 1)
            sendStepFrame(CanBootFrame::FinishId, QByteArray());
        else if (tick > FinishTimeoutTicks)
            runTimeoutRule();
        break;
    default:
        m_timer->stop();
        resetCounters();
        m_state = US_IDLE;
        break;
    }
}

void CanUpgrade::sendStepFrame(quint32 id, const QByteArray &data)
{
    emit sendFrame(id, data);
    emit newData(FrameTranscript::sendLine(id, data));
}

void CanUpgrade::sendNextLine()
{
    const int lineCount = m_s19Data.size();
    if (m_lineIndex < lineCount) {
        for (const QByteArray &slice : CanBootFrame::slicesOf(m_s19Data.at(m_lineIndex)))
            sendStepFrame(CanBootFrame::DataId, slice);
        // The step's tries count for each line: a stall of one line says nothing of the next.
        resetCounters();
        m_nextSendTick = 1;
    } else {
        m_state = US_UPGRADE_FINISH;
        resetCounters();
    }
    // Truncated, in floating point, as the page has always shown it; an image without lines
    // (which the page never sends) is all sent at once.
    const int progress = lineCount > 0 ? int(double(m_lineIndex) / double(lineCount) * 100.0) : 100;
    emit upgradeProgress(progress);
    ++m_lineIndex;
}

void CanUpgrade::runTimeoutRule()
{
    const int earlierTimeouts = m_retryCount++;
    if (earlierTimeouts < MaxTries - 1) {
        m_tickCount = 0;
        return;
    }
    // The steps whose answers every roster battery owes.
    if (m_state == US_INQUIRE_BOOT || m_state == US_ERASER_FLASH || m_state == US_UPGRADE_FINISH) {
        judgeSilence();
        return;
    }
    const QString key = keyOf(m_state);
    fail(tr("time out at state: %1.").arg(key));
    QLOG_WARN() << "CanService::OnUpgradeTimerTimeOut: time out at state:" << key << ".\r\n";
}

void CanUpgrade::endBootCollection()
{
    const QList<int> missing = missingBatteries();
    const bool lastTry = m_retryCount >= MaxTries - 1;
    // Nobody at all is the step's timeout, as for any step; the last try then fails.
    if (m_bootAnswers.isEmpty() || (!missing.isEmpty() && !lastTry)) {
        runTimeoutRule();
        return;
    }
    const quint64 run = m_runs;
    emit bootAnswersCollected(m_bootAnswers, missing);
    if (run != m_runs)
        return;
    if (!missing.isEmpty()) {
        QStringList numbers;
        for (int devId : missing)
            numbers.append(QString::number(devId));
        QLOG_WARN() << "CanService::OnUpgradeTimerTimeOut: no answer to the boot request from:"
                    << numbers.join(QStringLiteral(", "));
    }
    moveToNextUpgradeState(true);
}

QList<int> CanUpgrade::missingBatteries() const
{
    QList<int> missing;
    for (int devId : m_expected) {
        if (!m_bootAnswers.contains(devId))
            missing.append(devId);
    }
    return missing;
}

void CanUpgrade::judgeSilence()
{
    const UpgradeState step = m_state;
    for (int devId : stillIn()) {
        if (!m_answered.contains(devId) && leave(devId, step, Silent))
            return;
    }
    moveToNextUpgradeState(true);
}

QList<int> CanUpgrade::stillIn() const
{
    QList<int> in;
    for (int devId : m_bootAnswers) {
        if (!m_left.contains(devId))
            in.append(devId);
    }
    return in;
}

bool CanUpgrade::everyoneAnswered() const
{
    const QList<int> in = stillIn();
    return std::all_of(
        in.cbegin(), in.cend(), [this](int devId) { return m_answered.contains(devId); });
}

bool CanUpgrade::leave(int devId, UpgradeState step, Departure how)
{
    const QString why = how == Refused ? tr("refused the %1").arg(stepNoun(step))
                                       : tr("did not answer the %1").arg(stepNoun(step));
    m_left.insert(devId, why);
    const char *origin
        = how == Refused ? "CanService::processCanFrame:" : "CanService::OnUpgradeTimerTimeOut:";
    if (m_bootAnswers.size() > 1) {
        const QString text = tr("battery %1 %2.").arg(devId).arg(why);
        emit newState(text);
        QLOG_WARN() << origin << text;
    }
    if (!stillIn().isEmpty())
        return false;
    // None is left: the upgrade ends at once. A single battery's leaving is the step's failure.
    if (m_bootAnswers.size() > 1) {
        const QString text = leaversText();
        fail(text);
        QLOG_WARN() << origin << text;
    } else if (how == Refused) {
        failAt(step);
    } else {
        const QString key = keyOf(step);
        fail(tr("time out at state: %1.").arg(key));
        QLOG_WARN() << "CanService::OnUpgradeTimerTimeOut: time out at state:" << key << ".\r\n";
    }
    return true;
}

QString CanUpgrade::leaversText() const
{
    QStringList lines;
    for (auto it = m_left.cbegin(); it != m_left.cend(); ++it)
        lines.append(tr("battery %1 %2").arg(it.key()).arg(it.value()));
    return tr("%1 of %2 batteries left the upgrade: %3.")
        .arg(m_left.size())
        .arg(m_bootAnswers.size())
        .arg(lines.join(QStringLiteral("; ")));
}

QList<int> CanUpgrade::finishedBatteries() const
{
    QList<int> finished;
    if (m_state != US_UPGRADE_FINISH)
        return finished;
    for (int devId : m_bootAnswers) {
        if (m_answered.contains(devId) && !m_left.contains(devId))
            finished.append(devId);
    }
    return finished;
}

void CanUpgrade::stopForAnotherHost(quint32 id, const QByteArray &data)
{
    const QString text
        = tr("another host is upgrading on this bus: heard %1; stopped.").arg(frameText(id, data));
    fail(text);
    QLOG_WARN() << "CanService::processCanFrame:" << text;
}

bool CanUpgrade::takeAnswer(quint32 id, const QByteArray &data)
{
    if (!CanBootFrame::isAnswer(id))
        return false;
    processAnswer(id, data);
    return true;
}

void CanUpgrade::processAnswer(quint32 id, const QByteArray &data)
{
    const auto step = UpgradeState(CanBootFrame::stepOfAnswer(id));
    if (m_state == US_IDLE || data.size() < CanBootFrame::AnswerSize)
        return;
    // No battery answers on the request's own identifier or with a piece of an S-record line.
    if (id == CanBootFrame::RequestBootId || CanBootFrame::isSlice(data)) {
        stopForAnotherHost(id, data);
        return;
    }
    bool good = CanBootFrame::isAccepted(data);
    if (good && step == US_REQUEST_BOOT)
        good = CanBootFrame::carriesBootVersion(data, m_bootVersion);
    const int devId = CanBootFrame::senderOf(id);
    // Once the request step is over, a refusal counts whenever it comes: a battery's answer may
    // come after another's good one moved the step on, and the boot loader answers a line only
    // to refuse it, one of the last lines maybe once the finish step has begun. A lone battery
    // moved its steps on itself, so only its line refusals can come late; a refusal of a step it
    // answered well is ignored, as any answer of a step already left.
    const bool inRoster = m_state > US_REQUEST_BOOT && m_bootAnswers.contains(devId);
    const bool mayComeLate = step == US_SEND_DATA || m_bootAnswers.size() > 1;
    const bool lateRefusal = !good && step < m_state && step > US_REQUEST_BOOT && inRoster
        && !m_left.contains(devId) && mayComeLate;
    if (step != m_state && !lateRefusal)
        return;
    emit newData(FrameTranscript::recvLine(id, data));

    if (m_state == US_REQUEST_BOOT) {
        if (!good) {
            failAt(step);
            QLOG_WARN() << badAnswerMessage(step) << id << "; data:" << ByteText::hexPairs(data);
            return;
        }
        // Collected until the step's time is up (see the class comment).
        const auto at = std::lower_bound(m_bootAnswers.begin(), m_bootAnswers.end(), devId);
        if (at == m_bootAnswers.end() || *at != devId)
            m_bootAnswers.insert(at, devId);
        return;
    }
    // Only the roster's batteries still in are judged; the others' answers are in the
    // transcript and nothing more.
    if (!inRoster || m_left.contains(devId))
        return;
    if (!good) {
        const bool ended = leave(devId, step, Refused);
        QLOG_WARN() << badAnswerMessage(step) << id << "; data:" << ByteText::hexPairs(data);
        if (!ended && m_state != US_SEND_DATA && everyoneAnswered())
            moveToNextUpgradeState(true);
        return;
    }
    // The host does not wait for the lines; a good answer to one changes nothing.
    if (m_state == US_SEND_DATA)
        return;
    if (!m_answered.contains(devId))
        m_answered.append(devId);
    if (everyoneAnswered())
        moveToNextUpgradeState(true);
}

void CanUpgrade::moveToNextUpgradeState(bool ok)
{
    if (!ok) {
        failAt(m_state);
        return;
    }
    if (m_state == US_UPGRADE_FINISH) {
        if (!m_left.isEmpty()) {
            emit upgradeProgress(100);
            const QString text = leaversText();
            fail(text);
            QLOG_WARN() << "CanService::moveToNextUpgradeState:" << text;
            return;
        }
        endRun();
        emit upgradeProgress(100);
        emit upgradeResult(true);
        emit rosterJudged(m_finished, {});
        return;
    }
    resetCounters();
    m_answered.clear();
    m_state = UpgradeState(m_state + 1);
    if (m_state == US_SEND_DATA) {
        m_nextSendTick = 1;
        m_pacer.restart();
    }
}

void CanUpgrade::failAt(UpgradeState step)
{
    const QString key = keyOf(step);
    fail(tr("failed at state: %1.").arg(key));
    QLOG_WARN() << "CanService::moveToNextUpgradeState: failed at state:" << key << ".\r\n";
}

void CanUpgrade::fail(const QString &text)
{
    const bool judged = m_state > US_REQUEST_BOOT;
    resetCounters();
    // The next tick stops the timer.
    endRun();
    const QList<int> waiting = inBootLoaders();
    QMap<int, QString> notFinished = m_left;
    QString cutOff = text;
    if (cutOff.endsWith(QLatin1Char('.')))
        cutOff.chop(1);
    for (int devId : waiting) {
        if (!notFinished.contains(devId))
            notFinished.insert(devId, tr("was cut off (%1)").arg(cutOff));
    }
    emit upgradeResult(false);
    emit newState(text);
    if (!waiting.isEmpty())
        emit leftInBootLoaders(waiting);
    if (judged)
        emit rosterJudged(m_finished, notFinished);
}

void CanUpgrade::transmitFailed(quint32 id, const QByteArray &data)
{
    // Every frame of the upgrade counts: a lost slice leaves a hole in the image, and a lost
    // step frame is lost for good when the adapter is closed (a resend at the step's timeout
    // would only stall the upgrade). The first loss ends the upgrade; slices still on their
    // way to the adapter are then no longer its business.
    if (m_state == US_IDLE || !CanBootFrame::isHostFrame(id))
        return;
    const QString key = keyOf(m_state);
    fail(tr("failed at state: %1.").arg(key));
    QLOG_WARN() << "CanService::OnTransmitFailed: failed to transmit upgrade frame at state:" << key
                << "; id:" << id << "; data:" << ByteText::hexPairs(data);
}

void CanUpgrade::busClosed()
{
    if (m_state == US_IDLE)
        return;
    const QString key = keyOf(m_state);
    fail(tr("failed at state: %1.").arg(key));
    QLOG_WARN() << "CanService::closeService: bus closed during the upgrade at state:" << key
                << ".";
}
