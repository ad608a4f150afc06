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
}

QString CanUpgrade::keyOf(UpgradeState state)
{
    return QString::fromLatin1(QMetaEnum::fromType<UpgradeState>().valueToKey(state));
}

int CanUpgrade::start(const QStringList &s19Data, uint chkSum, const QByteArray &bootVersion,
    const QList<int> &expected)
{
    ++m_runs;
    m_expected.clear();
    for (int devId : expected) {
        if (devId >= 0 && devId <= BatteryBank::MaxDeviceId && !m_expected.contains(devId))
            m_expected.append(devId);
    }
    std::sort(m_expected.begin(), m_expected.end());
    m_bootAnswers.clear();
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
    m_state = US_IDLE;
    resetCounters();
    m_timer->stop();
}

void CanUpgrade::setBusBitRate(int bitsPerSecond)
{
    m_headroom.setBitRate(bitsPerSecond);
}

void CanUpgrade::hear(quint32 id, const QByteArray &data)
{
    if (m_state != US_IDLE)
        m_headroom.hear(id, data);
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
        m_tickCount = 0;
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
    bool good = CanBootFrame::isAccepted(data);
    if (good && step == US_REQUEST_BOOT)
        good = CanBootFrame::carriesBootVersion(data, m_bootVersion);
    // The boot loader answers a line only to refuse it, and the refusal of one of the last lines
    // can come once the finish step has begun: the image has a hole all the same.
    const bool lateRefusal = step == US_SEND_DATA && m_state > step && !good;
    if (step != m_state && !lateRefusal)
        return;
    emit newData(FrameTranscript::recvLine(id, data));

    if (!good) {
        failAt(step);
        QLOG_WARN() << badAnswerMessage(step) << id << "; data:" << ByteText::hexPairs(data);
        return;
    }
    if (m_state == US_REQUEST_BOOT) {
        // Collected until the step's time is up (see the class comment).
        const int devId = CanBootFrame::senderOf(id);
        const auto at = std::lower_bound(m_bootAnswers.begin(), m_bootAnswers.end(), devId);
        if (at == m_bootAnswers.end() || *at != devId)
            m_bootAnswers.insert(at, devId);
        return;
    }
    // The host does not wait for the lines; a good answer to one changes nothing.
    if (m_state != US_SEND_DATA)
        moveToNextUpgradeState(true);
}

void CanUpgrade::moveToNextUpgradeState(bool ok)
{
    if (!ok) {
        failAt(m_state);
        return;
    }
    if (m_state == US_UPGRADE_FINISH) {
        m_state = US_IDLE;
        emit upgradeProgress(100);
        emit upgradeResult(true);
        return;
    }
    resetCounters();
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
    const QList<int> inBootLoaders = m_bootAnswers;
    resetCounters();
    // The next tick stops the timer.
    m_state = US_IDLE;
    emit upgradeResult(false);
    emit newState(text);
    if (!inBootLoaders.isEmpty())
        emit leftInBootLoaders(inBootLoaders);
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
