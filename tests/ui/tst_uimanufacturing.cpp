// The manufacturing page against the CAN stack as the program builds it: CanService::instance()
// makes its adapter on the fake vendor library beside this executable, so every command the
// page sends is read back byte for byte as the adapter was given it to transmit, and the
// battery's answers go in where the adapter would receive them.

#include "can/adaptertype.h"
#include "resource/resources.h"
#include "support/capturedestination.h"
#include "support/parameterset.h"

#include "can/canservice.h"
#include "can/commandcodec.h"
#include "can/controlcan/controlcanlibrary.h"
#include "fakecontrolcanclient.h"
#include "signals/framekey.h"
#include "signals/signalindex.h"
#include "ui/uimanufacturing.h"
#include "uitestsupport.h"

#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>
#include <QTranslator>
#include <QtTest>

#include <functional>
#include <memory>

namespace {

using Action = UiManufacturing::Action;

// "18e40380 ext [01 02]": identifier, frame format and data of a transmitted frame.
QString text(const CanFrame &frame)
{
    return QStringLiteral("%1 %2 [%3]")
        .arg(frame.id, 8, 16, QLatin1Char('0'))
        .arg(frame.extended ? QStringLiteral("ext") : QStringLiteral("std"))
        .arg(QString::fromLatin1(frame.data.toHex(' ')));
}

// The all-zero parts of a code write from part `first` to the sixth, e.g. "18a00380 ext
// [04 00 00 00 00 00 00]".
QStringList zeroParts(const QString &id, int first)
{
    QStringList lines;
    for (int part = first; part <= 6; ++part)
        lines.append(QStringLiteral("%1 ext [0%2 00 00 00 00 00 00]").arg(id).arg(part));
    return lines;
}

// The battery on the bench, answering what the adapter transmits. A 1 ms timer in the test's
// thread reads the fake library's transmit record and queues the answers for the adapter's
// next poll; it keeps running inside the CAN service's reply waits, which run the event loop.
// The battery answers the commands of the manufacturing page and the clock setting, under the
// number the request addresses; set-device-number is answered under the new number.
class BenchBattery : public QObject
{
public:
    QByteArray batteryCode = QByteArrayLiteral("QM20210520007");
    QByteArray modelCode = QByteArrayLiteral("ZK-LFP-16S100AH");
    bool silent = false;
    // Parts of a code read that never arrive (1..6).
    QList<int> missingParts;

    explicit BenchBattery(FakeControlCanClient &fake)
        : m_fake(fake)
        , m_seen(fake.transmittedCount())
    {
        auto *timer = new QTimer(this);
        timer->setInterval(1);
        connect(timer, &QTimer::timeout, this, &BenchBattery::answer);
        timer->start();
    }

private:
    void answer()
    {
        while (m_seen < m_fake.transmittedCount()) {
            const CanFrame request = m_fake.transmittedFrame(m_seen++);
            if (silent)
                continue;
            for (const CanFrame &reply : answerTo(request))
                m_fake.queueReceive(reply);
        }
    }

    QList<CanFrame> answerTo(const CanFrame &request) const
    {
        using namespace CommandProtocol;
        const quint8 code = CommandCodec::codeOf(request.id);
        const quint8 devId = CommandCodec::destinationOf(request.id);
        const QByteArray &data = request.data;
        switch (code) {
        case SetDeviceId:
            return { CommandCodec::acknowledgement(code, CommandCodec::newIdOf(data)) };
        case SetTime:
            return { CommandCodec::acknowledgement(code, devId) };
        case ReadBatteryCode:
        case ReadModelCode: {
            QList<CanFrame> parts;
            for (int part = 1; part <= CodeParts; ++part) {
                if (!missingParts.contains(part))
                    parts.append(CommandCodec::textPart(
                        code, devId, code == ReadBatteryCode ? batteryCode : modelCode, part));
            }
            return parts;
        }
        case WriteBatteryCode:
        case WriteModelCode:
            if (CommandCodec::partOf(code, data).number == CodeParts)
                return { CommandCodec::acknowledgement(code, devId) };
            return {};
        case WriteParameter:
            return { CommandCodec::parameterAcknowledgement(devId, ClearEnergyParamId) };
        default:
            return {};
        }
    }

