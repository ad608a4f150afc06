#include "can/canservice.h"
#include "resource/resources.h"
#include "signals/signalvalues.h"
#include "support/testport.h"
#include "ui/mainwidger.h"
#include "ui/uilogin.h"
#include "ui/uimainleft.h"
#include "ui/uimaintop.h"

#include <QAbstractButton>
#include <QFile>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QStackedWidget>
#include <QVBoxLayout>
#include <QtTest>

class TestUiLogin : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();

    void layout();
    void refused_data();
    void refused();
    void accepted_data();
    void accepted();
    void successfulLoginClearsTheField();
    void loginAgainAfterReturningToTheLoginPage();

private:
    enum Confirm { ByClick, ByEnter };
    static void confirm(UiLogin &login, Confirm how);
};

void TestUiLogin::initTestCase()
{
    Resources::init();
    // MainWidger builds the CAN service; give it a bus of this test's own, never opened here.
    QFile ini(QCoreApplication::applicationDirPath() + QStringLiteral("/canbus.ini"));
    QVERIFY(ini.open(QIODevice::WriteOnly | QIODevice::Truncate));
    const quint16 port = TestPort::pick();
    QVERIFY(port != 0);
    ini.write(QStringLiteral("plugin=virtualcan\ninterface=tcp://127.0.0.1:%1/can0\n")
                  .arg(port)
                  .toUtf8());
}

void TestUiLogin::confirm(UiLogin &login, Confirm how)
{
    if (how == ByClick)
        QTest::mouseClick(login.loginButton(), Qt::LeftButton);
    else
        QTest::keyClick(login.passwordEdit(), Qt::Key_Return);
}

void TestUiLogin::layout()
{
    UiLogin login;
    login.resize(1200, 800);
    login.show();
    QVERIFY(QTest::qWaitForWindowExposed(&login));

    QLineEdit *password = login.passwordEdit();
    QPushButton *button = login.loginButton();
    QCOMPARE(password->echoMode(), QLineEdit::Password);
    QCOMPARE(password->minimumSize(), QSize(400, 50));
    QCOMPARE(password->maximumSize(), QSize(400, 50));
    QCOMPARE(password->font().family(), QStringLiteral("Microsoft YaHei"));
    QCOMPARE(password->font().pointSize(), 16);
    QCOMPARE(button->text(), QStringLiteral(">"));
    QCOMPARE(button->minimumSize(), QSize(60, 50));
    QCOMPARE(button->maximumSize(), QSize(60, 50));
    QCOMPARE(button->font().family(), QStringLiteral("Microsoft YaHei"));
    QCOMPARE(button->font().pointSize(), 16);

    // Stretch 4, the picture, 30 pixels, the password row, stretch 5.
    auto *column = qobject_cast<QVBoxLayout *>(login.layout());
    QVERIFY(column);
    QCOMPARE(column->count(), 5);
    QVERIFY(column->itemAt(0)->spacerItem());
    QCOMPARE(column->stretch(0), 4);
    auto *picture = qobject_cast<QLabel *>(column->itemAt(1)->widget());
    QVERIFY(picture);
    QVERIFY(!picture->pixmap(Qt::ReturnByValue).isNull());
    QCOMPARE(picture->pixmap(Qt::ReturnByValue).size(), QSize(160, 160));
    QCOMPARE(column->itemAt(1)->alignment(), Qt::AlignCenter);
    QCOMPARE(column->itemAt(2)->spacerItem()->sizeHint().height(), 30);
    auto *row = qobject_cast<QHBoxLayout *>(column->itemAt(3)->layout());
    QVERIFY(row);
    QCOMPARE(column->stretch(4), 5);

    // Stretch, field, button, stretch; the button right against the field, both centred.
    QCOMPARE(row->count(), 4);
    QCOMPARE(row->spacing(), 0);
    QCOMPARE(row->itemAt(1)->widget(), password);
    QCOMPARE(row->itemAt(2)->widget(), button);
    QCOMPARE(button->x(), password->geometry().right() + 1);
    const int middle = (password->x() + button->geometry().right()) / 2;
    QVERIFY(qAbs(middle - login.width() / 2) <= 2);
    QVERIFY(qAbs(picture->geometry().center().x() - login.width() / 2) <= 2);
    QVERIFY(picture->y() < password->y());
}

void TestUiLogin::refused_data()
{
    QTest::addColumn<QString>("text");
    QTest::newRow("empty field") << "";
    QTest::newRow("service password with a trailing blank") << "tarnel5082 ";
    QTest::newRow("service password with a leading blank") << " tarnel5082";
    QTest::newRow("service password in upper case") << "TARNEL5082";
    QTest::newRow("service password less its last digit") << "tarnel508";
    QTest::newRow("short password twice") << "743743";
    QTest::newRow("short password with a trailing blank") << "743 ";
}

