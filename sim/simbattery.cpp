#include "simbattery.h"

#include "simbootloader.h"
#include "simoptions.h"

#include "can/commandcodec.h"
#include "records/historyrecordcodec.h"
#include "settings/thresholdsetting.h"
#include "signals/abstractsignalvalue.h"
#include "signals/batterybank.h"
#include "signals/framekey.h"
#include "signals/signalindex.h"

#include <QElapsedTimer>
#include <QRandomGenerator>
#include <QTimer>
#include <QtEndian>

using namespace CommandProtocol;

namespace {

constexpr int ModelTickMs = 100;
constexpr int FastBroadcastMs = 200;
constexpr int SlowBroadcastMs = 500;
constexpr int StatisticsBroadcastMs = 3000;
// At most one history record (twelve frames) per tick: 1,200 frames a second, which a 250 kbit/s
// bus carries beside the broadcasts of a few batteries. On a busier bus the records wait for room
// in the battery's transmit queue (setTransmitRoom()).
constexpr int TransferTickMs = 10;
// The batteries' broadcast timers are spread over their periods as if this many shared the bus.
constexpr int PhaseSlots = BatteryBank::DeviceCount;

// Milliseconds on the monotonic clock, the same for every battery of the process.
qint64 monotonicMs()
{
    QElapsedTimer clock;
    clock.start();
    return clock.msecsSinceReference();
}

QByteArray fixedField(const QByteArray &text, int size)
{
    QByteArray field = text.left(size);
    field.append(QByteArray(size - field.size(), '\0'));
    return field;
}

} // namespace

SimBattery::SimBattery(quint8 devId, const SimOptions &options,
    const AbstractSignalValue &catalogue, const ThresholdSetting &parameters, QObject *parent)
    : QObject(parent)
    , m_devId(devId)
    , m_options(options)
    , m_catalogue(catalogue)
    , m_parameters(parameters)
    , m_pack(options.seed * 97 + devId)
    , m_history(devId, options.seed * 131 + devId, options.history.eventCount)
    , m_clockSetTo(QDateTime(QDate(2021, 1, 1), QTime(0, 0)))
    , m_clockSetAt(QDateTime::currentDateTime())
    , m_firmwareVersion(fixedField("ZK-BMS V2.3.07", VersionSize))
    , m_batteryCode(fixedField(QByteArray("QM2024") + QByteArray::number(100000 + devId), CodeSize))
    , m_modelCode(fixedField("ZK-LFP-16S100AH", CodeSize))
    , m_bootLoader(new SimBootLoader(options, this))
{
    for (const ThresholdSettingItem &item : parameters.items())
        m_parameterWire.insert(
            quint8(item.paramId), CommandCodec::wireValue(item.defaultValue, item.offset));
    applyLimits();

    // Each battery broadcasts on its own clock. Real ones do not run in step, and 28 of them
    // bursting at the same instant would be an artefact that no bus carries. Each timer fires on
    // a grid of the monotonic clock, at phase + k x period, the phase spreading the batteries
    // over the period, and is set again for the next point of the grid after each tick: a
    // stalled event loop skips ticks but never brings the batteries into step (a repeating
    // timer that is late starts its period anew from then, the same moment for all of them).
    const auto every = [this](int periodMs, void (SimBattery::*slot)(), bool phased) {
        const qint64 phaseMs = phased ? (m_devId % PhaseSlots) * periodMs / PhaseSlots : 0;
        auto *timer = new QTimer(this);
        timer->setSingleShot(true);
        // Coarse timers would be moved to common boundaries.
        timer->setTimerType(Qt::PreciseTimer);
        const auto setForNextTick = [timer, periodMs, phaseMs] {
            const qint64 now = monotonicMs();
            const qint64 next = phaseMs + ((now - phaseMs) / periodMs + 1) * periodMs;
            timer->start(int(next - now));
        };
        connect(timer, &QTimer::timeout, this, [this, slot, setForNextTick] {
            (this->*slot)();
            setForNextTick();
        });
        setForNextTick();
    };
    every(ModelTickMs, &SimBattery::OnModelTick, false);
    every(FastBroadcastMs, &SimBattery::OnFastBroadcast, true);
    every(SlowBroadcastMs, &SimBattery::OnSlowBroadcast, true);
    every(StatisticsBroadcastMs, &SimBattery::OnStatisticsBroadcast, true);

    connect(m_bootLoader, &SimBootLoader::installed, this, &SimBattery::installFirmware);

    m_transferTimer = new QTimer(this);
    m_transferTimer->setInterval(TransferTickMs);
    connect(m_transferTimer, &QTimer::timeout, this, &SimBattery::OnTransferTick);
}

QDateTime SimBattery::clock() const
{
    return m_clockSetTo.addMSecs(m_clockSetAt.msecsTo(QDateTime::currentDateTime()));
}

