#include "uipageindicator.h"

#include <QHBoxLayout>
#include <QLabel>

namespace {

const QString OtherDot = QStringLiteral(
    "QLabel{max-width: 8px;max-height: 8px;background-color: gray;border-radius: 4px;}");
const QString CurrentDot = QStringLiteral(
    "QLabel{max-width: 8px;max-height: 8px;background-color: #63deb7;border-radius: 4px;}");

} // namespace

UiPageIndicator::UiPageIndicator(int count, QWidget *parent)
    : QWidget(parent)
{
    auto *layout = new QHBoxLayout(this);
    layout->addStretch();
    for (int i = 0; i < count; ++i) {
        auto *dot = new QLabel(this);
        dot->setFixedSize(8, 8);
        layout->addWidget(dot);
        m_dots.append(dot);
    }
    layout->addStretch();
    setCurrentIndex(0);
}

void UiPageIndicator::setCurrentIndex(int index)
{
    for (QLabel *dot : qAsConst(m_dots))
        dot->setStyleSheet(OtherDot);
    if (index >= 0 && index < m_dots.size())
        m_dots.at(index)->setStyleSheet(CurrentDot);
    m_current = index;
}
