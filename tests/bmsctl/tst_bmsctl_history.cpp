// bmsctl history against bms-sim: every battery's log read and saved as the window saves it, and
// compared with the log the simulator holds; records with a wrong CRC; a folder that takes no
// file; an unknown battery and wrong command lines.

#include "records/historyrecords.h"
#include "support/failingfiles.h"
#include "support/parameterset.h"
#include "support/savedlines.h"
#include "support/simprocess.h"

#include "bmsctlrun.h"

#include <QDir>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>
#include <QTemporaryDir>

namespace {

using SavedLines::cells;
using SavedLines::csvLines;

// The records the simulator holds for a battery, as --history-dump wrote them.
QList<QByteArray> simulatorLog(const QString &folder, int devId)
{
    return SavedLines::hexRecords(
        QDir(folder).filePath(QStringLiteral("history-%1.hex").arg(devId)));
}

QJsonArray batteriesOf(const BmsctlRun &run)
{
    return QJsonDocument::fromJson(run.out.toUtf8()).object().value("batteries").toArray();
}

} // namespace

class TestBmsctlHistory : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();

    void everyBatteryIntoItsOwnFileAsTheSimulatorHoldsIt();
    void recordsWithAWrongCrcAreRejectedAndTheRestKept();
    void badInputs();

private:
    QString bus() const { return QStringLiteral("virtualcan:") + m_sim.interfaceName(); }

    QTemporaryDir m_dir;
    SimProcess m_sim;
};

void TestBmsctlHistory::initTestCase()
{
    QVERIFY(m_dir.isValid());
    QVERIFY(ParameterSet::install(ParameterSet::shipped()));
    QVERIFY(QDir().mkpath(m_dir.filePath("dump")));
    // A slow cycle: no alarm adds an event to a log while it is read.
    QVERIFY2(m_sim.start({ "--packs", "1,2,3,12", "--speed", "1", "--history-dump",
                 m_dir.filePath("dump") }),
        m_sim.output().constData());
}

void TestBmsctlHistory::cleanupTestCase()
{
    m_sim.stop();
}

void TestBmsctlHistory::everyBatteryIntoItsOwnFileAsTheSimulatorHoldsIt()
{
    // A folder that is not there yet is made.
    const QString out = m_dir.filePath("site/logs");
    const BmsctlRun run
        = BmsctlRun::run({ "history", "--bus", bus(), "--all", "--out", out, "--json" });
    QVERIFY2(run.exitCode == 0, run.said());
    const QJsonArray batteries = batteriesOf(run);
    QCOMPARE(batteries.size(), 4);

    const int ids[] = { 1, 2, 3, 12 };
    QStringList files;
    for (int i = 0; i < 4; ++i) {
        const QJsonObject battery = batteries.at(i).toObject();
        const int devId = ids[i];
        QCOMPARE(battery.value("id").toInt(), devId);
        QTRY_VERIFY(
            QFile::exists(m_dir.filePath(QStringLiteral("dump/history-%1.hex").arg(devId))));
        const QList<QByteArray> log = simulatorLog(m_dir.filePath("dump"), devId);
        QVERIFY(log.size() >= 20);
        QCOMPARE(battery.value("announced").toInt(), log.size());
        QCOMPARE(battery.value("read").toInt(), log.size());
        QCOMPARE(battery.value("rejectedBadCrc").toInt(), 0);
        QCOMPARE(battery.value("rejectedWrongBattery").toInt(), 0);
        QCOMPARE(battery.value("whole").toBool(), true);
        QCOMPARE(battery.value("result").toString(), QStringLiteral("read whole"));

        const QString path = battery.value("file").toString();
        const QRegularExpression name(
            QStringLiteral("^historyEvent\\.%1\\.\\d{14}\\.csv$").arg(devId));
        QVERIFY2(name.match(QFileInfo(path).fileName()).hasMatch(), qPrintable(path));
        QCOMPARE(QFileInfo(path).absolutePath(), QFileInfo(out).absoluteFilePath());
        files.append(QFileInfo(path).fileName());

        // The window's format: the column names, then each record as the window shows it.
        const QList<QByteArray> lines = csvLines(path);
        QCOMPARE(lines.size(), 1 + log.size());
        QCOMPARE(cells(lines.at(0)), HistoryRecordText::columnNames());
        for (int record = 0; record < log.size(); ++record)
            QCOMPARE(cells(lines.at(1 + record)), HistoryRecords::rowOf(log.at(record), devId));
    }
    // One run, one time in every name; nothing else left in the folder.
    QCOMPARE(files.at(0).section('.', 2, 2), files.at(3).section('.', 2, 2));
    files.sort();
    QCOMPARE(FailingFiles::filesIn(out), files);
}

