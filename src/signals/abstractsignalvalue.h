#pragma once

#include "signals/signaldefinition.h"

#include <QByteArray>
#include <QHash>
#include <QList>
#include <QObject>
#include <QStringList>
#include <QVariant>
#include <QVector>

// The catalogue of what the batteries broadcast: 26 frame kinds (FrameKey) carrying 210 signals
// (Signal::Index), built once in the constructor and never changed. The catalogue and the wire
// format live here together; SignalValues adds the per-battery store on top.
//
// Wire format (Motorola, big-endian). A signal is placed by the number of its least significant
// bit, start = byte * 8 + bit, with bit 0 the lowest bit of its byte:
//
//            bit:  7   6   5   4   3   2   1   0
//         byte 0:  7   6   5   4   3   2   1   0    most significant byte of W
//         byte 1: 15  14  13  12  11  10   9   8
//         byte 2: 23  22  21  20  19  18  17  16
//         byte 3: 31  30  29  28  27  26  25  24
//         byte 4: 39  38  37  36  35  34  33  32
//         byte 5: 47  46  45  44  43  42  41  40
//         byte 6: 55  54  53  52  51  50  49  48
//         byte 7: 63  62  61  60  59  58  57  56    least significant byte of W
//
// From its start a signal grows leftwards through its byte and then on into the byte above
// (lower byte number). SOC (start 46, length 10) is therefore, from its top bit down:
//
//         byte 4: [ 9   8   7   6   5   4   3   2 ]
//         byte 5: [ 1   0   .   .   .   .   .   . ]
//
// and a 16-bit field with start 8 is bytes 0-1 with byte 0 high. Reading the eight bytes as one
// big-endian word W, the start bit sits at bit 56 - 8 * (start / 8) + start % 8 of W, so a signal
// is one shift and one mask. Raw values are unsigned and never sign-extended.
//
// Scaling: value = double(raw) * double(factor) + offset. Reals are kept as that number rounded
// to float; integers are truncated towards zero and kept as their low 32 bits, unsigned.
//
// The decoder (payloadWord, extractRaw, scale) and the encoder (unscale, insertRaw,
// payloadBytes, encode) are written side by side as exact inverses, so the simulator and the
// tests build frames from the same description the store reads them with.
class AbstractSignalValue : public QObject
{
    Q_OBJECT
public:
    // Broadcast frames always carry eight bytes; further bytes are not part of any signal.
    static constexpr int PayloadSize = 8;

    ~AbstractSignalValue() override;

    // The frame keys in catalogue order.
    const QVector<quint32> &frameKeys() const { return m_frameKeys; }
    // The signals of a frame in catalogue order (the decoding order); empty for unknown keys.
    const QVector<SignalDefinition> &definitions(quint32 frameKey) const;
    // The translated unit of a signal; empty for an unknown index.
    QString unit(int index) const;
    // Decimals a value is shown with (1, 2, 3 for the 0.1, 0.01, 0.001 steps, 0 for integers);
    // 0 for an unknown index.
    int decimals(int index) const;
    // Both lists hold one entry per signal, indexed by Signal::Index.
    const QStringList &units() const { return m_units; }
    const QList<int> &decimalsList() const { return m_decimals; }

    // Decoder: the first eight bytes as the big-endian word W; missing bytes read as 0.
    static quint64 payloadWord(const QByteArray &payload);
    static quint32 extractRaw(quint64 word, const SignalDefinition &definition);
    static double scale(quint32 raw, const SignalDefinition &definition);

    // Encoder: raw = round((value - offset) / factor), cut to the signal's length (a negative
    // raw keeps its two's complement low bits, as a BMS would send it).
    static quint32 unscale(double value, const SignalDefinition &definition);
    static quint64 insertRaw(quint64 word, const SignalDefinition &definition, quint32 raw);
    static QByteArray payloadBytes(quint64 word);
    // The eight payload bytes of a frame carrying the given physical values, by signal index.
    // Signals of the frame that are not given are sent as raw 0; values for signals of other
    // frames are ignored.
    QByteArray encode(quint32 frameKey, const QHash<int, double> &values) const;

    virtual QVariant value(int devId, int index) const = 0;

public slots:
    virtual void OnNewCanFrame(ulong id, const QByteArray &data, ulong timeStamp) = 0;

protected:
    explicit AbstractSignalValue(QObject *parent = nullptr);

private:
    Q_DISABLE_COPY(AbstractSignalValue)

    void buildCatalogue();

    QHash<quint32, QVector<SignalDefinition>> m_definitionsByFrame;
    QVector<quint32> m_frameKeys;
    QStringList m_units;
    QList<int> m_decimals;
};