    FakeControlCanClient &m_fake;
    int m_seen = 0;
};

void click(UiManufacturing &page, Action action)
{
    page.button(action)->click();
}

void checkClock(UiManufacturing &page)
{
    QVERIFY(QMetaObject::invokeMethod(&page, "OnCheckSyncResult"));
}

// The page's verdict and its two counts: "PASS 1/0".
QString verdict(const UiManufacturing &page)
{
    return QStringLiteral("%1 %2/%3")
        .arg(page.resultLabel()->text(), page.passCountLabel()->text(),
            page.failedCountLabel()->text());
}

} // namespace

class TestUiManufacturing : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();
    void cleanupTestCase();

    void verdictsAreShownAndCounted();
    void increaseDeviceId_data();
    void increaseDeviceId();
    void writeDeviceId_data();
    void writeDeviceId();
    void increaseSerial_data();
    void increaseSerial();
    void readCode_data();
    void readCode();
    void writeCode_data();
    void writeCode();
    void emptyFieldsWriteNothing();
    void clearHistoryEnergy();
    void noBatterySelectedAddressesDeviceZero();
    void clockCheckFollowsSyncAndOnlineState();
    void textsAreTranslated();

private:
    // Frames transmitted since init(), as text, leaving out the service's clock settings.
    QStringList sent() const;
    // The page's own log lines since init().
    QStringList warnings() const;

    std::unique_ptr<FakeControlCanClient> m_fake;
    std::unique_ptr<BenchBattery> m_battery;
    QSharedPointer<CaptureDestination> m_log;
    int m_sentBefore = 0;
};

void TestUiManufacturing::initTestCase()
{
    Resources::init();
    QVERIFY(ParameterSet::install(ParameterSet::shipped()));

    m_fake.reset(new FakeControlCanClient(QCoreApplication::applicationDirPath() + QLatin1Char('/')
        + ControlCanLibrary::platformFileName()));
    QVERIFY2(m_fake->isLoaded(), qPrintable(m_fake->errorString()));
    m_fake->reset();
    SignalValues::instance();
    QCOMPARE(CanService::instance()->initService(AdapterType::UsbCan2, 0, true, 0, 250), 0);
}

void TestUiManufacturing::init()
{
    // The adapter stays open from test to test; its record of frames runs on.
    m_sentBefore = m_fake->transmittedCount();
    m_battery.reset(new BenchBattery(*m_fake));
    m_log = CaptureDestination::attach();
}

void TestUiManufacturing::cleanup()
{
    CaptureDestination::detach(m_log);
    m_battery.reset();
}

void TestUiManufacturing::cleanupTestCase()
{
    CanService::instance()->closeService();
}

QStringList TestUiManufacturing::sent() const
{
    QStringList lines;
    for (int i = m_sentBefore; i < m_fake->transmittedCount(); ++i) {
        const CanFrame frame = m_fake->transmittedFrame(i);
        if (CommandCodec::codeOf(frame.id) != CommandProtocol::SetTime)
            lines.append(text(frame));
    }
    return lines;
}

QStringList TestUiManufacturing::warnings() const
{
    QStringList lines;
    for (const QString &line : m_log->lines()) {
        if (line.contains(QLatin1String("UiManufacturing::")))
            lines.append(line.trimmed());
    }
    return lines;
}

