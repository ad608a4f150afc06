#pragma once

#include <QWidget>

class QLabel;
class QLineEdit;
class QPushButton;

// The password page in front of the parameter page. A right password emits userLogin, and the
// main window then shows the parameter page. Nothing is remembered between visits: whoever
// comes back to this page has to type the password again. A wrong one is said so below the field
// (the text stays, to be corrected), until the text is changed.
class UiLogin : public QWidget
{
    Q_OBJECT
public:
    explicit UiLogin(QWidget *parent = nullptr);

    QLineEdit *passwordEdit() const { return m_password; }
    QPushButton *loginButton() const { return m_login; }
    QLabel *wrongPasswordLabel() const { return m_wrong; }

    // Whether a text is one of the accepted passwords: compared exactly, blanks and case
    // included.
    static bool isAccepted(const QString &password);

signals:
    void userLogin();

public slots:
    void OnClickLogin();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
    void showEvent(QShowEvent *event) override;

private:
    QLineEdit *m_password = nullptr;
    QPushButton *m_login = nullptr;
    QLabel *m_wrong = nullptr;
};
