#include "signals/abstractsignalvalue.h"
#include "signals/framekey.h"
#include "signals/signalindex.h"

#include "signalwalkrows.h"

#include <QtTest>

namespace {

// The catalogue and the wire format without the store: the base class cannot be instantiated.
class Catalogue : public AbstractSignalValue
{
public:
    QVariant value(int, int) const override { return QVariant(); }
    void OnNewCanFrame(ulong, const QByteArray &, ulong) override { }
};

struct Located
{
    quint32 frameKey = 0;
    SignalDefinition definition;
};

Located locate(const AbstractSignalValue &catalogue, int index)
{
    for (quint32 key : catalogue.frameKeys()) {
        for (const SignalDefinition &definition : catalogue.definitions(key)) {
            if (definition.index == index)
                return { key, definition };
        }
    }
    return {};
}

// The Motorola layout written the long way, bit by bit, independently of the word-and-shift
// code under test: raw bit 0 sits at the start bit; each further bit is one place up in the
// same byte, and past bit 7 it continues at bit 0 of the byte before.
QByteArray motorolaPayload(const SignalDefinition &definition, quint32 raw, bool *fits)
{
    QByteArray payload(8, '\0');
    *fits = true;
    for (int k = 0; k < definition.length; ++k) {
        const int bitInChain = definition.start % 8 + k;
        const int byte = definition.start / 8 - bitInChain / 8;
        const int bit = bitInChain % 8;
        if (byte < 0) {
            *fits = false;
            continue;
        }
        if (raw & (quint32(1) << k))
            payload[byte] = char(quint8(payload.at(byte)) | (1u << bit));
    }
    return payload;
}

QByteArray bytes(std::initializer_list<int> values)
{
    QByteArray result;
    for (int v : values)
        result.append(char(v));
    return result;
}

} // namespace

class TestAbstractSignalValue : public QObject
{
    Q_OBJECT

private slots:
    void frameKeysInCatalogueOrder();
    void indicesFollowCataloguePosition();
    void unknownKeyHasNoSignals();
    void definition_data();
    void definition();
    void unit_data();
    void unit();
    void unitsCount();
    void decimalsFollowFactor();
    void outOfRangeIndexHasNoUnitOrDecimals();
    void encodeReproducesReferencePayload();
    void encodeLeavesMissingSignalsZero();
    void encodeNegativeRawKeepsLowBits();
    void motorolaPlacement_data();
    void motorolaPlacement();
    void payloadWordUsesFirstEightBytes();
};

void TestAbstractSignalValue::frameKeysInCatalogueOrder()
{
    const Catalogue catalogue;
    const QVector<quint32> expected { 0x20080, 0x20180, 0x20280, 0x20480, 0x20580, 0x20780, 0x20980,
        0x20A80, 0x20B80, 0x20C80, 0x20D80, 0x20E80, 0x20F80, 0x21080, 0x21180, 0x30080, 0x40080,
        0x40180, 0x40280, 0x40380, 0x40480, 0x40580, 0x40680, 0x40780, 0x50080, 0x60080 };
    QCOMPARE(catalogue.frameKeys(), expected);
    QCOMPARE(catalogue.frameKeys().size(), FrameKey::Count);
}

void TestAbstractSignalValue::indicesFollowCataloguePosition()
{
    const Catalogue catalogue;
    int position = 0;
    for (quint32 key : catalogue.frameKeys()) {
        const QVector<SignalDefinition> &frame = catalogue.definitions(key);
        QVERIFY2(!frame.isEmpty(), qPrintable(QString::number(key, 16)));
        for (const SignalDefinition &definition : frame)
            QCOMPARE(definition.index, position++);
    }
    QCOMPARE(position, 210);
    QCOMPARE(int(Signal::Count), 210);
    QCOMPARE(catalogue.units().size(), 210);
    QCOMPARE(catalogue.decimalsList().size(), 210);
}

void TestAbstractSignalValue::unknownKeyHasNoSignals()
{
    const Catalogue catalogue;
    QVERIFY(catalogue.definitions(0x20380).isEmpty());
    QVERIFY(catalogue.definitions(0).isEmpty());
    // Keys are whole numbers: bits above the known key make another key.
    QVERIFY(catalogue.definitions(0x1020080).isEmpty());
    QCOMPARE(catalogue.encode(0x20380, { { Signal::SumVolt, 50.0 } }), QByteArray(8, '\0'));
}

