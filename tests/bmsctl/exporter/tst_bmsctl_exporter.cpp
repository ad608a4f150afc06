// bmsctl exporter end to end: bms-sim on the bus, the exporter, and Debian's Prometheus of the
// test's own scraping it every second, asked through its HTTP query API.

#include "bmsctlrun.h"
#include "support/readyprocess.h"
#include "support/simprocess.h"
#include "support/testport.h"

#include "signals/signalindex.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QTemporaryDir>
#include <QUrlQuery>
#include <QtTest>

namespace {

constexpr double ForcedCellVolts = 3.456;
const QString Site = QStringLiteral("barn");

} // namespace

class TestBmsctlExporter : public QObject
{
    Q_OBJECT

private slots:
    void prometheusSeesTheBank();
    void refusesWhatItCannotServe_data();
    void refusesWhatItCannotServe();
    void basicAuthenticationGuardsTheMetrics();

private:
    // The result vector of an instant query; empty on any failure.
    QJsonArray query(const QString &expression);
    double value(const QString &expression)
    {
        const QJsonArray result = query(expression);
        return result.isEmpty() ? qQNaN()
                                : result.first()["value"].toArray().at(1).toString().toDouble();
    }

    QNetworkAccessManager m_network;
    quint16 m_prometheusPort = 0;
};

QJsonArray TestBmsctlExporter::query(const QString &expression)
{
    QUrl url(QStringLiteral("http://127.0.0.1:%1/api/v1/query").arg(m_prometheusPort));
    QUrlQuery parameters;
    parameters.addQueryItem(QStringLiteral("query"), expression);
    url.setQuery(parameters);
    QNetworkReply *reply = m_network.get(QNetworkRequest(url));
    if (!QTest::qWaitFor([reply] { return reply->isFinished(); }, 5000))
        reply->abort();
    const QJsonObject answer = QJsonDocument::fromJson(reply->readAll()).object();
    reply->deleteLater();
    return answer["data"].toObject()["result"].toArray();
}

void TestBmsctlExporter::prometheusSeesTheBank()
{
    // Three batteries; the third with a cell voltage of its own, silent for good after 20 s.
    SimProcess sim;
    QVERIFY(sim.start({ "--packs", "1,2,3", "--fault-packs", "3", "--force",
        QStringLiteral("%1=%2").arg(Signal::Volt1).arg(ForcedCellVolts), "--silent-after", "20" }));
    const quint16 exporterPort = TestPort::pick();
    ReadyProcess exporter;
    QVERIFY2(exporter.start(BMSCTL_PATH,
                 { "exporter", "--bus", "virtualcan:" + sim.interfaceName(), "--site", Site,
                     "--listen", QStringLiteral("127.0.0.1:%1").arg(exporterPort) },
                 "serving the batteries"),
        exporter.output().constData());

    QTemporaryDir dir;
    QFile config(dir.filePath("prometheus.yml"));
    QVERIFY(config.open(QIODevice::WriteOnly));
    config.write(QStringLiteral("global:\n  scrape_interval: 1s\nscrape_configs:\n  - job_name: "
                                "bms\n    static_configs:\n      - targets: [\"127.0.0.1:%1\"]\n")
                     .arg(exporterPort)
                     .toUtf8());
    config.close();
    m_prometheusPort = TestPort::pick();
    ReadyProcess prometheus;
    QVERIFY2(
        prometheus.start("prometheus",
            { "--config.file=" + config.fileName(), "--storage.tsdb.path=" + dir.filePath("data"),
                QStringLiteral("--web.listen-address=127.0.0.1:%1").arg(m_prometheusPort) },
            "Server is ready to receive web requests"),
        prometheus.output().constData());

    QTRY_COMPARE_WITH_TIMEOUT(value("count(bms_up == 1)"), 3.0, 15000);
    QVERIFY(qAbs(value(QStringLiteral("bms_cell_voltage_volts{battery=\"3\",cell=\"1\"}"))
                - ForcedCellVolts)
        < 0.0005);

    // Every expression of the dashboard, for this site, has data.
    QFile file(QStringLiteral(BMSCTL_TEST_SOURCE "/../../dist/grafana/bank-dashboard.json"));
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QJsonArray panels = QJsonDocument::fromJson(file.readAll()).object()["panels"].toArray();
    int expressions = 0;
    for (const QJsonValue &panel : panels) {
        for (const QJsonValue &target : panel["targets"].toArray()) {
            const QString expression
                = target["expr"].toString().replace(QLatin1String("$site"), Site);
            QVERIFY2(!query(expression).isEmpty(), qPrintable(expression));
            ++expressions;
        }
    }
    QVERIFY(expressions >= panels.size());

    // The silenced battery: up 0, and its other series stop.
    const QString third = QStringLiteral("bms_up{battery=\"3\"}");
    QTRY_COMPARE_WITH_TIMEOUT(value(third), 0.0, 30000);
    QVERIFY(query(QStringLiteral("bms_cell_voltage_volts{battery=\"3\"}")).isEmpty());
    QCOMPARE(value("count(bms_up == 1)"), 2.0);
}

