// The CAN boot loaders' frames: every field through encoder and decoder, and frames written by
// hand from the protocol.

#include "upgrade/canbootframe.h"

#include <QtTest>

using Step = CanBootFrame::Step;
Q_DECLARE_METATYPE(Step)

class TestCanBootFrame : public QObject
{
    Q_OBJECT

private slots:
    void roundTrip_data();
    void roundTrip();
    void handWrittenFrames();
};

void TestCanBootFrame::roundTrip_data()
{
    QTest::addColumn<Step>("step");
    QTest::addColumn<quint8>("devId");
    QTest::newRow("request, battery 0") << CanBootFrame::Request << quint8(0);
    QTest::newRow("inquire, battery 7") << CanBootFrame::Inquire << quint8(7);
    QTest::newRow("erase, battery 13") << CanBootFrame::Erase << quint8(13);
    QTest::newRow("data, battery 20") << CanBootFrame::Data << quint8(20);
    QTest::newRow("finish, battery 27") << CanBootFrame::Finish << quint8(27);
}

void TestCanBootFrame::roundTrip()
{
    QFETCH(Step, step);
    QFETCH(quint8, devId);
    QCOMPARE(CanBootFrame::stepOfHostFrame(CanBootFrame::hostId(step)), int(step));
    QVERIFY(CanBootFrame::isHostFrame(CanBootFrame::hostId(step)));
    const quint32 answerId = CanBootFrame::answerId(step, devId);
    QVERIFY(CanBootFrame::isAnswer(answerId));
    QCOMPARE(CanBootFrame::stepOfAnswer(answerId), step);
    QCOMPARE(CanBootFrame::senderOf(answerId), devId);

    const quint32 chkSum = 0x01000001u * devId + quint32(step);
    QCOMPARE(CanBootFrame::chkSumOf(CanBootFrame::inquireData(chkSum)), chkSum);
    const QString line = QString(devId + 1, QLatin1Char('0' + int(step)));
    QCOMPARE(CanBootFrame::slicesOf(line).join(), line.toLatin1());
    QCOMPARE(CanBootFrame::slicesOf(line).size(), CanBootFrame::sliceCount(line));
    const QByteArray version = QByteArray("ZK10") + char(devId);
    QVERIFY(CanBootFrame::carriesBootVersion(CanBootFrame::bootAnswer(version), version));
    QVERIFY(CanBootFrame::isAccepted(CanBootFrame::bootAnswer(version)));
    QVERIFY(!CanBootFrame::isAccepted(CanBootFrame::answer(CanBootFrame::Refused)));
}

void TestCanBootFrame::handWrittenFrames()
{
    QCOMPARE(CanBootFrame::hostId(CanBootFrame::Request), 0x1FF00u);
    QCOMPARE(CanBootFrame::hostId(CanBootFrame::Finish), 0x50000u);
    QCOMPARE(
        CanBootFrame::inquireData(0x12345678).toHex(' '), QByteArray("00 00 00 00 12 34 56 78"));
    QCOMPARE(CanBootFrame::answerId(CanBootFrame::Request, 3), 0x10003u);
    QCOMPARE(CanBootFrame::bootAnswer("ZK100\x01\x02").toHex(' '),
        QByteArray("55 5a 4b 31 30 30 00 00"));
    QCOMPARE(CanBootFrame::slicesOf(QStringLiteral("S1050004AA")),
        QList<QByteArray>({ "S1050004", "AA" }));
    // Not the host's: the low 16 bits of steps 2 to 5 are 0; nor an answer: step 0 or 6.
    QVERIFY(!CanBootFrame::isHostFrame(0x20003));
    QVERIFY(!CanBootFrame::isHostFrame(0x10000));
    QVERIFY(!CanBootFrame::isAnswer(0xFF03));
    QVERIFY(!CanBootFrame::isAnswer(0x60003));
    // A boot version shorter than 5 bytes never matches.
    QVERIFY(!CanBootFrame::carriesBootVersion(CanBootFrame::bootAnswer("ZK1"), "ZK1"));
}

QTEST_GUILESS_MAIN(TestCanBootFrame)
#include "tst_canbootframe.moc"
