#include "uilogin.h"

#include <QEvent>
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

    m_wrong = new QLabel(this);
    m_wrong->setObjectName(QStringLiteral("LoginWrongPassword"));
    m_wrong->setStyleSheet(QStringLiteral("QLabel{color: #D02020;}"));
    m_wrong->setFont(QFont(QStringLiteral("Microsoft YaHei"), 12));
    m_wrong->setAlignment(Qt::AlignCenter);

    // Outside the layout, whose items are the page's fixed frame: it follows the field.
    m_password->installEventFilter(this);

    auto *layout = new QVBoxLayout(this);
    layout->addStretch(4);
    layout->addWidget(picture, 0, Qt::AlignCenter);
    layout->addSpacing(30);
    layout->addLayout(row);
    layout->addStretch(5);

    connect(m_login, &QPushButton::clicked, this, &UiLogin::OnClickLogin);
    connect(m_password, &QLineEdit::returnPressed, this, &UiLogin::OnClickLogin);
    connect(m_password, &QLineEdit::textEdited, m_wrong, &QLabel::clear);
}

bool UiLogin::isAccepted(const QString &password)
{
    return password == ServicePassword || password == ShortPassword;
}

bool UiLogin::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_password
        && (event->type() == QEvent::Move || event->type() == QEvent::Resize)) {
        const QRect field = m_password->geometry();
        m_wrong->setGeometry(
            field.left(), field.bottom() + 8, field.width() + m_login->width(), 30);
    }
    return QWidget::eventFilter(watched, event);
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
        m_wrong->setText(tr("Wrong password"));
        return;
    }
    // A password left in the field would let the next person at the desk into the relay
    // control with a single click on ">"; the password is asked for again on every visit.
    m_password->clear();
    m_wrong->clear();
    emit userLogin();
}