void TestAbstractSignalValue::definition_data()
{
    QTest::addColumn<int>("index");
    QTest::addColumn<uint>("frameKey");
    QTest::addColumn<int>("start");
    QTest::addColumn<int>("length");
    QTest::addColumn<int>("kind");
    QTest::addColumn<float>("factor");
    QTest::addColumn<int>("offset");
    QTest::addColumn<int>("minimum");
    QTest::addColumn<int>("maximum");

    const int real = int(SignalKind::Real);
    const int integer = int(SignalKind::Integer);
    // clang-format off
    QTest::newRow("SumVolt bytes 0-1") << 0 << 0x20080u << 8 << 16 << real << 0.1f << 0 << 0 << 100;
    QTest::newRow("Curr offset -300") << 1 << 0x20080u << 24 << 16 << real << 0.1f << -300 << -300 << 300;
    QTest::newRow("SOC byte 4 and byte 5 bits 7-6") << 2 << 0x20080u << 46 << 10 << real << 0.1f << 0 << 0 << 100;
    QTest::newRow("SOH byte 5 bits 5-0 and byte 6 bits 7-4") << 3 << 0x20080u << 52 << 10 << real << 0.1f << 0 << 0 << 100;
    QTest::newRow("Frame0Value4 byte 6 bits 3-0 and byte 7 bits 7-2") << 4 << 0x20080u << 58 << 10 << real << 0.1f << 0 << 0 << 100;
    QTest::newRow("SysStatus byte 7 bits 1-0") << 5 << 0x20080u << 56 << 2 << integer << 1.0f << 0 << 0 << 3;
    QTest::newRow("AlarmLevel21 skips byte 4") << 21 << 0x20180u << 44 << 2 << integer << 1.0f << 0 << 0 << 2;
    QTest::newRow("PackUnderVolt byte 6 bits 1-0") << 23 << 0x20180u << 48 << 2 << integer << 1.0f << 0 << 0 << 2;
    QTest::newRow("AfeOv byte 2 bit 0") << 27 << 0x20280u << 16 << 1 << integer << 1.0f << 0 << 0 << 1;
    QTest::newRow("FaultFlag44 byte 5 bit 0") << 44 << 0x20280u << 40 << 1 << integer << 1.0f << 0 << 0 << 1;
    QTest::newRow("PosRelay byte 2 bit 4") << 61 << 0x20480u << 20 << 1 << integer << 1.0f << 0 << 0 << 1;
    QTest::newRow("Byte62 byte 6") << 62 << 0x20480u << 48 << 8 << integer << 1.0f << 0 << 0 << 255;
    QTest::newRow("RemainCapacity 0.01") << 63 << 0x20580u << 8 << 16 << real << 0.01f << 0 << 0 << 65535;
    QTest::newRow("MaxCellT offset -40") << 64 << 0x20780u << 0 << 8 << integer << 1.0f << -40 << -40 << 200;
    QTest::newRow("TempValue68 no offset") << 68 << 0x20780u << 32 << 8 << integer << 1.0f << 0 << 0 << 254;
    QTest::newRow("MinCellV bytes 3-4") << 71 << 0x20980u << 32 << 16 << real << 0.001f << 0 << 0 << 5;
    QTest::newRow("LifeCounter byte 7") << 78 << 0x20A80u << 56 << 8 << integer << 1.0f << 0 << 0 << 255;
    QTest::newRow("RtcYear offset 2000") << 79 << 0x20B80u << 0 << 8 << integer << 1.0f << 2000 << 20 << 255;
    QTest::newRow("Value87 bytes 4-7") << 87 << 0x20C80u << 56 << 32 << real << 0.001f << 0 << 0 << -1;
    QTest::newRow("DateYear88 16 bits") << 88 << 0x20D80u << 8 << 16 << integer << 1.0f << 2000 << 20 << 255;
    QTest::newRow("Total92 bytes 0-3") << 92 << 0x20E80u << 24 << 32 << integer << 1.0f << 0 << 0 << -1;
    QTest::newRow("StatHours8 bytes 6-7") << 105 << 0x21180u << 56 << 16 << real << 0.01f << 0 << 0 << 65535;
    QTest::newRow("Temp8 byte 7") << 113 << 0x30080u << 56 << 8 << integer << 1.0f << -40 << -40 << 200;
    QTest::newRow("Volt1 bytes 0-1") << 114 << 0x40080u << 8 << 16 << real << 0.001f << 0 << 0 << 5;
    QTest::newRow("Volt32 bytes 6-7 of 0x40780") << 145 << 0x40780u << 56 << 16 << real << 0.001f << 0 << 0 << 5;
    QTest::newRow("Flags5Bit31 byte 3 bit 7") << 177 << 0x50080u << 31 << 1 << integer << 1.0f << 0 << 0 << 1;
    QTest::newRow("Flags6Bit0 byte 0 bit 0") << 178 << 0x60080u << 0 << 1 << integer << 1.0f << 0 << 0 << 1;
    QTest::newRow("Flags6Bit31 byte 3 bit 7") << 209 << 0x60080u << 31 << 1 << integer << 1.0f << 0 << 0 << 1;
    // clang-format on
}

