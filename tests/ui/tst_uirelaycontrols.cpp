#include "resource/resources.h"
#include "ui/relayindex.h"
#include "ui/uirelaybutton.h"
#include "ui/uirelaycontrols.h"

#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QMetaMethod>
#include <QPushButton>
#include <QSignalSpy>
#include <QTranslator>
#include <QVBoxLayout>
#include <QtTest>

class TestUiRelayControls : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();

    void buttonNamesAndPictures_data();
    void buttonNamesAndPictures();
    void unknownTypeHasNoNameAndNoPicture();
    void buttonReportsItsTypeWithoutChangingItsPicture();
    void groupLayout();
    void metaMethodOrder();
    void clicksAreReportedByRelayType();
    void updateRelayStatusReachesTheButtonOfThatType();
    void updateRelayStatusOutsideTheTypesChangesNothing();
    void textsAreTranslated();

private:
    static QStringList pictures(const UiRelayControls &controls);
};

void TestUiRelayControls::initTestCase()
{
    Resources::init();
}

QStringList TestUiRelayControls::pictures(const UiRelayControls &controls)
{
    QStringList result;
    for (int type = 0; type < UiRelayControls::RelayCount; ++type)
        result.append(controls.button(type)->picture());
    return result;
}

void TestUiRelayControls::buttonNamesAndPictures_data()
{
    QTest::addColumn<int>("type");
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("objectName");
    QTest::addColumn<QString>("on");
    QTest::addColumn<QString>("off");
    const QString relay = QStringLiteral("ParameterRelayControl");
    QTest::newRow("type 0 is MAIN-2nd") << 0 << "MAIN-2nd" << relay << ":/resource/Icon/relayon.png"
                                        << ":/resource/Icon/relayoff.png";
    QTest::newRow("type 1 is CHARGE") << 1 << "CHARGE" << relay << ":/resource/Icon/relayon.png"
                                      << ":/resource/Icon/relayoff.png";
    QTest::newRow("type 2 is DISCHARGE")
        << 2 << "DISCHARGE" << relay << ":/resource/Icon/relayon.png"
        << ":/resource/Icon/relayoff.png";
    QTest::newRow("type 3 is the pre-charge relay") << 3 << "PRE-CHG"
                                                    << "ParameterRelayControlPrecharge"
                                                    << ":/resource/Icon/prechargeon.png"
                                                    << ":/resource/Icon/prechargeoff.png";
}

void TestUiRelayControls::buttonNamesAndPictures()
{
    QFETCH(int, type);
    QFETCH(QString, name);
    QFETCH(QString, objectName);
    QFETCH(QString, on);
    QFETCH(QString, off);

    UiRelayButton button(type);
    QCOMPARE(button.size(), QSize(180, 150));
    QCOMPARE(button.minimumSize(), QSize(180, 150));
    QCOMPARE(button.maximumSize(), QSize(180, 150));
    QCOMPARE(button.type(), type);
    QCOMPARE(button.name(), name);
    QCOMPARE(button.button()->objectName(), objectName);
    auto *label = button.findChild<QLabel *>(QStringLiteral("UiParamSettingItemName"));
    QVERIFY(label);
    QCOMPARE(label->text(), name);

    // Picture above name.
    auto *layout = qobject_cast<QVBoxLayout *>(button.layout());
    QVERIFY(layout);
    QCOMPARE(layout->count(), 2);
    QCOMPARE(layout->itemAt(0)->widget(), button.button());
    QCOMPARE(layout->itemAt(1)->widget(), label);
    // Laid out, the picture has the artwork's own size (160 x 120).
    button.show();
    QVERIFY(QTest::qWaitForWindowExposed(&button));
    QCOMPARE(button.button()->size(), QSize(160, 120));
    QVERIFY(label->geometry().top() > button.button()->geometry().bottom());

    const QString style
        = QStringLiteral("QPushButton{border-image: url(%1);min-height: 90px;min-width: 80px;}");
    QCOMPARE(button.picture(), off);
    QCOMPARE(button.button()->styleSheet(), style.arg(off));
    button.updateStatus(true);
    QCOMPARE(button.picture(), on);
    QCOMPARE(button.button()->styleSheet(), style.arg(on));
    button.updateStatus(true);
    QCOMPARE(button.button()->styleSheet(), style.arg(on));
    button.updateStatus(false);
    QCOMPARE(button.picture(), off);
    QCOMPARE(button.button()->styleSheet(), style.arg(off));
}