void TestUiManufacturing::verdictsAreShownAndCounted()
{
    // The page opens on PASS with nothing counted.
    UiManufacturing page(SignalValues::instance(), CanService::instance());
    QCOMPARE(verdict(page), QStringLiteral("PASS 0/0"));
    QCOMPARE(page.resultLabel()->styleSheet(), UiManufacturing::passStyle());

    page.Slot_ShowMonitorData(4);
    click(page, Action::ClearHistoryEnergy);
    QCOMPARE(verdict(page), QStringLiteral("PASS 1/0"));
    click(page, Action::ReadSerial);
    QCOMPARE(verdict(page), QStringLiteral("PASS 2/0"));

    m_battery->silent = true;
    click(page, Action::ClearHistoryEnergy);
    QCOMPARE(verdict(page), QStringLiteral("NG 2/1"));
    QCOMPARE(page.resultLabel()->styleSheet(), UiManufacturing::failedStyle());

    m_battery->silent = false;
    click(page, Action::ClearHistoryEnergy);
    QCOMPARE(verdict(page), QStringLiteral("PASS 3/1"));
    QCOMPARE(page.resultLabel()->styleSheet(), UiManufacturing::passStyle());
    QCOMPARE(page.passCount(), 3);
    QCOMPARE(page.failedCount(), 1);
}

void TestUiManufacturing::increaseDeviceId_data()
{
    QTest::addColumn<QString>("before");
    QTest::addColumn<QString>("after");
    QTest::addColumn<QString>("verdict");

    auto row = [](const char *name, const QString &before, const QString &after,
                   const QString &verdict) { QTest::newRow(name) << before << after << verdict; };
    row("01 to 02", "01", "02", "PASS 0/0");
    row("09 to 10", "09", "10", "PASS 0/0");
    row("00 to 01", "00", "01", "PASS 0/0");
    row("1 to 02, padded", "1", "02", "PASS 0/0");
    row("empty counts as 0", "", "01", "PASS 0/0");
    row("26 to 27", "26", "27", "PASS 0/0");
    row("27 stays, NG", "27", "27", "NG 0/1");
    row("above 27 comes back to 27, NG", "99", "27", "NG 0/1");
}

void TestUiManufacturing::increaseDeviceId()
{
    QFETCH(QString, before);
    QFETCH(QString, after);
    QFETCH(QString, verdict);

    UiManufacturing page(SignalValues::instance(), CanService::instance());
    page.deviceIdEdit()->setText(before);
    click(page, Action::IncreaseDeviceId);
    QCOMPARE(page.deviceIdEdit()->text(), after);
    QCOMPARE(::verdict(page), verdict);
    const QStringList expectedWarnings = verdict.startsWith(QLatin1String("NG"))
        ? QStringList { "WARN |UiManufacturing::OnClickIncreaseDeviceId: device ID 27 is the "
                        "highest, not increased." }
        : QStringList();
    QCOMPARE(warnings(), expectedWarnings);
    QCOMPARE(sent(), QStringList());
}

void TestUiManufacturing::writeDeviceId_data()
{
    QTest::addColumn<QString>("deviceId");
    QTest::addColumn<bool>("silent");
    QTest::addColumn<QStringList>("frames");
    QTest::addColumn<QString>("verdict");
    QTest::addColumn<QStringList>("warnings");

    const QStringList none;
    const QString failed
        = QStringLiteral("WARN |UiManufacturing::OnClickWriteDeviceId: failed to set device ID.");
    const auto refused = [](const QString &id) {
        return QStringList { QStringLiteral("WARN |UiManufacturing::OnClickWriteDeviceId: refused "
                                            "device ID %1, the highest is 27.")
                                 .arg(id) };
    };
    // Always to destination 0x1F, whichever battery is selected.
    QTest::newRow("05") << "05" << false << QStringList { "18001f80 ext [05]" } << "PASS 1/0"
                        << none;
    QTest::newRow("00") << "00" << false << QStringList { "18001f80 ext [00]" } << "PASS 1/0"
                        << none;
    QTest::newRow("27") << "27" << false << QStringList { "18001f80 ext [1b]" } << "PASS 1/0"
                        << none;
    QTest::newRow("no answer") << "12" << true << QStringList { "18001f80 ext [0c]" } << "NG 0/1"
                               << QStringList { failed };
    QTest::newRow("28 refused") << "28" << false << none << "NG 0/1" << refused("28");
    QTest::newRow("256 refused, not sent as 0")
        << "256" << false << none << "NG 0/1" << refused("256");
    QTest::newRow("300 refused, not sent as 44")
        << "300" << false << none << "NG 0/1" << refused("300");
    QTest::newRow("empty: nothing at all") << "" << false << none << "PASS 0/0" << none;
}

