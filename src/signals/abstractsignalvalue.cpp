#include "abstractsignalvalue.h"

#include "signals/framekey.h"
#include "signals/signalindex.h"

#include <QtEndian>

#include <cmath>

namespace {

constexpr SignalKind Real = SignalKind::Real;
constexpr SignalKind Int = SignalKind::Integer;

// 0xFFFFFFFF, the descriptive maximum of the 32-bit signals, as the int field holds it.
constexpr int Full32 = -1;

// Unit texts, translated when the catalogue is built (after start-up installed the language).
const char *const NoUnit = "";
const char *const Volt = QT_TRANSLATE_NOOP("AbstractSignalValue", "V");
const char *const Ampere = QT_TRANSLATE_NOOP("AbstractSignalValue", "A");
const char *const Percent = QT_TRANSLATE_NOOP("AbstractSignalValue", "%");
const char *const AmpereHour = QT_TRANSLATE_NOOP("AbstractSignalValue", "Ah");
const char *const Celsius = QT_TRANSLATE_NOOP("AbstractSignalValue", "℃");
const char *const Hours = QT_TRANSLATE_NOOP("AbstractSignalValue", "hours");

struct Row
{
    quint32 frameKey;
    Signal::Index index;
    int start;
    int length;
    int minimum;
    int maximum;
    SignalKind kind;
    float factor;
    int offset;
    const char *unit;
};

// Signals 0 to 105, frame by frame; the rest follow rules and are added in buildCatalogue().
// start is the least significant bit (see the picture in the header): "bytes 0-1" is start 8.
// clang-format off
const Row FixedRows[] = {
    { FrameKey::PackStatus, Signal::SumVolt,       8, 16,    0, 100, Real, 0.1f,    0, Volt },
    { FrameKey::PackStatus, Signal::Curr,         24, 16, -300, 300, Real, 0.1f, -300, Ampere },
    { FrameKey::PackStatus, Signal::SOC,          46, 10,    0, 100, Real, 0.1f,    0, Percent },
    { FrameKey::PackStatus, Signal::SOH,          52, 10,    0, 100, Real, 0.1f,    0, NoUnit },
    { FrameKey::PackStatus, Signal::Frame0Value4, 58, 10,    0, 100, Real, 0.1f,    0, NoUnit },
    { FrameKey::PackStatus, Signal::SysStatus,    56,  2,    0,   3, Int,  1.0f,    0, NoUnit },

    { FrameKey::AlarmLevels, Signal::AlarmLevel6,        0, 2, 0, 2, Int, 1.0f, 0, NoUnit },
    { FrameKey::AlarmLevels, Signal::ChargeOverCurr,     2, 2, 0, 2, Int, 1.0f, 0, NoUnit },
    { FrameKey::AlarmLevels, Signal::DischargeOverCurr,  4, 2, 0, 2, Int, 1.0f, 0, NoUnit },
    { FrameKey::AlarmLevels, Signal::ChargeHiTemp,       6, 2, 0, 2, Int, 1.0f, 0, NoUnit },
    { FrameKey::AlarmLevels, Signal::DischargeHiTemp,    8, 2, 0, 2, Int, 1.0f, 0, NoUnit },
    { FrameKey::AlarmLevels, Signal::ChargeLoTemp,      10, 2, 0, 2, Int, 1.0f, 0, NoUnit },
    { FrameKey::AlarmLevels, Signal::DischargeLoTemp,   12, 2, 0, 2, Int, 1.0f, 0, NoUnit },
    { FrameKey::AlarmLevels, Signal::CellDiffVolt,      14, 2, 0, 2, Int, 1.0f, 0, NoUnit },
    { FrameKey::AlarmLevels, Signal::DiffTemp,          16, 2, 0, 2, Int, 1.0f, 0, NoUnit },
    { FrameKey::AlarmLevels, Signal::AlarmLevel15,      18, 2, 0, 2, Int, 1.0f, 0, NoUnit },
    { FrameKey::AlarmLevels, Signal::CellOverVolt,      20, 2, 0, 2, Int, 1.0f, 0, NoUnit },
    { FrameKey::AlarmLevels, Signal::CellUnderVolt,     22, 2, 0, 2, Int, 1.0f, 0, NoUnit },
    { FrameKey::AlarmLevels, Signal::AlarmLevel18,      24, 2, 0, 2, Int, 1.0f, 0, NoUnit },
    { FrameKey::AlarmLevels, Signal::AlarmLevel19,      26, 2, 0, 2, Int, 1.0f, 0, NoUnit },
    { FrameKey::AlarmLevels, Signal::AlarmLevel20,      28, 2, 0, 2, Int, 1.0f, 0, NoUnit },
    { FrameKey::AlarmLevels, Signal::AlarmLevel21,      44, 2, 0, 2, Int, 1.0f, 0, NoUnit },
    { FrameKey::AlarmLevels, Signal::PackOverVolt,      46, 2, 0, 2, Int, 1.0f, 0, NoUnit },
    { FrameKey::AlarmLevels, Signal::PackUnderVolt,     48, 2, 0, 2, Int, 1.0f, 0, NoUnit },
    { FrameKey::AlarmLevels, Signal::AlarmLevel24,      50, 2, 0, 2, Int, 1.0f, 0, NoUnit },

    { FrameKey::Faults, Signal::FaultByte0,               0, 8, 0, 255, Int, 1.0f, 0, NoUnit },
    { FrameKey::Faults, Signal::FaultByte1,               8, 8, 0, 255, Int, 1.0f, 0, NoUnit },
    { FrameKey::Faults, Signal::AfeOv,                   16, 1, 0,   1, Int, 1.0f, 0, NoUnit },
    { FrameKey::Faults, Signal::AfeUv,                   17, 1, 0,   1, Int, 1.0f, 0, NoUnit },
    { FrameKey::Faults, Signal::FaultFlag29,             18, 1, 0,   1, Int, 1.0f, 0, NoUnit },
    { FrameKey::Faults, Signal::FaultFlag30,             19, 1, 0,   1, Int, 1.0f, 0, NoUnit },
    { FrameKey::Faults, Signal::FaultFlag31,             20, 1, 0,   1, Int, 1.0f, 0, NoUnit },
    { FrameKey::Faults, Signal::FaultFlag32,             21, 1, 0,   1, Int, 1.0f, 0, NoUnit },
    { FrameKey::Faults, Signal::FaultFlag33,             22, 1, 0,   1, Int, 1.0f, 0, NoUnit },
    { FrameKey::Faults, Signal::DuplicateSlaveAddrError, 24, 1, 0,   1, Int, 1.0f, 0, NoUnit },
    { FrameKey::Faults, Signal::InterCanCommunError,     25, 1, 0,   1, Int, 1.0f, 0, NoUnit },
    { FrameKey::Faults, Signal::ExterCanCommunError,     26, 1, 0,   1, Int, 1.0f, 0, NoUnit },
    { FrameKey::Faults, Signal::Rs485CommunicationError, 27, 1, 0,   1, Int, 1.0f, 0, NoUnit },
    { FrameKey::Faults, Signal::AFECommunicationError,   28, 1, 0,   1, Int, 1.0f, 0, NoUnit },
    { FrameKey::Faults, Signal::FaultFlag39,             29, 1, 0,   1, Int, 1.0f, 0, NoUnit },
    { FrameKey::Faults, Signal::VoltageDetectError,      32, 1, 0,   1, Int, 1.0f, 0, NoUnit },
    { FrameKey::Faults, Signal::TemperatureDetectError,  33, 1, 0,   1, Int, 1.0f, 0, NoUnit },
    { FrameKey::Faults, Signal::CellVoltageWireBreak,    34, 1, 0,   1, Int, 1.0f, 0, NoUnit },
    { FrameKey::Faults, Signal::TempWireBreak,           35, 1, 0,   1, Int, 1.0f, 0, NoUnit },
    { FrameKey::Faults, Signal::FaultFlag44,             40, 1, 0,   1, Int, 1.0f, 0, NoUnit },
    { FrameKey::Faults, Signal::FaultFlag45,             41, 1, 0,   1, Int, 1.0f, 0, NoUnit },
    { FrameKey::Faults, Signal::FaultFlag46,             42, 1, 0,   1, Int, 1.0f, 0, NoUnit },
    { FrameKey::Faults, Signal::FaultFlag47,             43, 1, 0,   1, Int, 1.0f, 0, NoUnit },
    { FrameKey::Faults, Signal::FaultFlag48,             44, 1, 0,   1, Int, 1.0f, 0, NoUnit },

    { FrameKey::Relays, Signal::Flag49,          0, 1, 0,   1, Int, 1.0f, 0, NoUnit },
    { FrameKey::Relays, Signal::Flag50,          1, 1, 0,   1, Int, 1.0f, 0, NoUnit },
    { FrameKey::Relays, Signal::Flag51,          2, 1, 0,   1, Int, 1.0f, 0, NoUnit },
    { FrameKey::Relays, Signal::Flag52,          3, 1, 0,   1, Int, 1.0f, 0, NoUnit },
    { FrameKey::Relays, Signal::Flag53,          4, 1, 0,   1, Int, 1.0f, 0, NoUnit },
    { FrameKey::Relays, Signal::Flag54,          5, 1, 0,   1, Int, 1.0f, 0, NoUnit },
    { FrameKey::Relays, Signal::Flag55,          6, 1, 0,   1, Int, 1.0f, 0, NoUnit },
    { FrameKey::Relays, Signal::Flag56,          7, 1, 0,   1, Int, 1.0f, 0, NoUnit },
    { FrameKey::Relays, Signal::Main2ndRelay,   16, 1, 0,   1, Int, 1.0f, 0, NoUnit },
    { FrameKey::Relays, Signal::ChargeRelay,    17, 1, 0,   1, Int, 1.0f, 0, NoUnit },
    { FrameKey::Relays, Signal::DischargeRelay, 18, 1, 0,   1, Int, 1.0f, 0, NoUnit },
    { FrameKey::Relays, Signal::PrechargeRelay, 19, 1, 0,   1, Int, 1.0f, 0, NoUnit },
    { FrameKey::Relays, Signal::PosRelay,       20, 1, 0,   1, Int, 1.0f, 0, NoUnit },
    { FrameKey::Relays, Signal::Byte62,         48, 8, 0, 255, Int, 1.0f, 0, NoUnit },

    { FrameKey::Capacity, Signal::RemainCapacity, 8, 16, 0, 65535, Real, 0.01f, 0, AmpereHour },

    { FrameKey::TempExtremes, Signal::MaxCellT,     0, 8, -40, 200, Int, 1.0f, -40, Celsius },
    { FrameKey::TempExtremes, Signal::MaxCellTNo,   8, 8,   1, 254, Int, 1.0f,   0, NoUnit },
    { FrameKey::TempExtremes, Signal::MinCellT,    16, 8, -40, 200, Int, 1.0f, -40, Celsius },
    { FrameKey::TempExtremes, Signal::MinCellTNo,  24, 8,   1, 254, Int, 1.0f,   0, NoUnit },
    { FrameKey::TempExtremes, Signal::TempValue68, 32, 8,   0, 254, Int, 1.0f,   0, Celsius },

    { FrameKey::CellVoltExtremes, Signal::MaxCellV,    8, 16, 0,   5, Real, 0.001f, 0, Volt },
    { FrameKey::CellVoltExtremes, Signal::MaxCellVNo, 16,  8, 1, 254, Int,  1.0f,   0, NoUnit },
    { FrameKey::CellVoltExtremes, Signal::MinCellV,   32, 16, 0,   5, Real, 0.001f, 0, Volt },
    { FrameKey::CellVoltExtremes, Signal::MinCellVNo, 40,  8, 1, 254, Int,  1.0f,   0, NoUnit },
    { FrameKey::CellVoltExtremes, Signal::DiffVolt,   56, 16, 0,   5, Real, 0.001f, 0, Volt },

    { FrameKey::PackInfo, Signal::Voltage74,      8, 16, 0, 100, Real, 0.1f,  0, Volt },
    { FrameKey::PackInfo, Signal::RatedCapacity, 24, 16, 0, 655, Real, 0.01f, 0, AmpereHour },
    { FrameKey::PackInfo, Signal::Count76,       32,  8, 0,  32, Int,  1.0f,  0, NoUnit },
    { FrameKey::PackInfo, Signal::Byte77,        40,  8, 0, 255, Int,  1.0f,  0, NoUnit },
    { FrameKey::PackInfo, Signal::LifeCounter,   56,  8, 0, 255, Int,  1.0f,  0, NoUnit },

    { FrameKey::Clock, Signal::RtcYear,    0,  8, 20,   255, Int, 1.0f, 2000, NoUnit },
    { FrameKey::Clock, Signal::RtcMonth,   8,  8,  1,    12, Int, 1.0f,    0, NoUnit },
    { FrameKey::Clock, Signal::RtcDay,    16,  8,  1,    31, Int, 1.0f,    0, NoUnit },
    { FrameKey::Clock, Signal::RtcHour,   24,  8,  0,    24, Int, 1.0f,    0, NoUnit },
    { FrameKey::Clock, Signal::RtcMinute, 32,  8,  0,    60, Int, 1.0f,    0, NoUnit },
    { FrameKey::Clock, Signal::RtcSecond, 40,  8,  0,    60, Int, 1.0f,    0, NoUnit },
    { FrameKey::Clock, Signal::Word85,    56, 16,  0, 65535, Int, 1.0f,    0, NoUnit },

    { FrameKey::Values32, Signal::Value86, 24, 32, 0, Full32, Real, 0.001f, 0, NoUnit },
    { FrameKey::Values32, Signal::Value87, 56, 32, 0, Full32, Real, 0.001f, 0, NoUnit },

    { FrameKey::Date, Signal::DateYear88,   8, 16, 20, 255, Int, 1.0f, 2000, NoUnit },
    { FrameKey::Date, Signal::DateMonth89, 24, 16,  1,  12, Int, 1.0f,    0, NoUnit },
    { FrameKey::Date, Signal::DateDay90,   40, 16,  1,  31, Int, 1.0f,    0, NoUnit },
    { FrameKey::Date, Signal::Word91,      56, 16,  0, 255, Int, 1.0f,    0, NoUnit },

    { FrameKey::LifetimeTotals, Signal::Total92,              24, 32, 0, Full32, Int, 1.0f, 0, NoUnit },
    { FrameKey::LifetimeTotals, Signal::TotalDischargeEnergy, 56, 32, 0, Full32, Int, 1.0f, 0, NoUnit },

    { FrameKey::LifetimeCounts, Signal::StatCount1,  8, 16, 0, 65535, Int, 1.0f, 0, NoUnit },
    { FrameKey::LifetimeCounts, Signal::StatCount2, 24, 16, 0, 65535, Int, 1.0f, 0, NoUnit },
    { FrameKey::LifetimeCounts, Signal::StatCount3, 40, 16, 0, 65535, Int, 1.0f, 0, NoUnit },
    { FrameKey::LifetimeCounts, Signal::StatCount4, 56, 16, 0, 65535, Int, 1.0f, 0, NoUnit },

    { FrameKey::LifetimeHours1, Signal::StatHours1,  8, 16, 0, 65535, Real, 0.01f, 0, Hours },
    { FrameKey::LifetimeHours1, Signal::StatHours2, 24, 16, 0, 65535, Real, 0.01f, 0, Hours },
    { FrameKey::LifetimeHours1, Signal::StatHours3, 40, 16, 0, 65535, Real, 0.01f, 0, Hours },
    { FrameKey::LifetimeHours1, Signal::StatHours4, 56, 16, 0, 65535, Real, 0.01f, 0, Hours },

    { FrameKey::LifetimeHours2, Signal::StatHours5,  8, 16, 0, 65535, Real, 0.01f, 0, Hours },
    { FrameKey::LifetimeHours2, Signal::StatHours6, 24, 16, 0, 65535, Real, 0.01f, 0, Hours },
    { FrameKey::LifetimeHours2, Signal::StatHours7, 40, 16, 0, 65535, Real, 0.01f, 0, Hours },
    { FrameKey::LifetimeHours2, Signal::StatHours8, 56, 16, 0, 65535, Real, 0.01f, 0, Hours },
};
// clang-format on

const quint32 CellVoltFrames[] = {
    FrameKey::CellVolts1to4,
    FrameKey::CellVolts5to8,
    FrameKey::CellVolts9to12,
    FrameKey::CellVolts13to16,
    FrameKey::CellVolts17to20,
    FrameKey::CellVolts21to24,
    FrameKey::CellVolts25to28,
    FrameKey::CellVolts29to32,
};
constexpr int CellsPerFrame = 4;
constexpr int FlagsPerFrame = 32;
constexpr int TemperatureSensors = 8;

// Every real signal steps by 0.1, 0.01 or 0.001 and is shown with that many decimals.
int decimalsOf(const SignalDefinition &definition)
{
    if (definition.kind != SignalKind::Real)
        return 0;
    if (definition.factor == 0.1f)
        return 1;
    if (definition.factor == 0.01f)
        return 2;
    return 3;
}

quint64 maskOf(int length)
{
    return length >= 64 ? ~quint64(0) : (quint64(1) << length) - 1;
}

int shiftOf(int start)
{
    return 56 - 8 * (start / 8) + start % 8;
}

const QVector<SignalDefinition> &emptyDefinitions()
{
    static const QVector<SignalDefinition> empty;
    return empty;
}

} // namespace

