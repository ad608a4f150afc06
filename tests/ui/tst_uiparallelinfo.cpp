#include "resource/resources.h"
#include "signals/batterybank.h"
#include "signals/framekey.h"
#include "signals/signalindex.h"
#include "ui/uipackvoltagestatus.h"
#include "ui/uiparallelinfo.h"
#include "uitestsupport.h"

#include <QCoreApplication>
#include <QGridLayout>
#include <QLabel>
#include <QScrollArea>
#include <QSignalSpy>
#include <QtTest>

class TestUiParallelInfo : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();

    void tileStartsWithIdPictureAndLowerCaseStatus();
    void tileFormatsVoltageAndStatus_data();
    void tileFormatsVoltageAndStatus();
    void tileKeepsItsStatusForAnUnknownValue();
    void twentyEightTilesFiveToARow();
    void refreshReadsEveryBattery();
    void clickingATileAsksForItsBattery();
};

void TestUiParallelInfo::initTestCase()
{
    Resources::init();
    SignalValues::instance();
}

void TestUiParallelInfo::tileStartsWithIdPictureAndLowerCaseStatus()
{
    UiPackVoltageStatus tile(7);
    QCOMPARE(tile.size(), QSize(160, 360));
    QCOMPARE(tile.idText(), QStringLiteral("ID_07"));
    QCOMPARE(tile.findChild<QLabel *>(QStringLiteral("PackVoltageStatusId"))->text(),
        QStringLiteral("ID_07"));
    QCOMPARE(tile.voltageText(), QStringLiteral("0"));
    QCOMPARE(tile.statusText(), QStringLiteral("static"));
    QCOMPARE(tile.findChildren<QLabel *>(QStringLiteral("PackVoltageValue")).size(), 2);
    auto *picture = tile.findChild<QLabel *>(QStringLiteral("PackVoltageStatusModel"));
    QVERIFY(picture);
    QVERIFY(picture->styleSheet().contains(
        QCoreApplication::applicationDirPath() + QStringLiteral("/imgs/smallpack.png")));
    QCOMPARE(UiPackVoltageStatus(27).idText(), QStringLiteral("ID_27"));
}

void TestUiParallelInfo::tileFormatsVoltageAndStatus_data()
{
    QTest::addColumn<float>("voltage");
    QTest::addColumn<int>("status");
    QTest::addColumn<QString>("voltageText");
    QTest::addColumn<QString>("statusText");
    QTest::newRow("52.456 rounds to 52.46") << 52.456f << 0 << "52.46"
                                            << "Static";
    QTest::newRow("charging is Charge") << 48.0f << 1 << "48.00"
                                        << "Charge";
    QTest::newRow("discharging is Discharge on a tile") << 51.2f << 2 << "51.20"
                                                        << "Discharge";
    QTest::newRow("3 is Offline") << 0.0f << 3 << "0.00"
                                  << "Offline";
}

void TestUiParallelInfo::tileFormatsVoltageAndStatus()
{
    QFETCH(float, voltage);
    QFETCH(int, status);
    QFETCH(QString, voltageText);
    QFETCH(QString, statusText);
    UiPackVoltageStatus tile(0);
    tile.setVoltageStatus(voltage, status);
    QCOMPARE(tile.voltageText(), voltageText);
    QCOMPARE(tile.statusText(), statusText);
}

void TestUiParallelInfo::tileKeepsItsStatusForAnUnknownValue()
{
    UiPackVoltageStatus tile(0);
    tile.setVoltageStatus(50.0f, 2);
    tile.setVoltageStatus(50.5f, 5);
    QCOMPARE(tile.voltageText(), QStringLiteral("50.50"));
    QCOMPARE(tile.statusText(), QStringLiteral("Discharge"));
    tile.setVoltageStatus(50.5f, -1);
    QCOMPARE(tile.statusText(), QStringLiteral("Discharge"));
}

void TestUiParallelInfo::twentyEightTilesFiveToARow()
{
    UiParallelInfo page;
    QCOMPARE(page.tiles().size(), BatteryBank::DeviceCount);
    auto *grid = page.findChild<QScrollArea *>()->widget()->findChild<QGridLayout *>();
    QVERIFY(grid);
    QCOMPARE(grid->rowCount(), 6);
    for (int i = 0; i < page.tiles().size(); ++i) {
        QCOMPARE(page.tiles().at(i)->devId(), i);
        int row = -1, column = -1, rowSpan = 0, columnSpan = 0;
        grid->getItemPosition(
            grid->indexOf(page.tiles().at(i)), &row, &column, &rowSpan, &columnSpan);
        QCOMPARE(row, i / 5);
        QCOMPARE(column, i % 5 + 1);
    }
    QCOMPARE(page.findChildren<QLabel *>(QStringLiteral("ParalleVolgateLabel")).size(), 6);
    QCOMPARE(page.findChildren<QLabel *>(QStringLiteral("ParalleStatusLabel")).size(), 6);
    QCOMPARE(page.findChild<QLabel *>(QStringLiteral("ParalleVolgateLabel"))->text(),
        QStringLiteral("Voltage(V)"));
}

void TestUiParallelInfo::refreshReadsEveryBattery()
{
    UiTest::feed(3, FrameKey::PackStatus, { { Signal::SumVolt, 52.4 }, { Signal::SysStatus, 1 } });
    UiTest::feed(27, FrameKey::PackStatus, { { Signal::SumVolt, 49.9 }, { Signal::SysStatus, 2 } });
    UiParallelInfo page;
    page.Slot_ShowMonitorData();
    QCOMPARE(page.tiles().at(3)->voltageText(), QStringLiteral("52.40"));
    QCOMPARE(page.tiles().at(3)->statusText(), QStringLiteral("Charge"));
    QCOMPARE(page.tiles().at(27)->voltageText(), QStringLiteral("49.90"));
    QCOMPARE(page.tiles().at(27)->statusText(), QStringLiteral("Discharge"));
    // Never heard from.
    QCOMPARE(page.tiles().at(0)->voltageText(), QStringLiteral("0.00"));
    QCOMPARE(page.tiles().at(0)->statusText(), QStringLiteral("Offline"));
}

void TestUiParallelInfo::clickingATileAsksForItsBattery()
{
    UiParallelInfo page;
    page.show();
    QVERIFY(QTest::qWaitForWindowExposed(&page));
    QSignalSpy asked(&page, &UiParallelInfo::batteryClicked);
    QTest::mouseClick(page.tiles().at(7), Qt::LeftButton);
    QCOMPARE(asked.count(), 1);
    QCOMPARE(asked.at(0).at(0).toInt(), 7);
}

QTEST_MAIN(TestUiParallelInfo)
#include "tst_uiparallelinfo.moc"