void TestUiManufacturing::writeDeviceId()
{
    QFETCH(QString, deviceId);
    QFETCH(bool, silent);
    QFETCH(QStringList, frames);
    QFETCH(QString, verdict);
    QFETCH(QStringList, warnings);

    UiManufacturing page(SignalValues::instance(), CanService::instance());
    page.Slot_ShowMonitorData(3);
    m_battery->silent = silent;
    page.deviceIdEdit()->setText(deviceId);
    click(page, Action::WriteDeviceId);
    QCOMPARE(sent(), frames);
    QCOMPARE(::verdict(page), verdict);
    QCOMPARE(this->warnings(), warnings);
    QCOMPARE(page.deviceIdEdit()->text(), deviceId);
}

void TestUiManufacturing::increaseSerial_data()
{
    QTest::addColumn<QString>("before");
    QTest::addColumn<QString>("after");
    QTest::addColumn<QString>("verdict");

    auto row = [](const char *name, const QString &before, const QString &after,
                   const QString &verdict) { QTest::newRow(name) << before << after << verdict; };
    row("001 to 002", "QM20210520001", "QM20210520002", "PASS 0/0");
    row("999 grows a digit", "QM20210520999", "QM202105201000", "PASS 0/0");
    row("009 to 010", "QM20210520009", "QM20210520010", "PASS 0/0");
    row("empty to 001", "", "001", "PASS 0/0");
    row("short text is kept whole", "AB", "AB001", "PASS 0/0");
    row("three letters count as 0", "ABC", "001", "PASS 0/0");
    row("letters in the tail count as 0", "QM2021052ABC", "QM2021052001", "PASS 0/0");
    // 31 and 32 characters.
    row("999 growing to 32 characters", "ZK-LFP-16S100AH-2023-0612-BA999",
        "ZK-LFP-16S100AH-2023-0612-BA1000", "PASS 0/0");
    row("32 characters: refused", "ZK-LFP-16S100AH-2023-0612-BAT001",
        "ZK-LFP-16S100AH-2023-0612-BAT001", "NG 0/1");
    row("999 growing to 33 characters: refused", "ZK-LFP-16S100AH-2023-0612-BAT999",
        "ZK-LFP-16S100AH-2023-0612-BAT999", "NG 0/1");
}

void TestUiManufacturing::increaseSerial()
{
    QFETCH(QString, before);
    QFETCH(QString, after);
    QFETCH(QString, verdict);

    UiManufacturing page(SignalValues::instance(), CanService::instance());
    page.serialEdit()->setText(before);
    QCOMPARE(page.serialEdit()->text(), before);
    click(page, Action::IncreaseSerial);
    QCOMPARE(page.serialEdit()->text(), after);
    QCOMPARE(::verdict(page), verdict);
    const QStringList expectedWarnings = verdict.startsWith(QLatin1String("NG"))
        ? QStringList { QStringLiteral("WARN |UiManufacturing::OnClickIncreaseSerial: serial "
                                       "number %1 has no room to increase within 32 "
                                       "characters, not increased.")
                            .arg(before) }
        : QStringList();
    QCOMPARE(warnings(), expectedWarnings);
    QCOMPARE(sent(), QStringList());
}

