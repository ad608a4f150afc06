#include "uirelaybutton.h"

#include "relayindex.h"
#include "relaypicture.h"

#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

UiRelayButton::UiRelayButton(int type, QWidget *parent)
    : QWidget(parent)
    , m_type(type)
{
    setFixedSize(Width, Height);

    m_button = new QPushButton(this);
    // The pre-charge picture is drawn differently, and the style sheet may frame it apart.
    m_button->setObjectName(type == RelayPrecharge
            ? QStringLiteral("ParameterRelayControlPrecharge")
            : QStringLiteral("ParameterRelayControl"));
    m_button->setCursor(Qt::PointingHandCursor);

    m_nameLabel = new QLabel(RelayPicture::caption(type), this);
    m_nameLabel->setObjectName(QStringLiteral("UiParamSettingItemName"));

    // The picture takes the artwork's own size: left to the push button's default sizing it
    // came out squashed, the round contacts drawn as ovals. The style sheet sets only minimum
    // sizes, so the button may grow up to the artwork and no further; the side margins leave it
    // exactly the artwork's width.
    m_button->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
    m_button->setMaximumSize(PictureWidth, PictureHeight);
    const int sideMargin = (Width - PictureWidth) / 2;
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(sideMargin, 0, sideMargin, 0);
    layout->addWidget(m_button);
    layout->addWidget(m_nameLabel);

    connect(m_button, &QPushButton::clicked, this, &UiRelayButton::OnClickButton);

    updateStatus(false);
}

QString UiRelayButton::name() const
{
    return m_nameLabel->text();
}

QString UiRelayButton::pictureStyle(const QString &picture)
{
    return QStringLiteral("QPushButton{border-image: url(%1);min-height: 90px;min-width: 80px;}")
        .arg(picture);
}

void UiRelayButton::updateStatus(bool isOn)
{
    const QString picture = RelayPicture::path(m_type, isOn);
    // The page refreshes every second; an unchanged picture need not re-polish the button.
    if (picture.isEmpty() || picture == m_picture)
        return;
    m_picture = picture;
    m_button->setStyleSheet(pictureStyle(picture));
}

void UiRelayButton::OnClickButton()
{
    emit clicked(m_type);
}