void TestAbstractSignalValue::definition()
{
    QFETCH(int, index);
    QFETCH(uint, frameKey);
    QFETCH(int, start);
    QFETCH(int, length);
    QFETCH(int, kind);
    QFETCH(float, factor);
    QFETCH(int, offset);
    QFETCH(int, minimum);
    QFETCH(int, maximum);

    const Catalogue catalogue;
    const Located found = locate(catalogue, index);
    QCOMPARE(found.frameKey, frameKey);
    QCOMPARE(found.definition.start, start);
    QCOMPARE(found.definition.length, length);
    QCOMPARE(int(found.definition.kind), kind);
    QVERIFY(found.definition.factor == factor);
    QCOMPARE(found.definition.offset, offset);
    QCOMPARE(found.definition.minimum, minimum);
    QCOMPARE(found.definition.maximum, maximum);
}

void TestAbstractSignalValue::unit_data()
{
    QTest::addColumn<int>("index");
    QTest::addColumn<QString>("unit");

    QTest::newRow("SumVolt V") << int(Signal::SumVolt) << "V";
    QTest::newRow("Curr A") << int(Signal::Curr) << "A";
    QTest::newRow("SOC %") << int(Signal::SOC) << "%";
    QTest::newRow("SOH none") << int(Signal::SOH) << "";
    QTest::newRow("RemainCapacity Ah") << int(Signal::RemainCapacity) << "Ah";
    QTest::newRow("RatedCapacity Ah") << int(Signal::RatedCapacity) << "Ah";
    QTest::newRow("MaxCellT degrees") << int(Signal::MaxCellT) << QStringLiteral("℃");
    QTest::newRow("MaxCellTNo none") << int(Signal::MaxCellTNo) << "";
    QTest::newRow("TempValue68 degrees") << int(Signal::TempValue68) << QStringLiteral("℃");
    QTest::newRow("Voltage74 V") << int(Signal::Voltage74) << "V";
    QTest::newRow("Value86 none") << int(Signal::Value86) << "";
    QTest::newRow("StatHours1 hours") << int(Signal::StatHours1) << "hours";
    QTest::newRow("StatCount1 none") << int(Signal::StatCount1) << "";
    QTest::newRow("Temp8 degrees") << int(Signal::Temp8) << QStringLiteral("℃");
    QTest::newRow("Volt32 V") << int(Signal::Volt32) << "V";
}

void TestAbstractSignalValue::unit()
{
    QFETCH(int, index);
    QFETCH(QString, unit);

    const Catalogue catalogue;
    QCOMPARE(catalogue.unit(index), unit);
    QCOMPARE(catalogue.units().at(index), unit);
}

void TestAbstractSignalValue::unitsCount()
{
    // V: pack and cell extremes, Voltage74 and the 32 cells; degrees: the three temperature
    // bytes and the eight sensors.
    const Catalogue catalogue;
    QMap<QString, int> counts;
    for (const QString &unit : catalogue.units())
        ++counts[unit];
    QMap<QString, int> expected;
    expected.insert("V", 37);
    expected.insert("A", 1);
    expected.insert("%", 1);
    expected.insert("Ah", 2);
    expected.insert(QStringLiteral("℃"), 11);
    expected.insert("hours", 8);
    expected.insert("", 150);
    QCOMPARE(counts, expected);
}

void TestAbstractSignalValue::decimalsFollowFactor()
{
    const Catalogue catalogue;
    QMap<int, int> counts;
    for (quint32 key : catalogue.frameKeys()) {
        for (const SignalDefinition &definition : catalogue.definitions(key)) {
            const int decimals = catalogue.decimals(definition.index);
            QCOMPARE(catalogue.decimalsList().at(definition.index), decimals);
            ++counts[decimals];
            if (definition.kind == SignalKind::Integer) {
                QVERIFY(definition.factor == 1.0f);
                QCOMPARE(decimals, 0);
            } else {
                QCOMPARE(int(definition.kind), int(SignalKind::Real));
                const float steps[] = { 0.1f, 0.01f, 0.001f };
                QVERIFY2(decimals >= 1 && decimals <= 3, qPrintable(QString::number(decimals)));
                QVERIFY(definition.factor == steps[decimals - 1]);
            }
        }
    }
    QMap<int, int> expected;
    expected.insert(0, 157);
    expected.insert(1, 6);
    expected.insert(2, 10);
    expected.insert(3, 37);
    QCOMPARE(counts, expected);
}

