#include "log/crc16.h"
#include "upgrade/uartframe.h"
#include "upgrade/uartimage.h"

#include <QtTest>

using Kind = UartReceiveBuffer::Kind;
Q_DECLARE_METATYPE(UartReceiveBuffer::Kind)

// The serial upgrade's frame codec, receive buffer and image preparation, without a port.
class TestUartFrame : public QObject
{
    Q_OBJECT

private slots:
    void requestFrames_data();
    void requestFrames();
    void requestFieldsRoundTrip();
    void replies_data();
    void replies();
    void hexTextBreaksAfterEvery16thByte();

    void receiveBuffer_data();
    void receiveBuffer();
    void frameSplitAtEveryByteIsFoundOnce();

    void padding_data();
    void padding();
    void blocks_data();
    void blocks();
    void crcCoversImagesOf64KiBAndMore();
    void sendableSizes();
};

namespace {

QByteArray hex(const char *text)
{
    return QByteArray::fromHex(text);
}

// Everything the buffer reports for these reads, as kinds, with the frames it handed out.
QList<Kind> drain(UartReceiveBuffer &buffer, QList<QByteArray> *frames = nullptr)
{
    QList<Kind> kinds;
    for (auto item = buffer.next(); item.kind != UartReceiveBuffer::NeedMore;
         item = buffer.next()) {
        kinds.append(item.kind);
        if (frames && item.kind == UartReceiveBuffer::Frame)
            frames->append(item.frame);
    }
    return kinds;
}

} // namespace

void TestUartFrame::requestFrames_data()
{
    QTest::addColumn<int>("subCommand");
    QTest::addColumn<int>("argument");
    QTest::addColumn<QByteArray>("payload");
    QTest::addColumn<QByteArray>("frame");
    // The protocol's worked examples.
    QTest::newRow("upgrade request")
        << 1 << 0 << QByteArray() << hex("AA55005004010000 00268F0D0A");
    QTest::newRow("prepare") << 2 << 0 << QByteArray() << hex("AA55005004020000 00FA140D0A");
    // Written out by hand: the CRC covers 50, L and the body.
    const QByteArray crcPayload = hex("3412");
    const QByteArray crcBody = hex("500606000200") + crcPayload;
    const quint16 crc = Crc16::xmodem(crcBody);
    QTest::newRow("image CRC, little-endian fields") << 6 << 2 << crcPayload
                                                     << hex("AA5500") + crcBody
            + QByteArray(1, char(crc & 0xFF)) + QByteArray(1, char(crc >> 8)) + "\r\n";
}

void TestUartFrame::requestFrames()
{
    QFETCH(int, subCommand);
    QFETCH(int, argument);
    QFETCH(QByteArray, payload);
    QFETCH(QByteArray, frame);
    QCOMPARE(UartFrame::request(0x00, quint16(subCommand), quint16(argument), payload).toHex(' '),
        frame.toHex(' '));
}

void TestUartFrame::requestFieldsRoundTrip()
{
    QByteArray block(UartImage::BlockSize, '\0');
    for (int i = 0; i < block.size(); ++i)
        block[i] = char(i * 7);
    const QByteArray frame = UartFrame::request(0x00, UartFrame::FileData, 0x1234, block);
    QCOMPARE(frame.size(), 261); // the largest frame sent: 4 + 248 body bytes, 9 around them
    QCOMPARE(int(UartFrame::bodyLength(frame)), 252);
    QCOMPARE(int(UartFrame::subCommand(frame)), int(UartFrame::FileData));
    QCOMPARE(int(UartFrame::argument(frame)), 0x1234);
    QCOMPARE(UartFrame::payload(frame), block);
    UartReceiveBuffer buffer;
    buffer.append(frame);
    QList<QByteArray> frames;
    QCOMPARE(drain(buffer, &frames), QList<Kind> { UartReceiveBuffer::Frame });
    QCOMPARE(frames, QList<QByteArray> { frame });
}

void TestUartFrame::replies_data()
{
    QTest::addColumn<bool>("accepted");
    QTest::addColumn<int>("subCommand");
    QTest::addColumn<QByteArray>("tag");
    QTest::addColumn<QByteArray>("frame");
    // Written out by hand, the CRC computed apart from the program.
    QTest::newRow("version answered")
        << true << 1 << QByteArray("ZK100") << hex("AA550050070101 5A4B313030 B2D4 0D0A");
    QTest::newRow("start frame refused")
        << false << 3 << QByteArray() << hex("AA5500500200 03382B0D0A");
}

