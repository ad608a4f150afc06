#include "uikeyvalue.h"

#include <QHBoxLayout>
#include <QLabel>

UiKeyValue::UiKeyValue(const QString &key, const QString &value, QWidget *parent)
    : QWidget(parent)
    , m_key(new QLabel(key, this))
    , m_value(new QLabel(value, this))
{
    m_key->setObjectName(QStringLiteral("Key"));
    m_value->setObjectName(QStringLiteral("Value"));

    auto *layout = new QHBoxLayout(this);
    layout->addWidget(m_key);
    layout->addWidget(m_value);
}

QString UiKeyValue::key() const
{
    return m_key->text();
}

QString UiKeyValue::value() const
{
    return m_value->text();
}

void UiKeyValue::setValue(const QString &value)
{
    m_value->setText(value);
}