AbstractSignalValue::AbstractSignalValue(QObject *parent)
    : QObject(parent)
{
    buildCatalogue();
}

AbstractSignalValue::~AbstractSignalValue() = default;

void AbstractSignalValue::buildCatalogue()
{
    m_units.reserve(Signal::Count);
    m_decimals.reserve(Signal::Count);

    QVector<SignalDefinition> frame;
    quint32 frameKey = 0;
    auto add = [&](quint32 key, int index, int start, int length, int minimum, int maximum,
                   SignalKind kind, float factor, int offset, const char *unit) {
        // Frames arrive whole and in order, so a new key closes the previous frame.
        if (key != frameKey && !frame.isEmpty()) {
            m_definitionsByFrame.insert(frameKey, frame);
            m_frameKeys.append(frameKey);
            frame.clear();
        }
        frameKey = key;
        // The index is the position: a table row out of order would silently renumber every
        // signal after it.
        Q_ASSERT(index == m_units.size());
        const SignalDefinition definition { index, start, length, minimum, maximum, kind, factor,
            offset };
        frame.append(definition);
        m_units.append(tr(unit));
        m_decimals.append(decimalsOf(definition));
    };

    for (const Row &row : FixedRows)
        add(row.frameKey, row.index, row.start, row.length, row.minimum, row.maximum, row.kind,
            row.factor, row.offset, row.unit);

    for (int k = 0; k < TemperatureSensors; ++k)
        add(FrameKey::Temperatures, Signal::Temp1 + k, 8 * k, 8, -40, 200, Int, 1.0f, -40, Celsius);

    for (int f = 0; f < int(sizeof(CellVoltFrames) / sizeof(CellVoltFrames[0])); ++f) {
        for (int j = 0; j < CellsPerFrame; ++j)
            add(CellVoltFrames[f], Signal::Volt1 + CellsPerFrame * f + j, 8 + 16 * j, 16, 0, 5,
                Real, 0.001f, 0, Volt);
    }

    // Flag b is bit b mod 8 of byte b div 8, which makes its start simply b.
    for (int b = 0; b < FlagsPerFrame; ++b)
        add(FrameKey::Flags5, Signal::Flags5Bit0 + b, b, 1, 0, 1, Int, 1.0f, 0, NoUnit);
    for (int b = 0; b < FlagsPerFrame; ++b)
        add(FrameKey::Flags6, Signal::Flags6Bit0 + b, b, 1, 0, 1, Int, 1.0f, 0, NoUnit);

    m_definitionsByFrame.insert(frameKey, frame);
    m_frameKeys.append(frameKey);

    Q_ASSERT(m_units.size() == Signal::Count);
    Q_ASSERT(m_frameKeys.size() == FrameKey::Count);
}