void TestUartFrame::replies()
{
    QFETCH(bool, accepted);
    QFETCH(int, subCommand);
    QFETCH(QByteArray, tag);
    QFETCH(QByteArray, frame);
    const QByteArray reply = UartFrame::reply(0x00, accepted, quint16(subCommand), tag);
    QCOMPARE(reply.toHex(' '), frame.toHex(' '));
    QCOMPARE(UartFrame::isAccepted(reply), accepted);
    if (!tag.isEmpty())
        QCOMPARE(UartFrame::revisionTag(reply), tag);
    QCOMPARE(
        UartFrame::fromLittleEndian16(UartFrame::littleEndian16(quint16(subCommand << 8 | 0x5A))),
        quint16(subCommand << 8 | 0x5A));
}

void TestUartFrame::hexTextBreaksAfterEvery16thByte()
{
    QCOMPARE(UartFrame::hexText(hex("AA550A")), QStringLiteral("AA 55 0A"));
    QCOMPARE(UartFrame::hexText(QByteArray(17, '\x01')),
        QStringLiteral("01 01 01 01 01 01 01 01 01 01 01 01 01 01 01 01\n01"));
    QCOMPARE(UartFrame::hexText(QByteArray(16, '\xff')).count(QLatin1Char('\n')), 0);
    QCOMPARE(UartFrame::hexText(QByteArray()), QString());
}

void TestUartFrame::receiveBuffer_data()
{
    QTest::addColumn<QList<QByteArray>>("reads");
    QTest::addColumn<QList<Kind>>("kinds");
    QTest::addColumn<int>("goodFrames");

    const QByteArray reply = UartFrame::build(0x00, hex("0101"));
    const QByteArray other = UartFrame::build(0x00, hex("01015A4B313030"));
    QByteArray badCrc = reply;
    badCrc[6] = char(badCrc.at(6) ^ 0x01);
    QByteArray badTrailer = reply;
    badTrailer[badTrailer.size() - 1] = 'X';
    const Kind frame = UartReceiveBuffer::Frame;
    const Kind noise = UartReceiveBuffer::Noise;
    const Kind crc = UartReceiveBuffer::CrcError;

    QTest::newRow("two frames in one read")
        << QList<QByteArray> { reply + other } << QList<Kind> { frame, frame } << 2;
    QTest::newRow("a frame split over two reads")
        << QList<QByteArray> { reply.left(6), reply.mid(6) } << QList<Kind> { frame } << 1;
    QTest::newRow("noise before a reply")
        << QList<QByteArray> { hex("00FF13") + reply } << QList<Kind> { noise, frame } << 1;
    QTest::newRow("noise with a lone AA before a reply")
        << QList<QByteArray> { hex("00AA13AA") + reply } << QList<Kind> { noise, frame } << 1;
    QTest::newRow("a bad CRC followed by a good frame")
        << QList<QByteArray> { badCrc + other } << QList<Kind> { crc, noise, frame } << 1;
    QTest::newRow("a header claiming a long body, then a good frame")
        << QList<QByteArray> { hex("AA550050F0") + reply } << QList<Kind> { noise, frame } << 1;
    QTest::newRow("a bad trailer is dropped whole")
        << QList<QByteArray> { badTrailer + other }
        << QList<Kind> { UartReceiveBuffer::BadTrailer, frame } << 1;
    QTest::newRow("noise alone") << QList<QByteArray> { hex("0102030405060708090A") }
                                 << QList<Kind> { noise } << 0;
    QTest::newRow("an incomplete frame waits")
        << QList<QByteArray> { reply.left(reply.size() - 1) } << QList<Kind> {} << 0;
}

