#include "resource/resources.h"
#include "ui/uibmuinfo.h"

#include <QGroupBox>
#include <QLabel>
#include <QtTest>

class TestUiBmuInfo : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();

    void captions_data();
    void captions();
    void valuesStartAsDashes();
    void voltagesAndTemperaturesGetTheirUnits();
    void shorterListsUpdateOnlyTheirRows();
    void longerListsAreCut();
};

void TestUiBmuInfo::initTestCase()
{
    Resources::init();
}

void TestUiBmuInfo::captions_data()
{
    QTest::addColumn<int>("module");
    QTest::addColumn<QStringList>("cells");
    QTest::addColumn<QStringList>("sensors");
    QTest::newRow("module 1") << 1 << QStringList { "Cell_01", "Cell_02", "Cell_03", "Cell_04" }
                              << QStringList { "Temp_1", "Temp_2" };
    QTest::newRow("module 3 crosses into two digits")
        << 3 << QStringList { "Cell_09", "Cell_10", "Cell_11", "Cell_12" }
        << QStringList { "Temp_5", "Temp_6" };
    QTest::newRow("module 4") << 4 << QStringList { "Cell_13", "Cell_14", "Cell_15", "Cell_16" }
                              << QStringList { "Temp_7", "Temp_8" };
}

void TestUiBmuInfo::captions()
{
    QFETCH(int, module);
    QFETCH(QStringList, cells);
    QFETCH(QStringList, sensors);
    UiBmuInfo info(module);
    QCOMPARE(info.cellCaptions(), cells);
    QCOMPARE(info.temperatureCaptions(), sensors);

    QStringList texts;
    for (const QLabel *label : info.findChildren<QLabel *>())
        texts.append(label->text());
    QVERIFY(texts.contains(QStringLiteral("Module_%1").arg(module)));
    QCOMPARE(info.findChildren<QGroupBox *>().size(), 1);
}

void TestUiBmuInfo::valuesStartAsDashes()
{
    UiBmuInfo info(2);
    QCOMPARE(info.voltageTexts(), QStringList({ "--mV", "--mV", "--mV", "--mV" }));
    QCOMPARE(info.temperatureTexts(), QStringList({ "-- ℃", "-- ℃" }));
}

void TestUiBmuInfo::voltagesAndTemperaturesGetTheirUnits()
{
    UiBmuInfo info(1);
    info.updateVoltageInfo({ "3.312", "3.300", "0.000", "4.100" });
    info.updateTemperatureInfo({ "-5", "25" });
    QCOMPARE(info.voltageTexts(), QStringList({ "3.312V", "3.300V", "0.000V", "4.100V" }));
    QCOMPARE(info.temperatureTexts(), QStringList({ "-5℃", "25℃" }));
}

void TestUiBmuInfo::shorterListsUpdateOnlyTheirRows()
{
    UiBmuInfo info(1);
    info.updateVoltageInfo({ "3.312" });
    info.updateTemperatureInfo({});
    QCOMPARE(info.voltageTexts(), QStringList({ "3.312V", "--mV", "--mV", "--mV" }));
    QCOMPARE(info.temperatureTexts(), QStringList({ "-- ℃", "-- ℃" }));
}

void TestUiBmuInfo::longerListsAreCut()
{
    UiBmuInfo info(1);
    info.updateVoltageInfo({ "1", "2", "3", "4", "5" });
    info.updateTemperatureInfo({ "1", "2", "3" });
    QCOMPARE(info.voltageTexts().size(), 4);
    QCOMPARE(info.temperatureTexts(), QStringList({ "1℃", "2℃" }));
}

QTEST_MAIN(TestUiBmuInfo)
#include "tst_uibmuinfo.moc"
