// A report made once prints as a table or as JSON: the same rows both ways.

#include "cli/report.h"

#include <QJsonDocument>
#include <QtTest>

#include <functional>

using MakeReport = std::function<Report()>;
Q_DECLARE_METATYPE(MakeReport)

class TestReport : public QObject
{
    Q_OBJECT

private slots:
    void sameRowsAsTableAndAsJson_data();
    void sameRowsAsTableAndAsJson();
};

namespace {

Report batteries()
{
    return Report(QStringLiteral("batteries"),
        { { QStringLiteral("ID"), QStringLiteral("id"), Report::Right },
            { QStringLiteral("Serial"), QStringLiteral("serial") },
            { QStringLiteral("Drift"), QStringLiteral("drift") } });
}

} // namespace

void TestReport::sameRowsAsTableAndAsJson_data()
{
    QTest::addColumn<MakeReport>("make");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QByteArray>("json");

    QTest::newRow("a cell is one value both ways")
        << MakeReport([] {
               Report report = batteries();
               report.addRow().cell(QStringLiteral("id"), 1).cell(QStringLiteral("serial"), "QM1");
               report.addRow()
                   .cell(QStringLiteral("id"), 12)
                   .cell(QStringLiteral("serial"), "QM12");
               return report;
           })
        << QStringLiteral("ID  Serial  Drift\n 1  QM1\n12  QM12\n")
        << QByteArray(R"({"batteries":[{"id":1,"serial":"QM1"},{"id":12,"serial":"QM12"}]})");
    QTest::newRow("a text for people, a value for scripts")
        << MakeReport([] {
               Report report = batteries();
               report.addRow()
                   .cell(QStringLiteral("id"), 1)
                   .cell(QStringLiteral("serial"), QStringLiteral("(no reply)"), QJsonValue())
                   .text(QStringLiteral("drift"), QStringLiteral("+3 s"))
                   .field(QStringLiteral("driftSeconds"), 3);
               return report;
           })
        << QStringLiteral("ID  Serial      Drift\n 1  (no reply)  +3 s\n")
        << QByteArray(R"({"batteries":[{"driftSeconds":3,"id":1,"serial":null}]})");
    QTest::newRow("no rows: the header alone")
        << MakeReport(batteries) << QStringLiteral("ID  Serial  Drift\n")
        << QByteArray(R"({"batteries":[]})");
    QTest::newRow("no rows, table left out: the lines")
        << MakeReport([] {
               Report report = batteries();
               report.omitEmptyTable();
               report.addHeading(QStringLiteral("A: a.json"));
               report.addLine(QStringLiteral("No differences."));
               report.setField(QStringLiteral("a"), QStringLiteral("a.json"));
               return report;
           })
        << QStringLiteral("A: a.json\nNo differences.\n")
        << QByteArray(R"({"a":"a.json","batteries":[]})");
    QTest::newRow("no columns: a line or fields") << MakeReport([] {
        Report report;
        report.addLine(QStringLiteral("12 frames recorded"));
        report.setField(QStringLiteral("frames"), 12);
        return report;
    }) << QStringLiteral("12 frames recorded\n") << QByteArray(R"({"frames":12})");
}

void TestReport::sameRowsAsTableAndAsJson()
{
    QFETCH(MakeReport, make);
    QFETCH(QString, text);
    QFETCH(QByteArray, json);
    const Report report = make();
    QCOMPARE(report.text(), text);
    QCOMPARE(QJsonDocument(report.json()).toJson(QJsonDocument::Compact), json);
}

QTEST_GUILESS_MAIN(TestReport)
#include "tst_report.moc"