void TestBmsctlExporter::refusesWhatItCannotServe_data()
{
    QTest::addColumn<QStringList>("options");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QString>("said");

    QTest::newRow("no address") << QStringList { "--listen", "300.1.1.1:80" } << 2
                                << "--listen takes HOST:PORT";
    QTest::newRow("no port") << QStringList { "--listen", "127.0.0.1" } << 2
                             << "--listen takes HOST:PORT";
    QTest::newRow("a user without a password")
        << QStringList { "--username", "prometheus" } << 2 << "go together";
    QTest::newRow("a port taken") << QStringList() << 1 << "cannot serve on 127.0.0.1:";
}

void TestBmsctlExporter::refusesWhatItCannotServe()
{
    QFETCH(QStringList, options);
    QFETCH(int, exitCode);
    QFETCH(QString, said);

    SimProcess sim;
    QVERIFY(sim.start({ "--packs", "1,2" }));
    QTcpServer taken;
    QVERIFY(taken.listen(QHostAddress::LocalHost, TestPort::pick()));
    const BmsctlRun run
        = BmsctlRun::run(QStringList { "exporter", "--bus", "virtualcan:" + sim.interfaceName(),
                             "--listen", QStringLiteral("127.0.0.1:%1").arg(taken.serverPort()) }
            + options);
    QCOMPARE(run.exitCode, exitCode);
    QVERIFY2(run.err.contains(said), run.said());
}

void TestBmsctlExporter::basicAuthenticationGuardsTheMetrics()
{
    SimProcess sim;
    QVERIFY(sim.start({ "--packs", "1,2" }));
    QTemporaryDir dir;
    QFile password(dir.filePath("password"));
    QVERIFY(password.open(QIODevice::WriteOnly));
    password.write("s3cret\n");
    password.close();
    const quint16 port = TestPort::pick();
    ReadyProcess exporter;
    QVERIFY(exporter.start(BMSCTL_PATH,
        { "exporter", "--bus", "virtualcan:" + sim.interfaceName(), "--listen",
            QStringLiteral("127.0.0.1:%1").arg(port), "--username", "prometheus", "--password-file",
            password.fileName() },
        "serving the batteries"));
    const auto status = [&](const QString &credentials) {
        QUrl url(QStringLiteral("http://127.0.0.1:%1/metrics").arg(port));
        url.setUserInfo(credentials);
        QNetworkReply *reply = m_network.get(QNetworkRequest(url));
        if (!QTest::qWaitFor([reply] { return reply->isFinished(); }, 5000))
            reply->abort();
        reply->deleteLater();
        return reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    };
    QCOMPARE(status("prometheus:s3cret"), 200);
    QCOMPARE(status("prometheus:wrong"), 401);
    QCOMPARE(status(QString()), 401);
}

QTEST_GUILESS_MAIN(TestBmsctlExporter)
#include "tst_bmsctl_exporter.moc"
