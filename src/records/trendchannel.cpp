#include "trendchannel.h"

#include "signals/abstractsignalvalue.h"

#include <QVariant>

#include <limits>

namespace TrendChannel {

namespace {

constexpr std::array<Signal::Index, Count> Sources = { Signal::SumVolt, Signal::Curr, Signal::SOC,
    Signal::MaxCellV, Signal::MinCellV, Signal::MaxCellV, Signal::MaxCellT, Signal::MinCellT };

// The store holds reals as float and integers unsigned (a negative temperature wraps), and an
// int 0 for a signal that has not arrived.
float number(const QVariant &value)
{
    switch (value.userType()) {
    case QMetaType::Float:
        return value.toFloat();
    case QMetaType::UInt:
        return float(qint32(value.toUInt()));
    default:
        return std::numeric_limits<float>::quiet_NaN();
    }
}

} // namespace

Signal::Index signal(Id channel)
{
    return Sources[size_t(channel)];
}

Values read(const AbstractSignalValue &store, int devId)
{
    Values values {};
    for (int channel = 0; channel < Count; ++channel)
        values[size_t(channel)] = number(store.value(devId, Sources[size_t(channel)]));
    values[CellVoltageSpread] = values[MaxCellVoltage] - values[MinCellVoltage];
    return values;
}

} // namespace TrendChannel
