#include "resource/resources.h"
#include "settings/appconfig.h"
#include "ui/uilefttreecategory.h"
#include "ui/uimainleft.h"
#include "uitestsupport.h"

#include <QAbstractButton>
#include <QComboBox>
#include <QFile>
#include <QLabel>
#include <QLayout>
#include <QPushButton>
#include <QSettings>
#include <QSignalSpy>
#include <QtTest>

// The CAN service is made on the first open or close; this test points it at a CAN plugin that
// does not exist, so every open fails the way a missing adapter does.
class TestUiMainLeft : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();

    void entriesAndTheirVisibility_data();
    void entriesAndTheirVisibility();
    void manufactureIsLaidOutOnlyForProduct();
    void adapterTypes();
    void deviceTypeForIndex_data();
    void deviceTypeForIndex();
    void clickingAnEntryHighlightsItAndSwitches();
    void openFailureShowsTheInfoBox();
    void closeGivesTheNormalStyle();
};

void TestUiMainLeft::initTestCase()
{
    Resources::init();
    QFile ini(QCoreApplication::applicationDirPath() + QStringLiteral("/canbus.ini"));
    QVERIFY(ini.open(QIODevice::WriteOnly | QIODevice::Truncate));
    ini.write("plugin=no-such-can-plugin\ninterface=can0\n");
}

void TestUiMainLeft::init()
{
    QFile::remove(AppConfig::filePath());
}

void TestUiMainLeft::entriesAndTheirVisibility_data()
{
    QTest::addColumn<QString>("pages"); // config.txt's "pages"; empty for none
    QTest::addColumn<bool>("allShown");
    QTest::newRow("no pages key hides four entries") << QString() << false;
    QTest::newRow("pages=all shows every entry") << "all" << true;
    QTest::newRow("pages=yes hides four entries") << "yes" << false;
}

void TestUiMainLeft::entriesAndTheirVisibility()
{
    QFETCH(QString, pages);
    QFETCH(bool, allShown);
    if (!pages.isEmpty())
        QSettings(AppConfig::filePath(), QSettings::IniFormat).setValue("pages", pages);
    UiMainLeft left;
    QCOMPARE(left.minimumWidth(), 200);
    QCOMPARE(left.maximumWidth(), 200);

    const QStringList texts = { "BASE INFO", "PARALLEL INFO", "HISTORY DATA", "LOGS HISTORY",
        "PARAMETER", "FIRMWARE", "MANUFACTURE" };
    const QList<bool> hidden = { false, true, true, true, false, false, true };
    for (int id = 0; id < UiMainLeft::EntryCount; ++id) {
        QAbstractButton *button = left.entryButton(id);
        QVERIFY(button);
        QCOMPARE(button->text(), texts.at(id));
        QCOMPARE(button->isHidden(), hidden.at(id) && !allShown);
    }
    // Laid out, so that it shows; the key is left as it was.
    QCOMPARE(left.hasManufactureEntry(), allShown);
    QCOMPARE(
        QSettings(AppConfig::filePath(), QSettings::IniFormat).value("pages").toString(), pages);
    QCOMPARE(left.entryButton(0)->objectName(), QStringLiteral("MainLeftButton"));

    const QList<UiLeftTreeCategory *> heads = left.findChildren<UiLeftTreeCategory *>();
    QCOMPARE(heads.size(), 3);
    QStringList headTexts;
    for (const UiLeftTreeCategory *head : heads) {
        headTexts.append(head->text());
        QCOMPARE(head->isHidden(), head->text() == QStringLiteral("HISTORY") && !allShown);
        auto *icon = head->findChild<QLabel *>(QStringLiteral("TreeCategoryIcon"));
        QVERIFY(icon);
        QVERIFY(icon->styleSheet().contains(QStringLiteral("border-image: url(:/resource/Icon/")));
        QVERIFY(head->findChild<QLabel *>(QStringLiteral("TreeCategoryText")));
    }
    QCOMPARE(headTexts, QStringList({ "GENERAL", "HISTORY", "SETTINGS" }));

    QCOMPARE(left.openCanButton()->objectName(), QStringLiteral("MainLeftOpenCan"));
    QCOMPARE(left.openCanButton()->text(), QStringLiteral("OPEN CAN-BUS"));
    QCOMPARE(left.closeCanButton()->objectName(), QStringLiteral("MainLeftCloseCan"));
    QCOMPARE(left.closeCanButton()->text(), QStringLiteral("CLOSE CAN-BUS"));
    QCOMPARE(left.findChild<QLabel *>(QStringLiteral("MainLeftCanTypeLabel"))->text(),
        QStringLiteral("TYPE"));
}

