// The simulator's boot loader in-process: the verdicts it gives on an image, and its faults.

#include "simbootloader.h"
#include "simoptions.h"
#include "support/testfirmware.h"

#include "upgrade/canbootframe.h"
#include "upgrade/imageversion.h"

#include <QSignalSpy>
#include <QtTest>

#include <functional>

using Mangle = std::function<void(TestFirmware::CanUpgradeInputs &)>;
Q_DECLARE_METATYPE(Mangle)

namespace {

constexpr quint8 DevId = 3;

// What the battery answered, as "<step>: <first byte>" (and the version bytes of the request).
QStringList answers(const QSignalSpy &spy)
{
    QStringList result;
    for (const QList<QVariant> &arguments : spy) {
        const quint32 id = arguments.at(0).toUInt();
        const QByteArray data = arguments.at(1).toByteArray();
        QString text = QStringLiteral("%1: %2")
                           .arg(CanBootFrame::stepOfAnswer(id))
                           .arg(quint8(data.at(0)), 2, 16, QLatin1Char('0'));
        if (CanBootFrame::stepOfAnswer(id) == CanBootFrame::Request
            && CanBootFrame::isAccepted(data))
            text += QLatin1Char(' ')
                + QString::fromLatin1(data.constData() + 1, 5).replace(QChar(0), QLatin1Char('.'));
        result.append(text);
        if (CanBootFrame::senderOf(id) != DevId)
            result.append(QStringLiteral("answered as %1").arg(CanBootFrame::senderOf(id)));
    }
    return result;
}

// The host's side of an upgrade, frame by frame as it goes on the bus, the request sent
// `requests` times.
QVector<QPair<quint32, QByteArray>> upgradeFrames(
    const TestFirmware::CanUpgradeInputs &image, int requests = 1)
{
    QVector<QPair<quint32, QByteArray>> frames(
        requests, { CanBootFrame::RequestBootId, QByteArray() });
    frames.append({ CanBootFrame::InquireBootId, CanBootFrame::inquireData(image.chkSum) });
    frames.append({ CanBootFrame::EraseFlashId, QByteArray() });
    for (const QString &line : image.s19Data) {
        for (const QByteArray &slice : CanBootFrame::slicesOf(line))
            frames.append({ CanBootFrame::DataId, slice });
    }
    frames.append({ CanBootFrame::FinishId, QByteArray() });
    return frames;
}

void upgrade(SimBootLoader &boot, const TestFirmware::CanUpgradeInputs &image, int requests = 1)
{
    for (const auto &frame : upgradeFrames(image, requests))
        boot.handleFrame(DevId, frame.first, frame.second);
}

TestFirmware::CanUpgradeInputs testImage()
{
    return TestFirmware::canUpgradeInputs(TestFirmware::s19(300, "ZK100ab", "V3.0.1-TEST"));
}

} // namespace

class TestSimBootLoader : public QObject
{
    Q_OBJECT

private slots:
    void verdictOnTheImage_data();
    void verdictOnTheImage();
    void faults_data();
    void faults();
    void startsOverOnARequest_data();
    void startsOverOnARequest();
    void applicationIgnoresTheStepsAfterTheRequest();
};

void TestSimBootLoader::verdictOnTheImage_data()
{
    QTest::addColumn<Mangle>("mangle");
    QTest::addColumn<QStringList>("answers");
    QTest::addColumn<bool>("installed");

    QTest::newRow("good image") << Mangle([](TestFirmware::CanUpgradeInputs &) {})
                                << QStringList { "1: 55 ZK100", "2: 55", "3: 55", "5: 55" } << true;
    QTest::newRow("a record's checksum wrong") << Mangle([](TestFirmware::CanUpgradeInputs &image) {
        QString &line = image.s19Data[2];
        line[line.size() - 3] = line.at(line.size() - 3) == '0' ? '1' : '0';
    }) << QStringList { "1: 55 ZK100", "2: 55", "3: 55", "4: aa", "5: aa" }
                                               << false;
    QTest::newRow("the byte sum one off")
        << Mangle([](TestFirmware::CanUpgradeInputs &image) { ++image.chkSum; })
        << QStringList { "1: 55 ZK100", "2: 55", "3: 55", "5: aa" } << false;
    QTest::newRow("the last line without its LF")
        << Mangle([](TestFirmware::CanUpgradeInputs &image) {
               image.s19Data.last().chop(1);
               image.chkSum -= '\n';
           })
        << QStringList { "1: 55 ZK100", "2: 55", "3: 55", "5: aa" } << false;
}