void TestAbstractSignalValue::outOfRangeIndexHasNoUnitOrDecimals()
{
    const Catalogue catalogue;
    QCOMPARE(catalogue.unit(210), QString());
    QCOMPARE(catalogue.unit(-1), QString());
    QCOMPARE(catalogue.decimals(210), 0);
    QCOMPARE(catalogue.decimals(-1), 0);
}

void TestAbstractSignalValue::encodeReproducesReferencePayload()
{
    // The reference status frame: SumVolt raw 4386, Curr raw 3000 (0 A), SOC and SOH raw 1000,
    // status 1.
    const Catalogue catalogue;
    const QByteArray payload = catalogue.encode(FrameKey::PackStatus,
        { { Signal::SumVolt, 438.6 }, { Signal::Curr, 0.0 }, { Signal::SOC, 100.0 },
            { Signal::SOH, 100.0 }, { Signal::Frame0Value4, 0.0 }, { Signal::SysStatus, 1.0 } });
    QCOMPARE(payload.toHex(' '), QByteArray("11 22 0b b8 fa 3e 80 01"));
}

void TestAbstractSignalValue::encodeLeavesMissingSignalsZero()
{
    const Catalogue catalogue;
    // A signal of another frame is not part of this payload.
    QCOMPARE(
        catalogue.encode(FrameKey::PackStatus, { { Signal::Temp1, 25.0 } }), QByteArray(8, '\0'));
    // Offsets are part of the wire value: raw 0 is -40 degrees, so 25 degrees is raw 65.
    QCOMPARE(catalogue.encode(FrameKey::Temperatures, { { Signal::Temp2, 25.0 } }).toHex(' '),
        QByteArray("00 41 00 00 00 00 00 00"));
}

void TestAbstractSignalValue::encodeNegativeRawKeepsLowBits()
{
    // -301 A is raw -10, which a 16-bit field carries as 0xFFF6 and the decoder reads back as
    // an unsigned raw: the wire has no signed fields.
    const Catalogue catalogue;
    const QByteArray payload = catalogue.encode(FrameKey::PackStatus, { { Signal::Curr, -301.0 } });
    QCOMPARE(payload.toHex(' '), QByteArray("00 00 ff f6 00 00 00 00"));
    const SignalDefinition curr = locate(catalogue, Signal::Curr).definition;
    QCOMPARE(AbstractSignalValue::extractRaw(AbstractSignalValue::payloadWord(payload), curr),
        quint32(0xFFF6));
}

void TestAbstractSignalValue::motorolaPlacement_data()
{
    const Catalogue catalogue;
    addSignalWalkRows(catalogue);
}

void TestAbstractSignalValue::motorolaPlacement()
{
    QFETCH(int, index);
    QFETCH(quint32, raw);

    const Catalogue catalogue;
    const Located found = locate(catalogue, index);
    const SignalDefinition &definition = found.definition;

    bool fits = false;
    const QByteArray expected = motorolaPayload(definition, raw, &fits);
    QVERIFY2(fits, "the signal runs past byte 0");

    // Encoder: the physical value of this raw, as the decoder would compute it, must land on
    // exactly these bits.
    const double physical = double(raw) * double(definition.factor) + definition.offset;
    const QByteArray encoded = catalogue.encode(found.frameKey, { { index, physical } });
    QCOMPARE(encoded.toHex(' '), expected.toHex(' '));

    // Decoder: the same bits give the raw back, whatever surrounds them.
    QCOMPARE(
        AbstractSignalValue::extractRaw(AbstractSignalValue::payloadWord(expected), definition),
        raw);
    QByteArray surrounded = expected;
    bool unused = false;
    const QByteArray field = motorolaPayload(definition, 0xFFFFFFFFu, &unused);
    for (int i = 0; i < surrounded.size(); ++i)
        surrounded[i] = char(quint8(surrounded.at(i)) | (~quint8(field.at(i)) & 0xFF));
    QCOMPARE(
        AbstractSignalValue::extractRaw(AbstractSignalValue::payloadWord(surrounded), definition),
        raw);
}

void TestAbstractSignalValue::payloadWordUsesFirstEightBytes()
{
    QCOMPARE(AbstractSignalValue::payloadWord(bytes({ 1, 2, 3, 4, 5, 6, 7, 8, 9, 10 })),
        Q_UINT64_C(0x0102030405060708));
    // Missing bytes read as zero rather than past the end of the array.
    QCOMPARE(
        AbstractSignalValue::payloadWord(bytes({ 0xAB, 0xCD })), Q_UINT64_C(0xABCD000000000000));
    QCOMPARE(AbstractSignalValue::payloadBytes(Q_UINT64_C(0x0102030405060708)),
        bytes({ 1, 2, 3, 4, 5, 6, 7, 8 }));
}

QTEST_GUILESS_MAIN(TestAbstractSignalValue)
#include "tst_abstractsignalvalue.moc"