void TestUiMainLeft::manufactureIsLaidOutOnlyForProduct()
{
    {
        QSettings(AppConfig::filePath(), QSettings::IniFormat).setValue("product", "yes");
        UiMainLeft left;
        QVERIFY(!left.hasManufactureEntry());
        QCOMPARE(left.layout()->indexOf(left.entryButton(UiMainLeft::Manufacture)), -1);
        QCOMPARE(QSettings(AppConfig::filePath(), QSettings::IniFormat).value("product").toString(),
            QStringLiteral("0"));
    }
    {
        QSettings(AppConfig::filePath(), QSettings::IniFormat).setValue("product", "1");
        UiMainLeft left;
        QVERIFY(left.hasManufactureEntry());
        const int firmware = left.layout()->indexOf(left.entryButton(UiMainLeft::Firmware));
        QCOMPARE(left.layout()->indexOf(left.entryButton(UiMainLeft::Manufacture)), firmware + 1);
        // Laid out, and still hidden.
        QVERIFY(left.entryButton(UiMainLeft::Manufacture)->isHidden());
        QCOMPARE(QSettings(AppConfig::filePath(), QSettings::IniFormat).value("product").toString(),
            QStringLiteral("1"));
    }
}

void TestUiMainLeft::adapterTypes()
{
    UiMainLeft left;
    QComboBox *combo = left.adapterTypeCombo();
    QCOMPARE(combo->objectName(), QStringLiteral("MainLeftCanTypeCombox"));
    QCOMPARE(combo->count(), 4);
    QStringList items;
    for (int i = 0; i < combo->count(); ++i)
        items.append(combo->itemText(i));
    QCOMPARE(items, QStringList({ "USBCAN1", "USBCAN2", "USBCAN_E", "USBCAN_2E" }));
    QCOMPARE(combo->currentIndex(), 1);
}

void TestUiMainLeft::deviceTypeForIndex_data()
{
    QTest::addColumn<int>("index");
    QTest::addColumn<int>("deviceType");
    QTest::newRow("USBCAN1 is 3") << 0 << 3;
    QTest::newRow("USBCAN2 is 4") << 1 << 4;
    QTest::newRow("USBCAN_E is 20") << 2 << 20;
    QTest::newRow("USBCAN_2E is 21") << 3 << 21;
    QTest::newRow("no selection counts as USBCAN2") << -1 << 4;
    QTest::newRow("an index beyond the list counts as USBCAN2") << 4 << 4;
}

void TestUiMainLeft::deviceTypeForIndex()
{
    QFETCH(int, index);
    QFETCH(int, deviceType);
    QCOMPARE(UiMainLeft::deviceTypeForIndex(index), deviceType);
}

void TestUiMainLeft::clickingAnEntryHighlightsItAndSwitches()
{
    UiMainLeft left;
    // Built with BASE INFO selected.
    QCOMPARE(left.entryButton(0)->styleSheet(), UiMainLeft::entryStyle(true));
    QCOMPARE(left.entryButton(4)->styleSheet(), UiMainLeft::entryStyle(false));
    QVERIFY(UiMainLeft::entryStyle(true).contains(QStringLiteral("background-color: #93fee7")));
    QVERIFY(UiMainLeft::entryStyle(false).contains(QStringLiteral("background-color: white")));

    QSignalSpy spy(&left, &UiMainLeft::changeStackWidget);
    left.entryButton(UiMainLeft::Firmware)->click();
    QCOMPARE(spy.count(), 1);
    QCOMPARE(spy.at(0).at(0).toInt(), 5);
    for (int id = 0; id < UiMainLeft::EntryCount; ++id)
        QCOMPARE(
            left.entryButton(id)->styleSheet(), UiMainLeft::entryStyle(id == UiMainLeft::Firmware));

    left.OnClickButton(UiMainLeft::Parameter);
    QCOMPARE(spy.count(), 2);
    QCOMPARE(spy.at(1).at(0).toInt(), 4);
    QCOMPARE(left.entryButton(UiMainLeft::Parameter)->styleSheet(), UiMainLeft::entryStyle(true));
}

void TestUiMainLeft::openFailureShowsTheInfoBox()
{
    UiMainLeft left;
    QString title;
    QString text;
    QMessageBox::StandardButtons buttons;
    QMessageBox::StandardButton defaultButton = QMessageBox::NoButton;
    UiTest::DialogCatcher<QMessageBox> catcher([&](QMessageBox *box) {
        title = box->windowTitle();
        text = box->text();
        buttons = box->standardButtons();
        defaultButton = box->standardButton(box->defaultButton());
    });

    left.openCanButton()->click();
    QCOMPARE(catcher.shown(), 1);
    QCOMPARE(title, QStringLiteral("Info"));
    QCOMPARE(text, QStringLiteral("open can failed!"));
    QCOMPARE(buttons, QMessageBox::StandardButtons(QMessageBox::Yes));
    QCOMPARE(defaultButton, QMessageBox::Yes);
    QVERIFY(!left.isBusOpen());
    QCOMPARE(left.openCanButton()->styleSheet(), UiMainLeft::openCanStyle(false));
}

void TestUiMainLeft::closeGivesTheNormalStyle()
{
    UiMainLeft left;
    QVERIFY(UiMainLeft::openCanStyle(true).contains(QStringLiteral("color: red")));
    QVERIFY(!UiMainLeft::openCanStyle(false).contains(QStringLiteral("color:")));
    left.closeCanButton()->click();
    QVERIFY(!left.isBusOpen());
    QCOMPARE(left.openCanButton()->styleSheet(), UiMainLeft::openCanStyle(false));
}

QTEST_MAIN(TestUiMainLeft)
#include "tst_uimainleft.moc"
