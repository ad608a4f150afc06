// The compiled-in parameter name table that threshold.cfg's name ids point into.

#include "settings/parameternametable.h"

#include <QtTest>

class TestParameterNameTable : public QObject
{
    Q_OBJECT

private slots:
    void readsTheCompiledInTable_data();
    void readsTheCompiledInTable();
    void idsOutsideTheTableHaveNoName();
};

void TestParameterNameTable::readsTheCompiledInTable_data()
{
    QTest::addColumn<uint>("id");
    QTest::addColumn<QString>("english");
    QTest::addColumn<QString>("chinese");
    QTest::newRow("first group title") << 1u << "Cell Over Charge" << QString::fromUtf8("单体过充");
    QTest::newRow("last group title") << 13u << "Other Settings" << QString::fromUtf8("其它设置");
    QTest::newRow("first item name") << 14u << "ALARM" << QString::fromUtf8("告警产生值");
    QTest::newRow("last entry") << 28u << "SOH Setting" << QString::fromUtf8("当前SOH");
}

void TestParameterNameTable::readsTheCompiledInTable()
{
    QFETCH(uint, id);
    QFETCH(QString, english);
    QFETCH(QString, chinese);
    const ParameterNameTable table;
    QCOMPARE(table.size(), 28);
    QCOMPARE(table.english(id), english);
    QCOMPARE(table.chinese(id), chinese);
}

void TestParameterNameTable::idsOutsideTheTableHaveNoName()
{
    const ParameterNameTable table;
    QVERIFY(table.english(0).isEmpty());
    QVERIFY(table.english(29).isEmpty());
    QCOMPARE(ParameterNameTable(QStringLiteral("/no/such/file.csv")).size(), 0);
}

QTEST_GUILESS_MAIN(TestParameterNameTable)
#include "tst_parameternametable.moc"