void TestUiManufacturing::readCode_data()
{
    QTest::addColumn<int>("action");
    QTest::addColumn<bool>("isModel");
    QTest::addColumn<QByteArray>("stored");
    QTest::addColumn<QList<int>>("missingParts");
    QTest::addColumn<QString>("request");
    QTest::addColumn<QString>("shown");
    QTest::addColumn<QString>("warning");

    const QString serialFailed
        = QStringLiteral("WARN |UiManufacturing::OnClickReadSerial: failed to read battery code.");
    const QString modelFailed
        = QStringLiteral("WARN |UiManufacturing::OnClickReadModel: failed to read model code.");
    const QList<int> all;
    QTest::newRow("serial with trailing NULs")
        << int(Action::ReadSerial) << false << QByteArray("QM20210520007") << all
        << "18e40380 ext []"
        << "QM20210520007" << QString();
    QTest::newRow("serial up to the first NUL")
        << int(Action::ReadSerial) << false << QByteArray("QM2021\0TRAILER", 14) << all
        << "18e40380 ext []"
        << "QM2021" << QString();
    QTest::newRow("serial without its last part")
        << int(Action::ReadSerial) << false << QByteArray("QM20210520007") << QList<int> { 6 }
        << "18e40380 ext []"
        << "unchanged" << serialFailed;
    QTest::newRow("model with trailing NULs")
        << int(Action::ReadModel) << true << QByteArray("ZK-LFP-16S100AH") << all
        << "18e50380 ext []"
        << "ZK-LFP-16S100AH" << QString();
    QTest::newRow("model without its last part")
        << int(Action::ReadModel) << true << QByteArray("ZK-LFP-16S100AH") << QList<int> { 6 }
        << "18e50380 ext []"
        << "unchanged" << modelFailed;
}

void TestUiManufacturing::readCode()
{
    QFETCH(int, action);
    QFETCH(bool, isModel);
    QFETCH(QByteArray, stored);
    QFETCH(QList<int>, missingParts);
    QFETCH(QString, request);
    QFETCH(QString, shown);
    QFETCH(QString, warning);

    (isModel ? m_battery->modelCode : m_battery->batteryCode) = stored;
    m_battery->missingParts = missingParts;
    UiManufacturing page(SignalValues::instance(), CanService::instance());
    page.Slot_ShowMonitorData(3);
    QLineEdit *field = isModel ? page.modelEdit() : page.serialEdit();
    field->setText(QStringLiteral("BEFORE"));
    click(page, Action(action));

    QCOMPARE(sent(), QStringList { request });
    if (warning.isEmpty()) {
        QCOMPARE(field->text(), shown);
        QCOMPARE(verdict(page), QStringLiteral("PASS 1/0"));
        QCOMPARE(warnings(), QStringList());
    } else {
        QCOMPARE(field->text(), QStringLiteral("BEFORE"));
        QCOMPARE(verdict(page), QStringLiteral("NG 0/1"));
        QCOMPARE(warnings(), QStringList { warning });
    }
}

void TestUiManufacturing::writeCode_data()
{
    QTest::addColumn<int>("action");
    QTest::addColumn<bool>("isModel");
    QTest::addColumn<QString>("code");
    QTest::addColumn<bool>("silent");
    QTest::addColumn<QStringList>("frames");
    QTest::addColumn<QString>("warning");

    QTest::newRow("serial QM20210520001 to battery 3")
        << int(Action::WriteSerial) << false << "QM20210520001" << false
        << QStringList { "18a00380 ext [01 51 4d 32 30 32 31]", // 1 Q M 2 0 2 1
               "18a00380 ext [02 30 35 32 30 30 30]", // 2 0 5 2 0 0 0
               "18a00380 ext [03 31 00 00 00 00 00]" } // 3 1, zero-filled
            + zeroParts("18a00380", 4)
        << QString();
    QTest::newRow("serial of 32 characters, unanswered")
        << int(Action::WriteSerial) << false << "ABCDEFGHIJKLMNOPQRSTUVWXYZ012345" << true
        << QStringList { "18a00380 ext [01 41 42 43 44 45 46]",
               "18a00380 ext [02 47 48 49 4a 4b 4c]", "18a00380 ext [03 4d 4e 4f 50 51 52]",
               "18a00380 ext [04 53 54 55 56 57 58]", "18a00380 ext [05 59 5a 30 31 32 33]",
               "18a00380 ext [06 34 35 00 00 00 00]" }
        << "WARN |UiManufacturing::OnClickWriteSerial: failed to write battery code.";
    QTest::newRow("model as Latin-1")
        << int(Action::WriteModel) << true << QStringLiteral("LFP-\u00b5") << false
        << QStringList { "18a10380 ext [01 4c 46 50 2d b5 00]" } + zeroParts("18a10380", 2)
        << QString();
    QTest::newRow("model unanswered")
        << int(Action::WriteModel) << true << "M" << true
        << QStringList { "18a10380 ext [01 4d 00 00 00 00 00]" } + zeroParts("18a10380", 2)
        << "WARN |UiManufacturing::OnClickWriteModel: failed to write model code.";
}

