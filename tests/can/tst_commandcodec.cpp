#include "can/commandcodec.h"
#include "can/historyassembler.h"
#include "can/partedfield.h"

#include <QtTest>

using namespace CommandProtocol;
namespace Codec = CommandCodec;

namespace {

// "18830280: 16 01 13 0a 14 1e": the identifier as 8 hex digits, then the data bytes.
QStringList text(const QList<CanFrame> &frames)
{
    QStringList lines;
    for (const CanFrame &frame : frames)
        lines.append(QStringLiteral("%1: %2")
                         .arg(frame.id, 8, 16, QLatin1Char('0'))
                         .arg(QString::fromLatin1(frame.data.toHex(' '))));
    return lines;
}

// A request from the host to devId with code, as the battery recognises it.
bool isRequestOf(const CanFrame &frame, quint8 code, quint8 devId)
{
    return Codec::isRequest(frame.id) && Codec::codeOf(frame.id) == code
        && Codec::destinationOf(frame.id) == devId;
}

// A reply of devId, 8 bytes, that the pattern the host waits with accepts.
bool isAwaitedReply(const CanFrame &frame, const ReplyPattern &awaited, quint8 devId)
{
    return Codec::senderOf(frame.id) == devId && frame.data.size() == 8
        && awaited.matches(frame.id, frame.data);
}

} // namespace

class TestCommandCodec : public QObject
{
    Q_OBJECT

private slots:
    void requestsDecodeToTheirArguments();
    void repliesDecodeToTheirValues();
    void handWrittenFrames_data();
    void handWrittenFrames();
};

void TestCommandCodec::requestsDecodeToTheirArguments()
{
    const QDateTime time(QDate(2031, 12, 31), QTime(23, 59, 58));
    for (quint8 devId : { 0, 13, 27 }) {
        const CanFrame relay = Codec::setRelay(devId, 3, 1);
        QVERIFY(isRequestOf(relay, SetRelay, devId));
        QCOMPARE(Codec::relaySwitchOf(relay.data).relay, quint8(3));
        QCOMPARE(Codec::relaySwitchOf(relay.data).on, quint8(1));

        const CanFrame newId = Codec::setDeviceId(devId);
        QVERIFY(isRequestOf(newId, SetDeviceId, SetDeviceIdDestination));
        QCOMPARE(Codec::newIdOf(newId.data), devId);

        const CanFrame setTime = Codec::setTime(devId, time);
        QVERIFY(isRequestOf(setTime, SetTime, devId));
        QCOMPARE(setTime.data.size(), Codec::SetTimeSize);
        QCOMPARE(Codec::clockOf(setTime.data), time);

        QVERIFY(isRequestOf(Codec::readTime(devId), ReadTime, devId));
        for (quint8 code : { ReadVersion, ReadBatteryCode, ReadModelCode })
            QVERIFY(isRequestOf(Codec::readText(code, devId), code, devId));

        for (quint8 code : { WriteBatteryCode, WriteModelCode }) {
            const QByteArray code32 = "QM20210520001-BATTERY-CODE-0032X";
            QByteArray written;
            for (const CanFrame &frame : Codec::writeCode(code, devId, code32 + "surplus")) {
                QVERIFY(isRequestOf(frame, code, devId));
                const Codec::Part part = Codec::partOf(code, frame.data);
                QCOMPARE(part.number, written.size() / CodePartSize + 1);
                written += part.bytes;
            }
            QCOMPARE(written, code32 + "surp");
        }

        const CanFrame readParameter = Codec::readParameter(devId, 0x2A);
        QVERIFY(isRequestOf(readParameter, ReadParameter, devId));
        QCOMPARE(Codec::paramIdOf(readParameter.data), quint8(0x2A));

        const CanFrame writeParameter = Codec::writeParameter(devId, 0x2A, 0x89ABCDEF);
        QVERIFY(isRequestOf(writeParameter, WriteParameter, devId));
        QCOMPARE(writeParameter.data.size(), Codec::WriteParameterSize);
        QCOMPARE(Codec::parameterOf(writeParameter.data).paramId, quint8(0x2A));
        QCOMPARE(Codec::parameterOf(writeParameter.data).wire, 0x89ABCDEFu);

        QVERIFY(isRequestOf(Codec::readHistoryCount(devId), HistoryCount, devId));
        for (quint8 subCommand : { TransferStart, TransferStop }) {
            const CanFrame transfer = Codec::historyTransfer(devId, subCommand);
            QVERIFY(isRequestOf(transfer, HistoryTransfer, devId));
            QCOMPARE(Codec::transferSubCommandOf(transfer.data), subCommand);
        }
        QVERIFY(isRequestOf(Codec::clearHistory(devId), ClearHistory, devId));
    }
    // Display values reach the registers and come back, negative ones and wrap-around included.
    for (quint32 offset : { 0u, 40u, 0xFFFFFFFFu })
        for (qint32 display : { -40, 0, 25, 2147483647 })
            QCOMPARE(Codec::displayValue(Codec::wireValue(display, offset), offset), display);
}