void TestUiLogin::refused()
{
    QFETCH(QString, text);
    for (Confirm how : { ByClick, ByEnter }) {
        UiLogin login;
        login.show();
        QVERIFY(QTest::qWaitForWindowExposed(&login));
        QSignalSpy logins(&login, &UiLogin::userLogin);
        QTest::keyClicks(login.passwordEdit(), text);
        confirm(login, how);
        QCOMPARE(logins.count(), 0);
        // Left as typed, for the user to correct, and said to be wrong until it is.
        QCOMPARE(login.passwordEdit()->text(), text);
        QCOMPARE(login.wrongPasswordLabel()->text(), QStringLiteral("Wrong password"));
        QTest::keyClick(login.passwordEdit(), Qt::Key_X);
        QVERIFY(login.wrongPasswordLabel()->text().isEmpty());
    }
    QVERIFY(!UiLogin::isAccepted(text));
}

void TestUiLogin::accepted_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("how");
    QTest::newRow("service password by click") << "tarnel5082" << int(ByClick);
    QTest::newRow("service password by Enter") << "tarnel5082" << int(ByEnter);
    QTest::newRow("short password by click") << "743" << int(ByClick);
    QTest::newRow("short password by Enter") << "743" << int(ByEnter);
}

void TestUiLogin::accepted()
{
    QFETCH(QString, text);
    QFETCH(int, how);
    UiLogin login;
    login.show();
    QVERIFY(QTest::qWaitForWindowExposed(&login));
    QSignalSpy logins(&login, &UiLogin::userLogin);
    QTest::keyClicks(login.passwordEdit(), text);
    QCOMPARE(login.passwordEdit()->text(), text);
    confirm(login, Confirm(how));
    QCOMPARE(logins.count(), 1);
    QVERIFY(UiLogin::isAccepted(text));
}

void TestUiLogin::successfulLoginClearsTheField()
{
    UiLogin login;
    QSignalSpy logins(&login, &UiLogin::userLogin);
    login.passwordEdit()->setText(QStringLiteral("wrong"));
    login.OnClickLogin();
    QCOMPARE(login.passwordEdit()->text(), QStringLiteral("wrong"));

    login.passwordEdit()->setText(QStringLiteral("743"));
    login.OnClickLogin();
    QCOMPARE(logins.count(), 1);
    QCOMPARE(login.passwordEdit()->text(), QString());
    // Confirming again without typing lets nobody in.
    login.OnClickLogin();
    QCOMPARE(logins.count(), 1);
}

void TestUiLogin::loginAgainAfterReturningToTheLoginPage()
{
    MainWidger window(SignalValues::instance(), CanService::instance());
    window.show();
    QVERIFY(QTest::qWaitForWindowActive(&window));
    QStackedWidget *stack = window.stack();
    UiLogin *login = window.login();

    QTest::mouseClick(window.mainTop()->loginButton(), Qt::LeftButton);
    QCOMPARE(stack->currentIndex(), 4);
    // Ready for typing: the cursor is in the password field.
    QTRY_COMPARE(QApplication::focusWidget(), login->passwordEdit());
    QTest::keyClicks(login->passwordEdit(), QStringLiteral("tarnel5082"));
    QTest::mouseClick(login->loginButton(), Qt::LeftButton);
    QCOMPARE(stack->currentIndex(), 7);

    // Back through the lock button: the page asks again.
    QTest::mouseClick(window.mainTop()->loginButton(), Qt::LeftButton);
    QCOMPARE(stack->currentIndex(), 4);
    QCOMPARE(login->passwordEdit()->text(), QString());
    QTRY_COMPARE(QApplication::focusWidget(), login->passwordEdit());
    QTest::mouseClick(login->loginButton(), Qt::LeftButton);
    QCOMPARE(stack->currentIndex(), 4);
    QTest::keyClicks(login->passwordEdit(), QStringLiteral("tarnel5082"));
    QTest::keyClick(login->passwordEdit(), Qt::Key_Enter);
    QCOMPARE(stack->currentIndex(), 7);

    // And through the PARAMETER entry of the navigation bar, with the short password.
    QTest::mouseClick(window.mainLeft()->entryButton(UiMainLeft::Parameter), Qt::LeftButton);
    QCOMPARE(stack->currentIndex(), 4);
    QTest::keyClicks(login->passwordEdit(), QStringLiteral("743"));
    QTest::keyClick(login->passwordEdit(), Qt::Key_Return);
    QCOMPARE(stack->currentIndex(), 7);
}

QTEST_MAIN(TestUiLogin)
#include "tst_uilogin.moc"
