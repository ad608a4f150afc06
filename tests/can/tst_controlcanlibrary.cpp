// The run-time loader of the vendor library and the factory's choice, against the fake library
// beside this executable and a copy of it that lacks VCI_ReadErrInfo.

#include "can/adaptertype.h"
#include "can/canbusfactory.h"
#include "can/controlcan/controlcanbus.h"
#include "can/controlcan/controlcanlibrary.h"
#include "can/qtcanbus/qtcanbus.h"
#include "can/slcan/slcanbus.h"
#include "fakecontrolcanclient.h"

#include <QCoreApplication>
#include <QtTest>

namespace {

QString besideExecutable(const QString &fileName)
{
    return QCoreApplication::applicationDirPath() + QLatin1Char('/') + fileName;
}

QString fakeLibraryPath()
{
    return besideExecutable(ControlCanLibrary::platformFileName());
}

// QLibrary completes the platform's prefix and suffix.
QString incompleteLibraryPath()
{
    return besideExecutable(QStringLiteral("ControlCANIncomplete"));
}

} // namespace

class TestControlCanLibrary : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();

    void loadsTheFakeAndCallsThrough();
    void refusesALibraryMissingAFunction();
    void reportsEveryCandidateThatFailed();
    void triesCandidatesInOrder();
    void factoryLooksBesideTheExecutableFirst();
    void factoryPicksTheLibraryWhenPresent();
    void factoryUsesAChosenBusOverTheLibrary();

private:
    std::unique_ptr<FakeControlCanClient> m_fake;
};

void TestControlCanLibrary::initTestCase()
{
    m_fake = std::make_unique<FakeControlCanClient>(fakeLibraryPath());
    QVERIFY2(m_fake->isLoaded(), qPrintable(m_fake->errorString()));
}

void TestControlCanLibrary::init()
{
    m_fake->reset();
}

void TestControlCanLibrary::loadsTheFakeAndCallsThrough()
{
    QString reason;
    const auto library = ControlCanLibrary::load({ fakeLibraryPath() }, &reason);
    QVERIFY2(library, qPrintable(reason));
    QCOMPARE(library->fileName(), fakeLibraryPath());
    QVERIFY(library->description().contains(fakeLibraryPath()));

    // Every one of the nine reaches its export with its arguments in order.
    QCOMPARE(library->openDevice(AdapterType::UsbCan2, 1, 0), VCI_STATUS_OK);
    VCI_INIT_CONFIG config {};
    config.AccMask = 0xFFFFFFFF;
    config.Timing0 = 0x01;
    config.Timing1 = 0x1C;
    QCOMPARE(library->initCan(AdapterType::UsbCan2, 1, 2, &config), VCI_STATUS_OK);
    std::uint32_t reference = 0x1C0008;
    QCOMPARE(library->setReference(AdapterType::UsbCan2, 1, 2, 0, &reference), VCI_STATUS_OK);
    QCOMPARE(library->clearBuffer(AdapterType::UsbCan2, 1, 2), VCI_STATUS_OK);
    QCOMPARE(library->startCan(AdapterType::UsbCan2, 1, 2), VCI_STATUS_OK);
    VCI_CAN_OBJ frame {};
    frame.ID = 0x18100080;
    frame.DataLen = 1;
    QCOMPARE(library->transmit(AdapterType::UsbCan2, 1, 2, &frame, 1), 1u);
    VCI_CAN_OBJ frames[4] {};
    m_fake->queueReceive(frame);
    QCOMPARE(library->receive(AdapterType::UsbCan2, 1, 2, frames, 4, 0), 1u);
    QCOMPARE(frames[0].ID, 0x18100080u);
    VCI_ERR_INFO errorInfo {};
    m_fake->setError(3, 1);
    QCOMPARE(library->readErrInfo(AdapterType::UsbCan2, 1, 2, &errorInfo), VCI_STATUS_OK);
    QCOMPARE(errorInfo.ErrCode, 3u);
    QCOMPARE(library->closeDevice(AdapterType::UsbCan2, 1), VCI_STATUS_OK);

    const std::vector<int> expected { FAKE_OPEN_DEVICE, FAKE_INIT_CAN, FAKE_SET_REFERENCE,
        FAKE_CLEAR_BUFFER, FAKE_START_CAN, FAKE_TRANSMIT, FAKE_RECEIVE, FAKE_READ_ERR_INFO,
        FAKE_CLOSE_DEVICE };
    std::vector<int> called;
    for (const FakeCall &call : m_fake->allCalls()) {
        called.push_back(call.function);
        QCOMPARE(call.deviceType, std::uint32_t(AdapterType::UsbCan2));
        QCOMPARE(call.deviceIndex, 1u);
        if (call.function != FAKE_OPEN_DEVICE && call.function != FAKE_CLOSE_DEVICE)
            QCOMPARE(call.channel, 2u);
    }
    QCOMPARE(called, expected);

    FakeCall call {};
    QVERIFY(m_fake->lastCall(FAKE_INIT_CAN, &call));
    QCOMPARE(int(call.config.Timing1), 0x1C);
    QVERIFY(m_fake->lastCall(FAKE_SET_REFERENCE, &call));
    QCOMPARE(call.reference, 0x1C0008u);
    QVERIFY(m_fake->lastCall(FAKE_RECEIVE, &call));
    QCOMPARE(call.argument, 4u);
}