void TestSimBootLoader::verdictOnTheImage()
{
    QFETCH(Mangle, mangle);
    QFETCH(QStringList, answers);
    QFETCH(bool, installed);

    SimOptions options;
    SimBootLoader boot(options);
    QSignalSpy answered(&boot, &SimBootLoader::answer);
    QSignalSpy taken(&boot, &SimBootLoader::installed);
    TestFirmware::CanUpgradeInputs image = testImage();
    mangle(image);
    upgrade(boot, image);

    QCOMPARE(::answers(answered), answers);
    QCOMPARE(taken.size(), installed ? 1 : 0);
    // A battery that did not take the image stays in its boot loader.
    QCOMPARE(boot.isActive(), !installed);
    if (installed) {
        QCOMPARE(taken.at(0).at(0).toByteArray(), ImageVersion::ofS19(image.s19Data));
        QCOMPARE(taken.at(0).at(0).toByteArray().left(11), QByteArray("V3.0.1-TEST"));
        QByteArray flash;
        for (const QByteArray &record : boot.flash())
            flash += record;
        QCOMPARE(flash,
            TestFirmware::body(300,
                QByteArray("ZK100ab").leftJustified(7, '\0')
                    + QByteArray("V3.0.1-TEST").leftJustified(15, '\0')));
    }
}

void TestSimBootLoader::faults_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<int>("requests");
    QTest::addColumn<QStringList>("answers");
    QTest::addColumn<bool>("active");

    QTest::newRow("silent: stays out")
        << QStringList { "--boot-silent" } << 1 << QStringList() << false;
    QTest::newRow("refuses the request: stays out")
        << QStringList { "--boot-refuse", "request" } << 1 << QStringList { "1: aa" } << false;
    QTest::newRow("refuses the inquire, then every later step: stays in")
        << QStringList { "--boot-refuse", "inquire" } << 1
        << QStringList { "1: 55 ZK100", "2: aa", "3: aa", "5: aa" } << true;
    QTest::newRow("refuses the erase, then the finish: stays in")
        << QStringList { "--boot-refuse", "erase" } << 1
        << QStringList { "1: 55 ZK100", "2: 55", "3: aa", "5: aa" } << true;
    QTest::newRow("refuses the first slice, then the finish: stays in")
        << QStringList { "--boot-refuse", "data" } << 1
        << QStringList { "1: 55 ZK100", "2: 55", "3: 55", "4: aa", "5: aa" } << true;
    QTest::newRow("refuses the finish: stays in")
        << QStringList { "--boot-refuse", "finish" } << 1
        << QStringList { "1: 55 ZK100", "2: 55", "3: 55", "5: aa" } << true;
    QTest::newRow("corrupt: wrong boot version, wrong first bytes")
        << QStringList { "--boot-corrupt" } << 1
        << QStringList { "1: 55 ZK101", "2: 54", "3: 54", "5: 54" } << true;
    QTest::newRow("another pack's fault: none here")
        << QStringList { "--boot-silent", "--fault-packs", "4" } << 1
        << QStringList { "1: 55 ZK100", "2: 55", "3: 55", "5: 55" } << false;
    QTest::newRow("a shorter boot version is padded with zeros")
        << QStringList { "--boot-version", "Z1" } << 1
        << QStringList { "1: 55 Z1...", "2: 55", "3: 55", "5: 55" } << false;
    QTest::newRow("ignores the first two requests: stays out")
        << QStringList { "--boot-ignore-requests", "2" } << 2 << QStringList() << false;
    QTest::newRow("ignores the first two requests: answers the third")
        << QStringList { "--boot-ignore-requests", "2" } << 3
        << QStringList { "1: 55 ZK100", "2: 55", "3: 55", "5: 55" } << false;
    QTest::newRow("another pack ignores requests: each answered")
        << QStringList { "--boot-ignore-requests", "2", "--fault-packs", "4" } << 2
        << QStringList { "1: 55 ZK100", "1: 55 ZK100", "2: 55", "3: 55", "5: 55" } << false;
}