const QVector<SignalDefinition> &AbstractSignalValue::definitions(quint32 frameKey) const
{
    const auto it = m_definitionsByFrame.constFind(frameKey);
    return it == m_definitionsByFrame.cend() ? emptyDefinitions() : it.value();
}

QString AbstractSignalValue::unit(int index) const
{
    return m_units.value(index);
}

int AbstractSignalValue::decimals(int index) const
{
    return m_decimals.value(index, 0);
}

quint64 AbstractSignalValue::payloadWord(const QByteArray &payload)
{
    if (payload.size() >= PayloadSize)
        return qFromBigEndian<quint64>(payload.constData());
    quint64 word = 0;
    for (int i = 0; i < PayloadSize; ++i)
        word = (word << 8) | (i < payload.size() ? quint8(payload.at(i)) : 0u);
    return word;
}

quint32 AbstractSignalValue::extractRaw(quint64 word, const SignalDefinition &definition)
{
    return quint32((word >> shiftOf(definition.start)) & maskOf(definition.length));
}

double AbstractSignalValue::scale(quint32 raw, const SignalDefinition &definition)
{
    return double(raw) * double(definition.factor) + double(definition.offset);
}

quint32 AbstractSignalValue::unscale(double value, const SignalDefinition &definition)
{
    double scaled = (value - double(definition.offset)) / double(definition.factor);
    if (!std::isfinite(scaled))
        return 0;
    // Only the low 32 bits survive the mask; the clamp keeps the conversion defined.
    constexpr double limit = 9.0e18;
    scaled = qBound(-limit, scaled, limit);
    const qint64 raw = std::llround(scaled);
    return quint32(quint64(raw) & maskOf(definition.length));
}

quint64 AbstractSignalValue::insertRaw(
    quint64 word, const SignalDefinition &definition, quint32 raw)
{
    const int shift = shiftOf(definition.start);
    const quint64 field = maskOf(definition.length) << shift;
    return (word & ~field) | ((quint64(raw) << shift) & field);
}

QByteArray AbstractSignalValue::payloadBytes(quint64 word)
{
    QByteArray payload(PayloadSize, Qt::Uninitialized);
    qToBigEndian(word, payload.data());
    return payload;
}

QByteArray AbstractSignalValue::encode(quint32 frameKey, const QHash<int, double> &values) const
{
    quint64 word = 0;
    for (const SignalDefinition &definition : definitions(frameKey)) {
        const auto it = values.constFind(definition.index);
        if (it != values.cend())
            word = insertRaw(word, definition, unscale(it.value(), definition));
    }
    return payloadBytes(word);
}
