#pragma once

#include <QWidget>

class QLineEdit;
class QPushButton;

// The password page in front of the parameter page. A right password emits userLogin, and the
// main window then shows the parameter page. Nothing is remembered between visits: whoever
// comes back to this page has to type the password again.
class UiLogin : public QWidget
{
    Q_OBJECT
public:
    explicit UiLogin(QWidget *parent = nullptr);

    QLineEdit *passwordEdit() const { return m_password; }
    QPushButton *loginButton() const { return m_login; }

    // Whether a text is one of the accepted passwords: compared exactly, blanks and case
    // included.
    static bool isAccepted(const QString &password);

signals:
    void userLogin();

public slots:
    void OnClickLogin();

protected:
    void showEvent(QShowEvent *event) override;

private:
    QLineEdit *m_password = nullptr;
    QPushButton *m_login = nullptr;
};
