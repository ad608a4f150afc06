// canbus.ini: which bus the program (when no vendor library is there) and the simulator join.

#include "can/canbusconfig.h"

#include <QCanBusDevice>
#include <QCoreApplication>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

class TestCanBusConfig : public QObject
{
    Q_OBJECT

private slots:
    void defaultsWithoutAFile();
    void readsPluginAndInterface_data();
    void readsPluginAndInterface();
    void looksBesideTheExecutable();
    void createsAnUnconnectedDevice();
    void unknownPluginGivesAReason();

private:
    QString writeFile(const QByteArray &content);

    QTemporaryDir m_dir;
    int m_files = 0;
};

QString TestCanBusConfig::writeFile(const QByteArray &content)
{
    const QString path = m_dir.filePath(QStringLiteral("canbus%1.ini").arg(++m_files));
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return {};
    file.write(content);
    return path;
}

void TestCanBusConfig::defaultsWithoutAFile()
{
    const CanBusConfig config = CanBusConfig::fromFile(m_dir.filePath(QStringLiteral("none.ini")));
    QCOMPARE(config.plugin(), QStringLiteral("virtualcan"));
    QCOMPARE(config.interfaceName(), QStringLiteral("can0"));
    QCOMPARE(config, CanBusConfig());
    QCOMPARE(config.description(), QStringLiteral("virtualcan can0"));
    // Reading must not leave a file behind.
    QVERIFY(!QFile::exists(m_dir.filePath(QStringLiteral("none.ini"))));
}

void TestCanBusConfig::readsPluginAndInterface_data()
{
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<QString>("plugin");
    QTest::addColumn<QString>("interfaceName");
    QTest::addColumn<int>("serialSpeed");
    const int usual = CanBusConfig::DefaultSerialSpeed;

    QTest::newRow("socketcan can0")
        << QByteArray("plugin=socketcan\ninterface=can0\n") << "socketcan"
        << "can0" << usual;
    QTest::newRow("serial-line adapter")
        << QByteArray("plugin=slcan\ninterface=/dev/ttyACM0\n") << "slcan"
        << "/dev/ttyACM0" << usual;
    QTest::newRow("serial-line adapter at its own speed")
        << QByteArray("plugin=slcan\ninterface=COM5\nserialspeed=921600\n") << "slcan"
        << "COM5" << 921600;
    QTest::newRow("a speed that is no number is the default")
        << QByteArray("plugin=slcan\ninterface=COM5\nserialspeed=fast\n") << "slcan"
        << "COM5" << usual;
    QTest::newRow("virtual bus on its own port")
        << QByteArray("plugin=virtualcan\ninterface=\"tcp://127.0.0.1:35500/can0\"\n")
        << "virtualcan"
        << "tcp://127.0.0.1:35500/can0" << usual;
    QTest::newRow("URL without quotes")
        << QByteArray("plugin=virtualcan\ninterface=tcp://127.0.0.1:35500/can0\n") << "virtualcan"
        << "tcp://127.0.0.1:35500/can0" << usual;
    QTest::newRow("interface only") << QByteArray("interface=can1\n") << "virtualcan"
                                    << "can1" << usual;
    QTest::newRow("plugin only") << QByteArray("plugin=socketcan\n") << "socketcan"
                                 << "can0" << usual;
    QTest::newRow("empty values are defaults")
        << QByteArray("plugin=\ninterface=  \n") << "virtualcan"
        << "can0" << usual;
    QTest::newRow("keys in a section are not read")
        << QByteArray("[bus]\nplugin=socketcan\n") << "virtualcan"
        << "can0" << usual;
}

void TestCanBusConfig::readsPluginAndInterface()
{
    QFETCH(QByteArray, content);
    QFETCH(QString, plugin);
    QFETCH(QString, interfaceName);
    QFETCH(int, serialSpeed);

    const QString path = writeFile(content);
    QVERIFY(!path.isEmpty());
    const CanBusConfig config = CanBusConfig::fromFile(path);
    QCOMPARE(config.plugin(), plugin);
    QCOMPARE(config.interfaceName(), interfaceName);
    QCOMPARE(config.serialSpeed(), serialSpeed);
}

void TestCanBusConfig::looksBesideTheExecutable()
{
    QCOMPARE(CanBusConfig::filePathBesideExecutable(),
        QCoreApplication::applicationDirPath() + QStringLiteral("/canbus.ini"));
}

void TestCanBusConfig::createsAnUnconnectedDevice()
{
    QString reason;
    const auto device = CanBusConfig().createDevice(&reason);
    QVERIFY2(device, qPrintable(reason));
    QCOMPARE(device->state(), QCanBusDevice::UnconnectedState);
}

void TestCanBusConfig::unknownPluginGivesAReason()
{
    QString reason;
    const CanBusConfig config(QStringLiteral("nosuchplugin"), QStringLiteral("can0"));
    const auto device = config.createDevice(&reason);
    QVERIFY(!device);
    QVERIFY(!reason.isEmpty());
}

QTEST_GUILESS_MAIN(TestCanBusConfig)
#include "tst_canbusconfig.moc"