void TestUiRelayControls::unknownTypeHasNoNameAndNoPicture()
{
    for (int type : { -1, 4 }) {
        UiRelayButton button(type);
        QCOMPARE(button.name(), QString());
        QCOMPARE(button.picture(), QString());
        button.updateStatus(true);
        QCOMPARE(button.picture(), QString());
        QCOMPARE(button.button()->styleSheet(), QString());
    }
}

void TestUiRelayControls::buttonReportsItsTypeWithoutChangingItsPicture()
{
    UiRelayButton button(RelayCharge);
    QSignalSpy clicked(&button, &UiRelayButton::clicked);
    button.button()->click();
    QCOMPARE(clicked.count(), 1);
    QCOMPARE(clicked.at(0).at(0).toInt(), int(RelayCharge));
    // No pending state: the picture waits for the battery.
    QCOMPARE(button.picture(), QStringLiteral(":/resource/Icon/relayoff.png"));

    button.OnClickButton();
    QCOMPARE(clicked.count(), 2);
}

void TestUiRelayControls::groupLayout()
{
    UiRelayControls controls;

    // The group box is the only child widget.
    const QList<QWidget *> children
        = controls.findChildren<QWidget *>(QString(), Qt::FindDirectChildrenOnly);
    QCOMPARE(children.size(), 1);
    auto *group = qobject_cast<QGroupBox *>(children.first());
    QVERIFY(group);
    QCOMPARE(group->title(), QStringLiteral("Relay Controls"));
    QCOMPARE(group->objectName(), QStringLiteral("UiParamSettingGroupBox"));

    // Created DISCHARGE, CHARGE, PRE-CHG, MAIN-2nd.
    QList<int> created;
    for (UiRelayButton *button : group->findChildren<UiRelayButton *>())
        created.append(button->type());
    QCOMPARE(created, QList<int>({ 2, 1, 3, 0 }));
    for (int type = 0; type < UiRelayControls::RelayCount; ++type) {
        QVERIFY(controls.button(type));
        QCOMPARE(controls.button(type)->type(), type);
    }
    QCOMPARE(controls.button(4), nullptr);
    QCOMPARE(controls.button(-1), nullptr);

    auto *rows = qobject_cast<QVBoxLayout *>(group->layout());
    QVERIFY(rows);
    QCOMPARE(rows->count(), 3);
    QCOMPARE(rows->stretch(0), 1);
    QCOMPARE(rows->stretch(1), 1);
    QCOMPARE(rows->stretch(2), 0);
    auto rowWidgets = [rows](int row) {
        QList<QWidget *> widgets;
        QLayout *layout = rows->itemAt(row)->layout();
        for (int i = 0; layout && i < layout->count(); ++i) {
            if (QWidget *widget = layout->itemAt(i)->widget())
                widgets.append(widget);
        }
        return widgets;
    };
    QCOMPARE(rowWidgets(0),
        QList<QWidget *>({ controls.button(RelayDischarge), controls.button(RelayCharge) }));
    QCOMPARE(rowWidgets(1),
        QList<QWidget *>({ controls.button(RelayPrecharge), controls.button(RelayMain2nd) }));

    const QList<QWidget *> warningRow = rowWidgets(2);
    QCOMPARE(warningRow.size(), 2);
    auto *alarm = qobject_cast<QLabel *>(warningRow.at(0));
    auto *warning = qobject_cast<QLabel *>(warningRow.at(1));
    QVERIFY(alarm && warning);
    QCOMPARE(alarm->styleSheet(),
        QStringLiteral("QLabel{min-width: 30px;max-height: 30px;border-image:url(:/resource/Icon/"
                       "RelayAlarm.png);}"));
    QCOMPARE(warning->objectName(), QStringLiteral("ParameterRelayControlWarningText"));
    QCOMPARE(warning->text(),
        QStringLiteral("Relay manually control for professional engineer only,fail to follow the "
                       "instructions may result in serious damage."));

    // Every relay starts open.
    QCOMPARE(pictures(controls),
        QStringList({ ":/resource/Icon/relayoff.png", ":/resource/Icon/relayoff.png",
            ":/resource/Icon/relayoff.png", ":/resource/Icon/prechargeoff.png" }));

    // Laid out, the alarm sign keeps its size beside the text.
    controls.resize(900, 500);
    controls.show();
    QVERIFY(QTest::qWaitForWindowExposed(&controls));
    QCOMPARE(alarm->size(), QSize(30, 30));
}