void TestCommandCodec::repliesDecodeToTheirValues()
{
    const QDateTime time(QDate(2022, 1, 29), QTime(10, 20, 30));
    QByteArray record(HistoryRecordSize, '\0');
    for (int i = 0; i < record.size(); ++i)
        record[i] = char(0xA0 ^ i);
    for (quint8 devId : { 0, 13, 27 }) {
        for (quint8 code : { SetDeviceId, SetTime, WriteBatteryCode, WriteModelCode, ClearHistory })
            QVERIFY(isAwaitedReply(Codec::acknowledgement(code, devId),
                Codec::awaitAcknowledgement(code, devId), devId));
        const CanFrame parameterAck = Codec::parameterAcknowledgement(devId, 0x2A);
        QVERIFY(
            isAwaitedReply(parameterAck, Codec::awaitParameterAcknowledgement(devId, 0x2A), devId));
        QVERIFY(!Codec::awaitParameterAcknowledgement(devId, 0x2B)
                     .matches(parameterAck.id, parameterAck.data));
        QVERIFY(isAwaitedReply(
            Codec::transferStopAcknowledgement(devId), Codec::awaitTransferStop(devId), devId));

        const CanFrame clock = Codec::timeReply(devId, time);
        QVERIFY(isAwaitedReply(clock, Codec::awaitReply(ReadTime, devId), devId));
        QCOMPARE(Codec::repliedClockOf(clock.data), time);

        for (quint8 code : { ReadVersion, ReadBatteryCode, ReadModelCode }) {
            const Codec::TextLayout layout = Codec::textLayoutOf(code);
            const QByteArray text
                = QByteArray("V2.01.07-B0917X-LFP16S-100AH-51V").left(layout.size);
            PartedField field(layout.size, layout.partSize, layout.parts);
            for (int part = 1; part <= layout.parts; ++part) {
                const CanFrame reply = Codec::textPart(code, devId, text, part);
                QCOMPARE(isAwaitedReply(reply, Codec::awaitLastTextPart(code, devId), devId),
                    part == layout.parts);
                const Codec::Part decoded = Codec::partOf(code, reply.data);
                QVERIFY(field.storePart(decoded.number, decoded.bytes));
            }
            QVERIFY(field.isComplete());
            QCOMPARE(field.bytes(), text);
        }

        const CanFrame parameter = Codec::parameterReply(devId, 0x2A, 0x89ABCDEF);
        QVERIFY(isAwaitedReply(parameter, Codec::awaitParameter(devId, 0x2A), devId));
        QCOMPARE(Codec::parameterOf(parameter.data).wire, 0x89ABCDEFu);

        const CanFrame count = Codec::historyCountReply(devId, 0x01020304);
        QVERIFY(isAwaitedReply(count, Codec::awaitReply(HistoryCount, devId), devId));
        QCOMPARE(Codec::historyCountOf(count.data), 0x01020304u);

        // The twelve frames of a record come back as the record, none of them taken for the
        // transfer's stop acknowledgement; what the assembler drops on the way it counts.
        QByteArray assembled;
        HistoryAssembler assembler([&](const QByteArray &done, quint16 missing) {
            QCOMPARE(missing, quint16(0));
            assembled = done;
        });
        const QList<CanFrame> frames = Codec::historyFrames(devId, record);
        for (const CanFrame &frame : frames.mid(5)) // the tail of an earlier transfer
            assembler.add(frame.data);
        for (const CanFrame &frame : frames) {
            QVERIFY(isAwaitedReply(frame, Codec::awaitReply(HistoryTransfer, devId), devId));
            QVERIFY(!Codec::awaitTransferStop(devId).matches(frame.id, frame.data));
            assembler.add(frame.data);
            assembler.add(frame.data); // delivered twice
        }
        QCOMPARE(assembled, record);
        QCOMPARE(assembler.tailFrames(), 7);
        QCOMPARE(assembler.duplicateFrames(), 12);
    }
}

void TestCommandCodec::handWrittenFrames_data()
{
    QTest::addColumn<QList<CanFrame>>("frames");
    QTest::addColumn<QStringList>("expected");
    // clang-format off
    QTest::newRow("setDeviceTime 2022-01-19 10:20:30")
        << QList<CanFrame> { Codec::setTime(2, QDateTime(QDate(2022, 1, 19), QTime(10, 20, 30))) }
        << QStringList { "18830280: 16 01 13 0a 14 1e" };
    QTest::newRow("writeParameter 25 with offset 40")
        << QList<CanFrame> { Codec::writeParameter(7, 9, Codec::wireValue(25, 40)) }
        << QStringList { "18f00780: 09 00 00 00 41" };
    QTest::newRow("writeBatteryCode QM20210520001")
        << Codec::writeCode(WriteBatteryCode, 6, "QM20210520001")
        << QStringList { "18a00680: 01 51 4d 32 30 32 31", "18a00680: 02 30 35 32 30 30 30",
                         "18a00680: 03 31 00 00 00 00 00", "18a00680: 04 00 00 00 00 00 00",
                         "18a00680: 05 00 00 00 00 00 00", "18a00680: 06 00 00 00 00 00 00" };
    QTest::newRow("the clock of battery 7")
        << QList<CanFrame> { Codec::timeReply(7, QDateTime(QDate(2023, 12, 31), QTime(23, 59, 58))) }
        << QStringList { "18e08007: 01 17 0c 1f 17 3b 3a 00" };
    QTest::newRow("the last frame of a history record carries one byte")
        << Codec::historyFrames(3, QByteArray(HistoryRecordSize, '\x5a')).mid(LastHistorySequence)
        << QStringList { "18458003: 0b 5a 00 00 00 00 00 00" };
    // clang-format on
}

void TestCommandCodec::handWrittenFrames()
{
    QFETCH(QList<CanFrame>, frames);
    QFETCH(QStringList, expected);
    QCOMPARE(text(frames), expected);
}

QTEST_GUILESS_MAIN(TestCommandCodec)
#include "tst_commandcodec.moc"