void TestBmsctlHistory::recordsWithAWrongCrcAreRejectedAndTheRestKept()
{
    // Battery 5 sends most of its records with a wrong CRC; battery 4 is sound.
    QTemporaryDir dump;
    SimProcess sim;
    QVERIFY2(sim.start({ "--packs", "4,5", "--speed", "1", "--history-events", "30",
                 "--fault-packs", "5", "--bad-crc", "0.7", "--history-dump", dump.path() }),
        sim.output().constData());
    const QString out = m_dir.filePath("damaged");
    const BmsctlRun run = BmsctlRun::run({ "history", "--bus",
        QStringLiteral("virtualcan:") + sim.interfaceName(), "--all", "--out", out, "--json" });
    QVERIFY2(run.exitCode == 1, run.said());
    QVERIFY2(run.err.contains("1 of 2 history logs not saved whole; 1 partly read log saved as "
                              "*.incomplete.csv"),
        run.said());
    const QJsonArray batteries = batteriesOf(run);
    QCOMPARE(batteries.size(), 2);

    const QJsonObject sound = batteries.at(0).toObject();
    QCOMPARE(sound.value("id").toInt(), 4);
    QCOMPARE(sound.value("whole").toBool(), true);
    QCOMPARE(sound.value("read").toInt(), 30);
    QVERIFY(!sound.value("file").toString().endsWith(".incomplete.csv"));

    const QJsonObject damaged = batteries.at(1).toObject();
    QCOMPARE(damaged.value("id").toInt(), 5);
    QCOMPARE(damaged.value("whole").toBool(), false);
    QCOMPARE(damaged.value("result").toString(), QStringLiteral("INCOMPLETE: records rejected"));
    QCOMPARE(damaged.value("announced").toInt(), 30);
    const int read = damaged.value("read").toInt();
    const int rejected = damaged.value("rejectedBadCrc").toInt();
    QVERIFY2(rejected > 0, run.said());
    QCOMPARE(read + rejected, 30);

    // What was read is saved, under a name that says it is not the whole log, and every row is
    // one of the battery's records, in its order.
    const QString path = damaged.value("file").toString();
    QVERIFY2(path.endsWith(".incomplete.csv"), qPrintable(path));
    const QList<QByteArray> lines = csvLines(path);
    QCOMPARE(lines.size(), 1 + read);
    QTRY_VERIFY(QFile::exists(dump.filePath("history-5.hex")));
    const QList<QByteArray> log = simulatorLog(dump.path(), 5);
    int next = 0;
    for (int row = 1; row < lines.size(); ++row) {
        while (next < log.size() && HistoryRecords::rowOf(log.at(next), 5) != cells(lines.at(row)))
            ++next;
        QVERIFY2(next < log.size(), lines.at(row).constData());
        ++next;
    }
}

void TestBmsctlHistory::badInputs()
{
    // A folder that takes no file: found before the bus is opened, nothing read.
    const QString unwritable = FailingFiles::unwritableFolder(m_dir);
    QVERIFY(!unwritable.isEmpty());
    const BmsctlRun folder
        = BmsctlRun::run({ "history", "--bus", bus(), "--all", "--out", unwritable });
    QVERIFY2(folder.exitCode == 1, folder.said());
    QVERIFY2(folder.err.contains(QStringLiteral("cannot write into the folder %1").arg(unwritable))
            && folder.err.contains("nothing read") && folder.out.isEmpty(),
        folder.said());

    const QString out = m_dir.filePath("unknown");
    const BmsctlRun unknown
        = BmsctlRun::run({ "history", "--bus", bus(), "--id", "9", "--out", out });
    QVERIFY2(unknown.exitCode == 1, unknown.said());
    QVERIFY2(unknown.out.contains("FAILED: not on the bus")
            && unknown.err.contains("battery 9 is not on the bus (heard in 2 s: 1, 2, 3, 12)"),
        unknown.said());
    QCOMPARE(FailingFiles::filesIn(out), QStringList());

    const struct
    {
        QStringList arguments;
        const char *message;
    } wrong[] = {
        { { "history", "--out", out }, "--id or --all is needed" },
        { { "history", "--id", "1", "--all", "--out", out }, "--id and --all exclude each other" },
        { { "history", "--all" }, "--out is needed" },
        { { "history", "--id", "28", "--out", out }, "battery numbers are 0 to 27" },
    };
    for (const auto &line : wrong) {
        const BmsctlRun run = BmsctlRun::run(line.arguments);
        QVERIFY2(run.exitCode == 2, run.said());
        QVERIFY2(run.err.contains(line.message), run.said());
    }
}

QTEST_GUILESS_MAIN(TestBmsctlHistory)
#include "tst_bmsctl_history.moc"