void TestControlCanLibrary::refusesALibraryMissingAFunction()
{
    QString reason;
    const auto library = ControlCanLibrary::load({ incompleteLibraryPath() }, &reason);
    QVERIFY(!library);
    // QLibrary's own words, which name the missing function.
    QVERIFY2(reason.contains(QLatin1String("VCI_ReadErrInfo")), qPrintable(reason));
}

void TestControlCanLibrary::reportsEveryCandidateThatFailed()
{
    const QString missing = besideExecutable(QStringLiteral("NoSuchControlCAN.so"));
    QString reason;
    const auto library = ControlCanLibrary::load({ missing, incompleteLibraryPath() }, &reason);
    QVERIFY(!library);
    const QStringList lines = reason.split(QLatin1Char('\n'));
    QCOMPARE(lines.size(), 2);
    QVERIFY2(lines.at(0).contains(QLatin1String("NoSuchControlCAN")), qPrintable(reason));
    QVERIFY2(lines.at(1).contains(QLatin1String("VCI_ReadErrInfo")), qPrintable(reason));

    QVERIFY(!ControlCanLibrary::load({}, &reason));
    QVERIFY(!reason.isEmpty());
}

void TestControlCanLibrary::triesCandidatesInOrder()
{
    // An unusable first candidate does not stop a usable second one.
    QString reason;
    const auto library
        = ControlCanLibrary::load({ incompleteLibraryPath(), fakeLibraryPath() }, &reason);
    QVERIFY2(library, qPrintable(reason));
    QCOMPARE(library->fileName(), fakeLibraryPath());
}

void TestControlCanLibrary::factoryLooksBesideTheExecutableFirst()
{
    const QStringList candidates = CanBusFactory::libraryCandidates();
    QCOMPARE(candidates.size(), 2);
    QCOMPARE(candidates.at(0), fakeLibraryPath());
    QCOMPARE(candidates.at(1), QStringLiteral("ControlCAN"));
}

void TestControlCanLibrary::factoryPicksTheLibraryWhenPresent()
{
    const std::unique_ptr<CanBus> bus(CanBusFactory::create());
    auto *vendor = qobject_cast<ControlCanBus *>(bus.get());
    QVERIFY(vendor);
    auto *library = dynamic_cast<ControlCanLibrary *>(vendor->api().get());
    QVERIFY(library);
    QCOMPARE(library->fileName(), fakeLibraryPath());
}

void TestControlCanLibrary::factoryUsesAChosenBusOverTheLibrary()
{
    // A library lies beside this executable, yet a bus named by the program wins, a serial-line
    // adapter by its plugin name; taking the choice back returns to the library.
    const CanBusConfig bus(QStringLiteral("virtualcan"), QStringLiteral("tcp://127.0.0.1:1/can7"));
    CanBusFactory::setChosenBus(bus);
    const std::unique_ptr<CanBus> chosen(CanBusFactory::create());
    CanBusFactory::setChosenBus(CanBusConfig(CanBusConfig::slcanPlugin(), "/dev/ttyACM0"));
    const std::unique_ptr<CanBus> serial(CanBusFactory::create());
    CanBusFactory::setChosenBus(std::nullopt);

    auto *qtBus = qobject_cast<QtCanBus *>(chosen.get());
    QVERIFY(qtBus);
    QCOMPARE(qtBus->config(), bus);
    QVERIFY(qobject_cast<SlcanBus *>(serial.get()));
    QVERIFY(!CanBusFactory::chosenBus());
    const std::unique_ptr<CanBus> again(CanBusFactory::create());
    QVERIFY(qobject_cast<ControlCanBus *>(again.get()));
}

QTEST_GUILESS_MAIN(TestControlCanLibrary)
#include "tst_controlcanlibrary.moc"