void TestUiManufacturing::writeCode()
{
    QFETCH(int, action);
    QFETCH(bool, isModel);
    QFETCH(QString, code);
    QFETCH(bool, silent);
    QFETCH(QStringList, frames);
    QFETCH(QString, warning);

    m_battery->silent = silent;
    UiManufacturing page(SignalValues::instance(), CanService::instance());
    page.Slot_ShowMonitorData(3);
    QLineEdit *field = isModel ? page.modelEdit() : page.serialEdit();
    field->setText(code);
    click(page, Action(action));

    QCOMPARE(sent(), frames);
    QCOMPARE(verdict(page), warning.isEmpty() ? QStringLiteral("PASS 1/0") : "NG 0/1");
    QCOMPARE(warnings(), warning.isEmpty() ? QStringList() : QStringList { warning });
    QCOMPARE(field->text(), code);
}

void TestUiManufacturing::emptyFieldsWriteNothing()
{
    UiManufacturing page(SignalValues::instance(), CanService::instance());
    page.Slot_ShowMonitorData(3);
    page.serialEdit()->clear();
    page.modelEdit()->clear();
    page.deviceIdEdit()->clear();
    click(page, Action::WriteSerial);
    click(page, Action::WriteModel);
    click(page, Action::WriteDeviceId);
    QCOMPARE(verdict(page), QStringLiteral("PASS 0/0"));
    QCOMPARE(sent(), QStringList());
    QCOMPARE(warnings(), QStringList());
}

void TestUiManufacturing::clearHistoryEnergy()
{
    UiManufacturing page(SignalValues::instance(), CanService::instance());
    page.Slot_ShowMonitorData(11);
    click(page, Action::ClearHistoryEnergy);
    QCOMPARE(sent(), QStringList { "18f00b80 ext [d2 00 00 00 00]" });
    QCOMPARE(verdict(page), QStringLiteral("PASS 1/0"));

    m_battery->silent = true;
    click(page, Action::ClearHistoryEnergy);
    QCOMPARE(verdict(page), QStringLiteral("NG 1/1"));
    QCOMPARE(warnings(),
        QStringList { "WARN |UiManufacturing::OnClickClearHistoryEnergy: failed to clear history "
                      "energy." });
}

void TestUiManufacturing::noBatterySelectedAddressesDeviceZero()
{
    UiManufacturing page(SignalValues::instance(), CanService::instance());
    page.serialEdit()->setText(QStringLiteral("Q"));
    click(page, Action::ReadModel);
    click(page, Action::WriteSerial);
    click(page, Action::ClearHistoryEnergy);
    QCOMPARE(sent(),
        QStringList({ "18e50080 ext []", "18a00080 ext [01 51 00 00 00 00 00]" })
            + zeroParts("18a00080", 2) + QStringList { "18f00080 ext [d2 00 00 00 00]" });
    QCOMPARE(verdict(page), QStringLiteral("PASS 3/0"));
}