void SimBattery::OnModelTick()
{
    m_pack.advance(m_options.speed * ModelTickMs / 1000.0);
    // Every alarm or protection the pack raises goes into its history log.
    for (int g = 0; g < PackModel::GroupCount; ++g) {
        const int level = m_pack.level(PackModel::Group(g));
        if (level > m_loggedLevels[size_t(g)])
            m_history.append(clock(), m_pack, HistoryLog::faultId(g, level), quint8(level));
        m_loggedLevels[size_t(g)] = level;
    }
}

QHash<int, double> SimBattery::broadcastValues() const
{
    QHash<int, double> values = m_pack.signalValues();
    const QDateTime now = clock();
    values[Signal::RtcYear] = now.date().year();
    values[Signal::RtcMonth] = now.date().month();
    values[Signal::RtcDay] = now.date().day();
    values[Signal::RtcHour] = now.time().hour();
    values[Signal::RtcMinute] = now.time().minute();
    values[Signal::RtcSecond] = now.time().second();
    values[Signal::LifeCounter] = m_lifeCounter;
    if (m_options.appliesTo(m_devId)) {
        for (auto it = m_options.forcedSignals.cbegin(); it != m_options.forcedSignals.cend(); ++it)
            values[it.key()] = it.value();
    }
    return values;
}

void SimBattery::sendFrame(quint32 frameKey, const QHash<int, double> &values)
{
    emit broadcast(FrameKey::identifier(frameKey, m_devId), m_catalogue.encode(frameKey, values));
}

void SimBattery::OnFastBroadcast()
{
    if (isInBootLoader())
        return;
    if (!(m_options.freezeLife && m_options.appliesTo(m_devId)))
        ++m_lifeCounter;
    const QHash<int, double> values = broadcastValues();
    for (quint32 key : { FrameKey::PackStatus, FrameKey::AlarmLevels, FrameKey::Faults,
             FrameKey::Relays, FrameKey::PackInfo, FrameKey::CellVoltExtremes })
        sendFrame(key, values);
}

void SimBattery::OnSlowBroadcast()
{
    if (isInBootLoader())
        return;
    const QHash<int, double> values = broadcastValues();
    for (quint32 key : { FrameKey::Capacity, FrameKey::TempExtremes, FrameKey::Clock,
             FrameKey::Temperatures, FrameKey::CellVolts1to4, FrameKey::CellVolts5to8,
             FrameKey::CellVolts9to12, FrameKey::CellVolts13to16, FrameKey::CellVolts17to20,
             FrameKey::CellVolts21to24, FrameKey::CellVolts25to28, FrameKey::CellVolts29to32 })
        sendFrame(key, values);
}

void SimBattery::OnStatisticsBroadcast()
{
    if (isInBootLoader())
        return;
    const QHash<int, double> values = broadcastValues();
    for (quint32 key : { FrameKey::Values32, FrameKey::Date, FrameKey::LifetimeTotals,
             FrameKey::LifetimeCounts, FrameKey::LifetimeHours1, FrameKey::LifetimeHours2,
             FrameKey::Flags5, FrameKey::Flags6 })
        sendFrame(key, values);
}

void SimBattery::sendReply(const CanFrame &frame)
{
    emit reply(frame.id, frame.data, m_replyGroup);
}

void SimBattery::installFirmware(const QByteArray &version)
{
    m_firmwareVersion = fixedField(version, VersionSize);
}

bool SimBattery::isInBootLoader() const
{
    return m_bootLoader->isActive();
}

void SimBattery::handleUpgradeFrame(quint32 id, const QByteArray &data)
{
    m_bootLoader->handleFrame(m_devId, id, data);
    // The application stops where the boot loader takes over, a history transfer with it.
    if (isInBootLoader() && m_transferTimer->isActive()) {
        m_transferTimer->stop();
        m_transferNext = -1;
    }
}

