#include "resource/resources.h"
#include "ui/uirelaystatus.h"

#include <QLabel>
#include <QtTest>

class TestUiRelayStatus : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();

    void namesAndPictures_data();
    void namesAndPictures();
    void unknownTypeHasNoNameAndNoPicture();
};

void TestUiRelayStatus::initTestCase()
{
    Resources::init();
}

void TestUiRelayStatus::namesAndPictures_data()
{
    QTest::addColumn<int>("type");
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("on");
    QTest::addColumn<QString>("off");
    QTest::newRow("type 0 is the pre-charge relay") << 0 << "PRE-CHG"
                                                    << ":/resource/Icon/prechargeon.png"
                                                    << ":/resource/Icon/prechargeoff.png";
    QTest::newRow("type 1 is DISCHARGE") << 1 << "DISCHARGE"
                                         << ":/resource/Icon/relayon.png"
                                         << ":/resource/Icon/relayoff.png";
    QTest::newRow("type 2 is CHARGE") << 2 << "CHARGE"
                                      << ":/resource/Icon/relayon.png"
                                      << ":/resource/Icon/relayoff.png";
    QTest::newRow("type 3 is MAIN-2nd") << 3 << "MAIN-2nd"
                                        << ":/resource/Icon/relayon.png"
                                        << ":/resource/Icon/relayoff.png";
}

void TestUiRelayStatus::namesAndPictures()
{
    QFETCH(int, type);
    QFETCH(QString, name);
    QFETCH(QString, on);
    QFETCH(QString, off);

    UiRelayStatus relay(type);
    QCOMPARE(relay.size(), QSize(150, 150));
    QCOMPARE(relay.name(), name);
    auto *picture = relay.findChild<QLabel *>(QStringLiteral("RelayStatus"));
    QVERIFY(picture);
    QVERIFY(relay.findChild<QLabel *>(QStringLiteral("UiParamSettingItemName")));

    // Built showing the open relay.
    QCOMPARE(relay.picture(), off);
    const QString style
        = QStringLiteral("QLabel{border-image: url(%1);min-height: 80px;min-width: 120px;}");
    QCOMPARE(picture->styleSheet(), style.arg(off));
    relay.updateStatus(true);
    QCOMPARE(relay.picture(), on);
    QCOMPARE(picture->styleSheet(), style.arg(on));
    relay.updateStatus(false);
    QCOMPARE(relay.picture(), off);
}

void TestUiRelayStatus::unknownTypeHasNoNameAndNoPicture()
{
    UiRelayStatus relay(4);
    QCOMPARE(relay.name(), QString());
    relay.updateStatus(true);
    QCOMPARE(relay.picture(), QString());
    QCOMPARE(relay.findChild<QLabel *>(QStringLiteral("RelayStatus"))->styleSheet(), QString());
}

QTEST_MAIN(TestUiRelayStatus)
#include "tst_uirelaystatus.moc"
