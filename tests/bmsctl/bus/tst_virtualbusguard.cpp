// The guard between the virtual CAN plugin and a server on a mistyped port: frames pass, and
// what is no frame closes the bus with a message instead of reaching the plugin.

#include "bus/virtualbusguard.h"

#include <QSignalSpy>
#include <QTcpServer>
#include <QTcpSocket>
#include <QtTest>

class TestVirtualBusGuard : public QObject
{
    Q_OBJECT

private slots:
    void whatTheServerSends_data();
    void whatTheServerSends();
};

void TestVirtualBusGuard::whatTheServerSends_data()
{
    QTest::addColumn<QByteArray>("sent");
    QTest::addColumn<QString>("said"); // empty: the bytes reach the plugin
    QTest::newRow("frames") << QByteArray("123#00#0102\n18ff0180#00#01\n") << QString();
    QTest::newRow("a greeting") << QByteArray("220 mail.example ESMTP\n")
                                << "is no virtual CAN bus server: it sent \"220 mail.example";
    QTest::newRow("a stream without a line end") << QByteArray(VirtualBusGuard::MaxLineLength + 1,
        '#') << "is no virtual CAN bus server: it sent more than 1024 bytes without a line end";
    QTest::newRow("a line longer than any frame's")
        << QByteArray(VirtualBusGuard::MaxLineLength + 1, '#') + '\n'
        << "\"####";
}

void TestVirtualBusGuard::whatTheServerSends()
{
    QFETCH(QByteArray, sent);
    QFETCH(QString, said);
    QTcpServer server;
    QVERIFY(server.listen(QHostAddress::LocalHost));
    VirtualBusGuard guard;
    QSignalSpy refused(&guard, &VirtualBusGuard::foreignLine);
    QString error;
    // The server answers nothing while start() waits for its first line (this thread serves
    // neither), so the guard stands in between.
    const QString interface = guard.start(
        QStringLiteral("tcp://127.0.0.1:%1/can0").arg(server.serverPort()), &error);
    QVERIFY2(!interface.isEmpty(), qPrintable(error));
    const QUrl local(interface);
    QTcpSocket plugin;
    plugin.connectToHost(local.host(), quint16(local.port()));
    QVERIFY(plugin.waitForConnected(3000));
    QTRY_VERIFY(server.hasPendingConnections());
    // The guard's own connection came first, its question's second.
    QTcpSocket *relayed = server.nextPendingConnection();
    relayed->write(sent);

    if (said.isEmpty()) {
        QByteArray received;
        QTRY_VERIFY((received += plugin.readAll()) == sent);
        QCOMPARE(refused.count(), 0);
        return;
    }
    QTRY_COMPARE(refused.count(), 1);
    const QString reason = refused.at(0).at(0).toString();
    QVERIFY2(reason.contains(said), qPrintable(reason));
    QTRY_COMPARE(plugin.state(), QAbstractSocket::UnconnectedState);
    QVERIFY(plugin.readAll().isEmpty());
}

QTEST_GUILESS_MAIN(TestVirtualBusGuard)
#include "tst_virtualbusguard.moc"
