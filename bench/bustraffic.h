#pragma once

#include "signals/batterybank.h"
#include "signals/framekey.h"
#include "signals/signalindex.h"
#include "signals/signalvalues.h"

#include <QHash>
#include <QVector>

// What a full bus of batteries broadcasts, built with the catalogue's encoder, for the
// benchmarks.
namespace BusTraffic {

constexpr int Batteries = BatteryBank::DeviceCount;
// Rounds of the full broadcast cycle with changing contents, so the decoder never sees one
// payload over and over.
constexpr int Rounds = 8;

struct Frame
{
    ulong id;
    QByteArray payload;
};

// What a full bank of batteries broadcasts: every frame kind from every battery, with plausible
// values that move from round to round, the life counter among them.
inline QVector<Frame> busTraffic(const AbstractSignalValue &store)
{
    QVector<Frame> frames;
    for (int round = 0; round < Rounds; ++round) {
        for (int devId = 0; devId < Batteries; ++devId) {
            const double wobble = (round * 7 + devId) % 10;
            for (quint32 key : store.frameKeys()) {
                QHash<int, double> values;
                for (const SignalDefinition &definition : store.definitions(key)) {
                    double value = 0.0;
                    switch (definition.index) {
                    case Signal::SumVolt:
                        value = 52.0 + wobble / 10;
                        break;
                    case Signal::Curr:
                        value = -20.0 + wobble;
                        break;
                    case Signal::SOC:
                    case Signal::SOH:
                        value = 90.0 + wobble;
                        break;
                    case Signal::SysStatus:
                        value = round % 3;
                        break;
                    case Signal::LifeCounter:
                        value = round;
                        break;
                    case Signal::RtcYear:
                        value = 2024;
                        break;
                    default:
                        if (definition.kind == SignalKind::Real)
                            value = definition.index >= Signal::Volt1 ? 3.3 + wobble / 1000
                                                                      : 10.0 + wobble;
                        else
                            value = definition.offset
                                + (int(wobble) & ((1 << qMin(definition.length, 8)) - 1));
                        break;
                    }
                    values.insert(definition.index, value);
                }
                frames.append(
                    { ulong(FrameKey::identifier(key, quint8(devId))), store.encode(key, values) });
            }
        }
    }
    return frames;
}

} // namespace BusTraffic
