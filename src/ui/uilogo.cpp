#include "uilogo.h"

#include <QCoreApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QPixmap>

UiLogo::UiLogo(QWidget *parent)
    : QWidget(parent)
{
    setFixedSize(LogoWidth, LogoHeight);

    auto *label = new QLabel(this);
    label->setAlignment(Qt::AlignCenter);
    QPixmap logo;
    if (logo.load(imagePath())) {
        label->setPixmap(logo);
        m_hasImage = true;
    }

    auto *layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(label);
}

QString UiLogo::imagePath()
{
    return QCoreApplication::applicationDirPath() + QStringLiteral("/imgs/logo.png");
}
