#include "uivaluepair.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QVBoxLayout>

namespace {

const int FieldHeight = 40;
const int PositionFieldWidth = 60;

QLineEdit *makeField(const QString &text, const QFont &font, QWidget *parent)
{
    auto *field = new QLineEdit(text, parent);
    field->setReadOnly(true);
    field->setFont(font);
    field->setStyleSheet(QStringLiteral("color:#3CC472;qproperty-alignment:AlignHCenter"));
    return field;
}

} // namespace

UiValuePair::UiValuePair(
    const QString &title, const QString &first, const QString &second, QWidget *parent)
    : QWidget(parent)
{
    const QFont font(QStringLiteral("Microsoft YaHei"), 11);

    m_title = new QLabel(title, this);
    m_title->setFont(font);
    m_title->setAlignment(Qt::AlignHCenter | Qt::AlignVCenter);
    m_title->setStyleSheet(QStringLiteral("QWidget{color:#808A87}"));

    m_first = makeField(first, font, this);
    m_first->setFixedHeight(FieldHeight);
    m_second = makeField(second, font, this);
    m_second->setFixedSize(PositionFieldWidth, FieldHeight);

    auto *fields = new QHBoxLayout;
    fields->setSpacing(0);
    fields->addWidget(m_first);
    fields->addWidget(m_second);

    auto *layout = new QVBoxLayout(this);
    layout->addWidget(m_title);
    layout->addSpacing(5);
    layout->addLayout(fields);
    layout->addStretch();
}

QString UiValuePair::title() const
{
    return m_title->text();
}

QString UiValuePair::first() const
{
    return m_first->text();
}

QString UiValuePair::second() const
{
    return m_second->text();
}

void UiValuePair::setValues(const QString &first, const QString &second)
{
    m_first->setText(first);
    m_second->setText(second);
}