void TestUiRelayControls::metaMethodOrder()
{
    const QMetaObject &meta = UiRelayControls::staticMetaObject;
    const int first = meta.methodOffset();
    QCOMPARE(meta.methodCount() - first, 3);
    QCOMPARE(meta.method(first).methodSignature(), QByteArray("controlRelay(int)"));
    QCOMPARE(meta.method(first).methodType(), QMetaMethod::Signal);
    QCOMPARE(meta.method(first + 1).methodSignature(), QByteArray("updateRelayStatus(int,bool)"));
    QCOMPARE(meta.method(first + 1).methodType(), QMetaMethod::Slot);
    QCOMPARE(meta.method(first + 2).methodSignature(), QByteArray("OnControlRelay(int)"));
    QCOMPARE(meta.method(first + 2).methodType(), QMetaMethod::Slot);
}

void TestUiRelayControls::clicksAreReportedByRelayType()
{
    UiRelayControls controls;
    controls.show();
    QVERIFY(QTest::qWaitForWindowExposed(&controls));
    QSignalSpy control(&controls, &UiRelayControls::controlRelay);
    for (int type : { 2, 1, 3, 0 }) {
        QPushButton *picture = controls.button(type)->button();
        QTest::mouseClick(picture, Qt::LeftButton, Qt::NoModifier, picture->rect().center());
    }
    QCOMPARE(control.count(), 4);
    QList<int> types;
    for (const QList<QVariant> &arguments : qAsConst(control))
        types.append(arguments.at(0).toInt());
    QCOMPARE(types, QList<int>({ 2, 1, 3, 0 }));
    // Clicks change no picture.
    QCOMPARE(pictures(controls).filter(QStringLiteral("off.png")).size(), 4);

    controls.OnControlRelay(7);
    QCOMPARE(control.count(), 5);
    QCOMPARE(control.last().at(0).toInt(), 7);
}

void TestUiRelayControls::updateRelayStatusReachesTheButtonOfThatType()
{
    UiRelayControls controls;
    controls.updateRelayStatus(RelayCharge, true);
    controls.updateRelayStatus(RelayPrecharge, true);
    QCOMPARE(pictures(controls),
        QStringList({ ":/resource/Icon/relayoff.png", ":/resource/Icon/relayon.png",
            ":/resource/Icon/relayoff.png", ":/resource/Icon/prechargeon.png" }));
    controls.updateRelayStatus(RelayCharge, false);
    QCOMPARE(
        controls.button(RelayCharge)->picture(), QStringLiteral(":/resource/Icon/relayoff.png"));
}

void TestUiRelayControls::updateRelayStatusOutsideTheTypesChangesNothing()
{
    UiRelayControls controls;
    controls.updateRelayStatus(RelayMain2nd, true);
    const QStringList before = pictures(controls);
    QStringList styles;
    for (int type = 0; type < UiRelayControls::RelayCount; ++type)
        styles.append(controls.button(type)->button()->styleSheet());

    controls.updateRelayStatus(4, true);
    controls.updateRelayStatus(4, false);
    controls.updateRelayStatus(-1, true);

    QCOMPARE(pictures(controls), before);
    for (int type = 0; type < UiRelayControls::RelayCount; ++type)
        QCOMPARE(controls.button(type)->button()->styleSheet(), styles.at(type));
}

void TestUiRelayControls::textsAreTranslated()
{
    QTranslator translator;
    QVERIFY(translator.load(QStringLiteral("cn"), QStringLiteral(":/resource/language")));
    QVERIFY(QCoreApplication::installTranslator(&translator));
    UiRelayControls controls;
    QCoreApplication::removeTranslator(&translator);

    QCOMPARE(controls.findChild<QGroupBox *>()->title(), QStringLiteral("继电器控制"));
    QCOMPARE(controls.button(RelayMain2nd)->name(), QStringLiteral("主继电器2"));
    QCOMPARE(controls.button(RelayCharge)->name(), QStringLiteral("充电"));
    QCOMPARE(controls.button(RelayDischarge)->name(), QStringLiteral("放电"));
    QCOMPARE(controls.button(RelayPrecharge)->name(), QStringLiteral("预充"));
    auto *warning
        = controls.findChild<QLabel *>(QStringLiteral("ParameterRelayControlWarningText"));
    QVERIFY(warning);
    QVERIFY(warning->text().startsWith(QStringLiteral("继电器手动控制")));
}

QTEST_MAIN(TestUiRelayControls)
#include "tst_uirelaycontrols.moc"
