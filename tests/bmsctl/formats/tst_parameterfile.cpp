// The parameter file: what a restore may take and what it must refuse before anything is sent.

#include "support/parameterset.h"

#include "formats/parametercatalogue.h"
#include "formats/parameterfile.h"

#include <QtTest>

class TestParameterFile : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void readsWhatItWrites();
    void refusesWithAReason_data();
    void refusesWithAReason();
    void rangeFollowsTheOffset();
};

namespace {

// A file around the given parameter entries.
QByteArray fileWith(const QByteArray &parameters)
{
    return "{ \"serial\": \"QM2024100001\", \"parameters\": [ " + parameters + " ] }";
}

} // namespace

void TestParameterFile::initTestCase()
{
    QVERIFY(ParameterSet::install(ParameterSet::shipped()));
}

void TestParameterFile::readsWhatItWrites()
{
    const ParameterCatalogue catalogue;
    QVERIFY2(catalogue.isValid(), qPrintable(catalogue.errorString()));
    ParameterFile file;
    file.battery = 3;
    file.serial = QStringLiteral("QM \"2024\"");
    file.taken = QStringLiteral("2026-12-07T10:00:00");
    file.values = { { 1, 3650 }, { 37, -40 }, { 81, 100 } };
    const QByteArray json = file.toJson(catalogue);
    QVERIFY(json.contains("{ \"id\": 37, \"name\": \"Temperature Charge Hight / ALARM\", \"unit\": "
                          "\"\xe2\x84\x83\", \"value\": -40 }"));

    ParameterFile read;
    QString error;
    QVERIFY2(ParameterFile::fromJson(json, catalogue, &read, &error), qPrintable(error));
    QCOMPARE(read.battery, 3);
    QCOMPARE(read.serial, file.serial);
    QCOMPARE(read.values.size(), 3);
    qint32 value = 0;
    QVERIFY(read.valueOf(37, &value));
    QCOMPARE(value, -40);
    QVERIFY(!read.valueOf(2, &value));
}

void TestParameterFile::refusesWithAReason_data()
{
    QTest::addColumn<QByteArray>("json");
    QTest::addColumn<QString>("reason");
    QTest::newRow("not JSON") << QByteArray("{ \"serial\": \"x\",\n  oops }") << "not JSON";
    QTest::newRow("parse error position")
        << QByteArray("{ \"serial\": \"x\",\n  oops }") << "line 2";
    QTest::newRow("a list, not an object") << QByteArray("[1, 2]") << "not an object";
    QTest::newRow("no serial") << QByteArray("{ \"parameters\": [ { \"id\": 1, \"value\": 1 } ] }")
                               << "\"serial\"";
    QTest::newRow("another program's file")
        << QByteArray("{ \"format\": \"other 2\", \"serial\": \"x\", \"parameters\": [] }")
        << "format";
    QTest::newRow("no parameters") << fileWith("") << "\"parameters\"";
    QTest::newRow("unknown id") << fileWith("{ \"id\": 200, \"value\": 1 }")
                                << "unknown parameter id 200";
    QTest::newRow("id beyond a byte")
        << fileWith("{ \"id\": 257, \"value\": 1 }") << "unknown parameter id 257";
    QTest::newRow("id as text") << fileWith("{ \"id\": \"1\", \"value\": 1 }") << "\"id\"";
    QTest::newRow("id twice") << fileWith(
        "{ \"id\": 1, \"value\": 1 }, { \"id\": 1, \"value\": 2 }")
                              << "listed twice";
    QTest::newRow("fractional value")
        << fileWith("{ \"id\": 1, \"value\": 3650.5 }") << "whole-number";
    QTest::newRow("value missing") << fileWith("{ \"id\": 1 }") << "whole-number";
    QTest::newRow("below a temperature's offset")
        << fileWith("{ \"id\": 37, \"value\": -41 }") << "out of range -40..2147483647";
    QTest::newRow("negative without offset")
        << fileWith("{ \"id\": 1, \"value\": -1 }") << "out of range 0..";
    QTest::newRow("beyond 32 bits")
        << fileWith("{ \"id\": 1, \"value\": 4294967296 }") << "out of range";
    QTest::newRow("another unit") << fileWith("{ \"id\": 1, \"unit\": \"V\", \"value\": 3 }")
                                  << "unit \"V\" differs from the parameter set's \"mV\"";
    QTest::newRow("a value given twice")
        << fileWith("{ \"id\": 1, \"value\": 3650,\n \"value\": 3600 }")
        << "parameters[0]: \"value\" is given twice (line 2, column 2)";
    QTest::newRow("the serial given twice")
        << QByteArray("{ \"serial\": \"A\", \"parameters\": [], \"ser\\u0069al\": \"B\" }")
        << "\"serial\" is given twice (line 1, column 36)";
    QTest::newRow("entry not an object") << fileWith("7") << "parameters[0] is not an object";
}

void TestParameterFile::refusesWithAReason()
{
    QFETCH(QByteArray, json);
    QFETCH(QString, reason);
    const ParameterCatalogue catalogue;
    ParameterFile read;
    read.serial = QStringLiteral("untouched");
    QString error;
    QVERIFY(!ParameterFile::fromJson(json, catalogue, &read, &error));
    QVERIFY2(error.contains(reason), qPrintable(error));
    QCOMPARE(read.serial, QStringLiteral("untouched"));
}

void TestParameterFile::rangeFollowsTheOffset()
{
    const ParameterCatalogue catalogue;
    const int temperature = catalogue.positionOf(37);
    QCOMPARE(catalogue.item(temperature).offset, 40u);
    QCOMPARE(catalogue.minimum(temperature), qint64(-40));
    QCOMPARE(catalogue.maximum(temperature), qint64(2147483647));
    QCOMPARE(catalogue.minimum(catalogue.positionOf(1)), qint64(0));
    QCOMPARE(catalogue.name(catalogue.positionOf(1)), QStringLiteral("Cell Over Charge / ALARM"));
}

QTEST_GUILESS_MAIN(TestParameterFile)
#include "tst_parameterfile.moc"