void TestUiManufacturing::clockCheckFollowsSyncAndOnlineState()
{
    const quint8 devId = 9;
    UiManufacturing page(SignalValues::instance(), CanService::instance());
    // Only the checks below.
    page.checkTimer()->stop();
    page.Slot_ShowMonitorData(devId);

    // Never seen: no status yet, which reads as offline.
    checkClock(page);
    QCOMPARE(page.timeCalibrationEdit()->text(), QStringLiteral("NG"));

    // The battery comes online; the service queues its clock and sets it on its next pass,
    // which the silent battery does not answer.
    m_battery->silent = true;
    UiTest::feed(devId, FrameKey::PackStatus, { { Signal::SysStatus, 1 } });
    QVERIFY(CanService::instance()->isRtcSyncPending(devId));
    checkClock(page);
    QCOMPARE(page.timeCalibrationEdit()->text(), QStringLiteral("NG"));

    // Answered: OK at the next check, driven by the page's own timer this time.
    m_battery->silent = false;
    page.checkTimer()->start();
    QTRY_COMPARE_WITH_TIMEOUT(page.timeCalibrationEdit()->text(), QStringLiteral("OK"), 5000);
    QVERIFY(!CanService::instance()->isRtcSyncPending(devId));
    page.checkTimer()->stop();

    // Offline: NG although the clock was set.
    UiTest::feed(devId, FrameKey::PackStatus, { { Signal::SysStatus, 3 } });
    checkClock(page);
    QCOMPARE(page.timeCalibrationEdit()->text(), QStringLiteral("NG"));
    QVERIFY(!CanService::instance()->isRtcSyncPending(devId));

    // Another battery's state is not this one's.
    UiTest::FakeStore store;
    store.set(devId, Signal::SysStatus, 2u);
    store.set(devId + 1, Signal::SysStatus, 3u);
    UiManufacturing onFakeStore(&store, CanService::instance());
    onFakeStore.checkTimer()->stop();
    onFakeStore.Slot_ShowMonitorData(devId);
    checkClock(onFakeStore);
    QCOMPARE(onFakeStore.timeCalibrationEdit()->text(), QStringLiteral("OK"));

    // The check gives no verdict and counts nothing.
    QCOMPARE(verdict(page), QStringLiteral("PASS 0/0"));
}

void TestUiManufacturing::textsAreTranslated()
{
    QTranslator translator;
    QVERIFY(translator.load(QStringLiteral("cn"), QStringLiteral(":/resource/language")));
    UiManufacturing english(SignalValues::instance(), CanService::instance());
    QVERIFY(QCoreApplication::installTranslator(&translator));
    UiManufacturing chinese(SignalValues::instance(), CanService::instance());
    checkClock(chinese);
    QCoreApplication::removeTranslator(&translator);
    checkClock(english);

    // Every visible text but the verdict and the counts, pair by pair in creation order.
    auto texts = [](const UiManufacturing &page) {
        QStringList result;
        for (QObject *child : page.findChildren<QObject *>()) {
            if (child == page.resultLabel() || child == page.passCountLabel()
                || child == page.failedCountLabel())
                continue;
            if (auto *label = qobject_cast<QLabel *>(child))
                result.append(label->text());
            else if (auto *button = qobject_cast<QPushButton *>(child))
                result.append(button->text());
            else if (auto *group = qobject_cast<QGroupBox *>(child))
                result.append(group->title());
        }
        result.append(page.timeCalibrationEdit()->text());
        return result;
    };
    const QStringList source = texts(english);
    const QStringList translated = texts(chinese);
    QCOMPARE(source.size(), 18);
    QCOMPARE(translated.size(), source.size());
    for (int i = 0; i < source.size(); ++i)
        QVERIFY2(translated.at(i) != source.at(i), qPrintable(source.at(i)));

    QVERIFY(translated.contains(QStringLiteral("序列号")));
    QCOMPARE(chinese.resultLabel()->text(), QStringLiteral("PASS"));
}

QTEST_MAIN(TestUiManufacturing)
#include "tst_uimanufacturing.moc"