void TestUartFrame::receiveBuffer()
{
    QFETCH(QList<QByteArray>, reads);
    QFETCH(QList<Kind>, kinds);
    QFETCH(int, goodFrames);
    UartReceiveBuffer buffer;
    QList<Kind> reported;
    QList<QByteArray> frames;
    for (const QByteArray &read : qAsConst(reads)) {
        buffer.append(read);
        reported += drain(buffer, &frames);
    }
    QCOMPARE(reported, kinds);
    QCOMPARE(frames.size(), goodFrames);
    for (const QByteArray &frame : qAsConst(frames))
        QCOMPARE(quint8(frame.at(0)), UartFrame::Header0);
}

void TestUartFrame::frameSplitAtEveryByteIsFoundOnce()
{
    const QByteArray frame = UartFrame::request(0x00, UartFrame::StartFrame, 1, hex("AA55AA55"));
    UartReceiveBuffer buffer;
    QList<QByteArray> frames;
    QList<Kind> kinds;
    for (char byte : frame) {
        buffer.append(QByteArray(1, byte));
        kinds += drain(buffer, &frames);
    }
    QCOMPARE(kinds, QList<Kind> { UartReceiveBuffer::Frame });
    QCOMPARE(frames.value(0), frame);
    QVERIFY(buffer.isEmpty());
}

void TestUartFrame::padding_data()
{
    QTest::addColumn<int>("size");
    QTest::addColumn<int>("padded");
    QTest::newRow("1001 bytes get seven 0xFF") << 1001 << 1008;
    QTest::newRow("a multiple of 8 is left as it is") << 1000 << 1000;
    QTest::newRow("the 5-byte tag alone") << 5 << 8;
}

void TestUartFrame::padding()
{
    QFETCH(int, size);
    QFETCH(int, padded);
    const QByteArray bin(size, '\x11');
    const UartImage image(bin);
    QCOMPARE(image.size(), padded);
    QVERIFY(image.data().startsWith(bin));
    QCOMPARE(image.data().mid(size), QByteArray(padded - size, char(0xFF)));
    // The CRC covers the padding.
    QCOMPARE(image.crc(), Crc16::xmodem(image.data()));
    QCOMPARE(image.revisionTag(), bin.left(5));
}

void TestUartFrame::blocks_data()
{
    QTest::addColumn<int>("size");
    QTest::addColumn<int>("blockCount");
    QTest::addColumn<int>("lastBlockSize");
    QTest::newRow("744: three full blocks") << 744 << 3 << 248;
    QTest::newRow("1000: four full blocks and 8 bytes") << 1000 << 5 << 8;
    QTest::newRow("496: two full blocks") << 496 << 2 << 248;
    QTest::newRow("8: one short block") << 8 << 1 << 8;
}

void TestUartFrame::blocks()
{
    QFETCH(int, size);
    QFETCH(int, blockCount);
    QFETCH(int, lastBlockSize);
    QByteArray bin(size, '\0');
    for (int i = 0; i < size; ++i)
        bin[i] = char(i);
    const UartImage image(bin);
    QCOMPARE(image.blockCount(), blockCount);
    QCOMPARE(image.block(blockCount).size(), lastBlockSize);
    QByteArray joined;
    for (int k = 1; k <= image.blockCount(); ++k)
        joined += image.block(k);
    QCOMPARE(joined, bin);
    QCOMPARE(image.block(0), QByteArray());
    QCOMPARE(image.block(blockCount + 1), QByteArray());
}

void TestUartFrame::crcCoversImagesOf64KiBAndMore()
{
    // Images that differ only beyond 65,536 bytes must not share a CRC.
    QByteArray first(70000, '\x5A');
    QByteArray second = first;
    second[69000] = '\x5B';
    QVERIFY(UartImage(first).crc() != UartImage(second).crc());
    QCOMPARE(UartImage(first).crc(), Crc16::xmodem(first.constData(), first.size()));
}

void TestUartFrame::sendableSizes()
{
    QVERIFY(!UartImage::isSendable(QByteArray(4, 'x')));
    QVERIFY(UartImage::isSendable(QByteArray(5, 'x')));
    QVERIFY(UartImage::isSendable(QByteArray(UartImage::MaxSize, 'x')));
    QVERIFY(!UartImage::isSendable(QByteArray(UartImage::MaxSize + 1, 'x')));
    QCOMPARE(UartImage(QByteArray(UartImage::MaxSize, 'x')).blockCount(), 0xFFFF);
}

QTEST_GUILESS_MAIN(TestUartFrame)
#include "tst_uartframe.moc"