void TestSimBootLoader::faults()
{
    QFETCH(QStringList, arguments);
    QFETCH(int, requests);
    QFETCH(QStringList, answers);
    QFETCH(bool, active);

    // The options as the simulator's command line gives them.
    SimOptions options;
    QString error;
    const QStringList commandLine = QStringList { QStringLiteral("bms-sim") } + arguments;
    QVERIFY2(SimOptions::parseArguments(commandLine, &options, &error), qPrintable(error));

    SimBootLoader boot(options);
    QSignalSpy answered(&boot, &SimBootLoader::answer);
    upgrade(boot, testImage(), requests);
    QCOMPARE(::answers(answered), answers);
    QCOMPARE(boot.isActive(), active);
}

void TestSimBootLoader::startsOverOnARequest_data()
{
    // How many of the first upgrade's frames arrived before its host was cut off.
    QTest::addColumn<int>("cutAfter");

    // The image's lines are 10 slices long.
    QTest::newRow("after the request") << 1;
    QTest::newRow("after the inquire") << 2;
    QTest::newRow("after the erase") << 3;
    QTest::newRow("in the middle of a line") << 3 + 15;
    QTest::newRow("before the finish") << upgradeFrames(testImage()).size() - 1;
    QTest::newRow("after a good finish: enters again") << upgradeFrames(testImage()).size();
}

void TestSimBootLoader::startsOverOnARequest()
{
    QFETCH(int, cutAfter);

    SimOptions options;
    SimBootLoader boot(options);
    const TestFirmware::CanUpgradeInputs image = testImage();
    for (const auto &frame : upgradeFrames(image).mid(0, cutAfter))
        boot.handleFrame(DevId, frame.first, frame.second);
    QSignalSpy answered(&boot, &SimBootLoader::answer);
    QSignalSpy taken(&boot, &SimBootLoader::installed);
    upgrade(boot, image);

    QCOMPARE(::answers(answered), QStringList({ "1: 55 ZK100", "2: 55", "3: 55", "5: 55" }));
    QCOMPARE(taken.size(), 1);
    QCOMPARE(boot.lines(), image.s19Data);
    QVERIFY(!boot.isActive());
}

void TestSimBootLoader::applicationIgnoresTheStepsAfterTheRequest()
{
    SimOptions options;
    SimBootLoader boot(options);
    QSignalSpy answered(&boot, &SimBootLoader::answer);
    boot.handleFrame(DevId, 0x30000, QByteArray());
    boot.handleFrame(DevId, 0x50000, QByteArray());
    QCOMPARE(answered.size(), 0);
    QVERIFY(!boot.isActive());

    QVERIFY(SimBootLoader::isUpgradeFrame(0x1FF00, true));
    QVERIFY(SimBootLoader::isUpgradeFrame(0x40000, true));
    QVERIFY(!SimBootLoader::isUpgradeFrame(0x40000, false));
    // A battery's answer and a command are not the host's upgrade frames.
    QVERIFY(!SimBootLoader::isUpgradeFrame(0x20003, true));
    QVERIFY(!SimBootLoader::isUpgradeFrame(0x10000, true));
    QVERIFY(!SimBootLoader::isUpgradeFrame(0x18E10380, true));
}

QTEST_GUILESS_MAIN(TestSimBootLoader)
#include "tst_simbootloader.moc"
