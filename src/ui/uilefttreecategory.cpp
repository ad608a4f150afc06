#include "uilefttreecategory.h"

#include <QHBoxLayout>
#include <QLabel>

UiLeftTreeCategory::UiLeftTreeCategory(
    const QString &iconStyleSheet, const QString &text, QWidget *parent)
    : QWidget(parent)
    , m_icon(new QLabel(this))
    , m_text(new QLabel(text, this))
{
    m_icon->setObjectName(QStringLiteral("TreeCategoryIcon"));
    m_icon->setStyleSheet(iconStyleSheet);
    m_text->setObjectName(QStringLiteral("TreeCategoryText"));

    auto *layout = new QHBoxLayout(this);
    layout->addWidget(m_icon);
    layout->addWidget(m_text);
}

QString UiLeftTreeCategory::text() const
{
    return m_text->text();
}