void SimBattery::handleRequest(quint32 id, const QByteArray &data)
{
    // A battery in its boot loader does not run the command protocol.
    if (isInBootLoader())
        return;
    const quint8 code = CommandCodec::codeOf(id);
    ++m_replyGroup;

    switch (code) {
    case SetDeviceId: {
        const quint8 newId = CommandCodec::newIdOf(data);
        if (data.size() >= 1 && newId <= BatteryBank::MaxDeviceId) {
            m_devId = newId;
            m_history.setDevId(m_devId);
            sendReply(CommandCodec::acknowledgement(code, m_devId));
        }
        break;
    }
    case SetRelay: {
        const CommandCodec::RelaySwitch relay = CommandCodec::relaySwitchOf(data);
        m_pack.setRelay(relay.relay, relay.on != 0);
        break;
    }
    case SetTime:
        if (data.size() >= CommandCodec::SetTimeSize) {
            const QDateTime time = CommandCodec::clockOf(data);
            if (time.isValid()) {
                m_clockSetTo = time;
                m_clockSetAt = QDateTime::currentDateTime();
            }
            sendReply(CommandCodec::acknowledgement(code, m_devId));
        }
        break;
    case ReadTime:
        sendReply(CommandCodec::timeReply(m_devId, clock()));
        break;
    case ReadVersion:
        answerParts(code, m_firmwareVersion);
        break;
    case ReadBatteryCode:
        answerParts(code, m_batteryCode);
        break;
    case ReadModelCode:
        answerParts(code, m_modelCode);
        break;
    case WriteBatteryCode:
    case WriteModelCode: {
        const CommandCodec::Part part = CommandCodec::partOf(code, data);
        if (part.number < 1 || part.number > CodeParts)
            break;
        QByteArray &pending = m_codeBeingWritten[code - WriteBatteryCode];
        if (part.number == 1)
            pending = QByteArray(CodeParts * CodePartSize, '\0');
        if (pending.size() != CodeParts * CodePartSize)
            break;
        pending.replace((part.number - 1) * CodePartSize, CodePartSize, part.bytes);
        if (part.number == CodeParts) {
            (code == WriteBatteryCode ? m_batteryCode : m_modelCode) = pending.left(CodeSize);
            pending.clear();
            sendReply(CommandCodec::acknowledgement(code, m_devId));
        }
        break;
    }
    case ReadParameter: {
        const quint8 paramId = CommandCodec::paramIdOf(data);
        sendReply(CommandCodec::parameterReply(m_devId, paramId, m_parameterWire.value(paramId)));
        break;
    }
    case WriteParameter: {
        if (data.size() < CommandCodec::WriteParameterSize)
            break;
        const CommandCodec::Parameter parameter = CommandCodec::parameterOf(data);
        if (parameter.paramId == ClearEnergyParamId)
            m_pack.clearHistoryEnergy();
        else
            writeParameter(parameter.paramId, parameter.wire);
        sendReply(CommandCodec::parameterAcknowledgement(m_devId, parameter.paramId));
        break;
    }
    case HistoryCount:
        sendReply(CommandCodec::historyCountReply(m_devId, quint32(m_history.count())));
        break;
    case HistoryTransfer:
        if (CommandCodec::transferSubCommandOf(data) == TransferStart) {
            m_transferNext = 0;
            m_transferTimer->start();
        } else if (CommandCodec::transferSubCommandOf(data) == TransferStop) {
            m_transferNext = -1;
            m_transferTimer->stop();
            sendReply(CommandCodec::transferStopAcknowledgement(m_devId));
        }
        break;
    case ClearHistory:
        m_history.clear();
        sendReply(CommandCodec::acknowledgement(code, m_devId));
        break;
    default:
        break;
    }
}

void SimBattery::answerParts(quint8 code, const QByteArray &text)
{
    for (int part = 1; part <= CommandCodec::textLayoutOf(code).parts; ++part)
        sendReply(CommandCodec::textPart(code, m_devId, text, part));
}

void SimBattery::writeParameter(quint8 paramId, quint32 wireValue)
{
    if (!m_parameterWire.contains(paramId))
        return;
    m_parameterWire[paramId] = wireValue;
    applyLimits();
}

void SimBattery::applyLimits()
{
    // The twelve protection groups of the parameter set, six rows each: ALARM, ALM Recover,
    // ALM Delay, PROTECTION, PROT Recover, PROT Delay.
    const QList<ThresholdSettingItem> &items = m_parameters.items();
    for (int group = 0; group < PackModel::GroupCount; ++group) {
        const auto display = [&](int row) {
            const ThresholdSettingItem &item = items.at(group * 6 + row);
            return double(CommandCodec::displayValue(
                m_parameterWire.value(quint8(item.paramId)), item.offset));
        };
        if (items.size() < (group + 1) * 6)
            return;
        m_pack.setLimits(
            PackModel::Group(group), { display(0), display(1), display(3), display(4) });
    }
}

void SimBattery::OnTransferTick()
{
    const bool cut
        = m_options.appliesTo(m_devId) && m_options.history.cutsTransferAt(m_transferNext);
    if (m_transferNext < 0 || m_transferNext >= m_history.count() || cut) {
        if (m_transferNext >= 0)
            m_options.history.dump(m_devId, m_history);
        m_transferTimer->stop();
        m_transferNext = -1;
        return;
    }
    if (m_transmitRoom && m_transmitRoom() < LastHistorySequence + 1)
        return; // the record waits for the next tick
    const int index = m_transferNext++;
    HistoryRecord logged = m_history.record(index);
    const bool faulty = m_options.appliesTo(m_devId);
    const HistoryOptions &history = m_options.history;
    if (faulty && history.foreignRecord == index)
        logged.devId = quint8(history.foreignDevId);
    QByteArray record = HistoryRecordCodec::encode(logged);
    if (faulty && m_options.badCrc > 0
        && QRandomGenerator::global()->generateDouble() < m_options.badCrc)
        record[record.size() - 1] = char(record.at(record.size() - 1) ^ 0x5A);

    ++m_replyGroup;
    QList<CanFrame> frames = CommandCodec::historyFrames(m_devId, record);
    if (faulty && history.missingFrameRecord == index)
        frames.removeAt(history.missingFrameSequence);
    for (const CanFrame &frame : qAsConst(frames))
        sendReply(frame);
}
