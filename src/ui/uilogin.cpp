#include "uilogin.h"

#include <QFont>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPixmap>
#include <QPushButton>
#include <QShowEvent>
#include <QVBoxLayout>

namespace {

// The service password, and a short one that does the same.
const QString ServicePassword = QStringLiteral("tarnel5082");
const QString ShortPassword = QStringLiteral("743");

const int PasswordWidth = 400;
const int ButtonWidth = 60;
const int RowHeight = 50;

} // namespace

UiLogin::UiLogin(QWidget *parent)
    : QWidget(parent)
{
    const QFont font(QStringLiteral("Microsoft YaHei"), 16);

    auto *picture = new QLabel(this);
    QPixmap image;
    if (image.load(QStringLiteral(":/resource/Icon/userlogin.png")))
        picture->setPixmap(image);
    picture->setAlignment(Qt::AlignCenter);

    m_password = new QLineEdit(this);
    m_password->setEchoMode(QLineEdit::Password);
    m_password->setFixedSize(PasswordWidth, RowHeight);
    m_password->setFont(font);

    m_login = new QPushButton(tr(">"), this);
    m_login->setFixedSize(ButtonWidth, RowHeight);
    m_login->setFont(font);

    auto *row = new QHBoxLayout;
    row->setSpacing(0);
    row->addStretch();
    row->addWidget(m_password);
    row->addWidget(m_login);
    row->addStretch();

    auto *layout = new QVBoxLayout(this);
    layout->addStretch(4);
    layout->addWidget(picture, 0, Qt::AlignCenter);
    layout->addSpacing(30);
    layout->addLayout(row);
    layout->addStretch(5);

    connect(m_login, &QPushButton::clicked, this, &UiLogin::OnClickLogin);
    connect(m_password, &QLineEdit::returnPressed, this, &UiLogin::OnClickLogin);
}

bool UiLogin::isAccepted(const QString &password)
{
    return password == ServicePassword || password == ShortPassword;
}

void UiLogin::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    // The page asks for nothing but the password: let the engineer type it at once.
    m_password->setFocus();
}

void UiLogin::OnClickLogin()
{
    if (!isAccepted(m_password->text())) {
        // Left as typed, so that a slip can be corrected rather than typed again.
        return;
    }
    // A password left in the field would let the next person at the desk into the relay
    // control with a single click on ">"; the password is asked for again on every visit.
    m_password->clear();
    emit userLogin();
}
