#include "uirelaystatus.h"

#include "relayindex.h"
#include "relaypicture.h"

#include <QGraphicsOpacityEffect>
#include <QGridLayout>
#include <QLabel>
#include <QVBoxLayout>

UiRelayStatus::UiRelayStatus(int type, QWidget *parent)
    : QWidget(parent)
    , m_type(type)
{
    setFixedSize(Side, Side);

    m_pictureLabel = new QLabel(this);
    m_pictureLabel->setObjectName(QStringLiteral("RelayStatus"));
    m_unknownMark = new QLabel(QStringLiteral("?"), m_pictureLabel);
    m_unknownMark->setObjectName(QStringLiteral("RelayStatusUnknown"));
    m_unknownMark->setStyleSheet(
        QStringLiteral("QLabel{color: #606060;font: bold 40px \"Microsoft YaHei\";border: none;}"));
    m_unknownMark->hide();
    auto *mark = new QGridLayout(m_pictureLabel);
    mark->setContentsMargins(0, 0, 0, 0);
    mark->addWidget(m_unknownMark, 0, 0, Qt::AlignCenter);

    m_nameLabel = new QLabel(RelayPicture::caption(relayOf(type)), this);
    m_nameLabel->setObjectName(QStringLiteral("UiParamSettingItemName"));

    auto *layout = new QVBoxLayout(this);
    layout->addWidget(m_pictureLabel);
    layout->addWidget(m_nameLabel);

    updateStatus(false);
}

QString UiRelayStatus::name() const
{
    return m_nameLabel->text();
}

int UiRelayStatus::relayOf(int type)
{
    switch (type) {
    case PreCharge:
        return RelayPrecharge;
    case Discharge:
        return RelayDischarge;
    case Charge:
        return RelayCharge;
    case Main2nd:
        return RelayMain2nd;
    default:
        return -1;
    }
}

void UiRelayStatus::updateStatus(bool isOn)
{
    const QString picture = RelayPicture::path(relayOf(m_type), isOn);
    // The home page refreshes every second; setting the same sheet again would only re-polish
    // the label and load its picture anew.
    if (picture.isEmpty() || picture == m_picture)
        return;
    m_picture = picture;
    m_pictureLabel->setStyleSheet(
        QStringLiteral("QLabel{border-image: url(%1);min-height: 80px;min-width: 120px;}")
            .arg(picture));
}

void UiRelayStatus::setKnown(bool known)
{
    if (known == m_known)
        return;
    m_known = known;
    m_unknownMark->setVisible(!known);
    if (known) {
        m_pictureLabel->setGraphicsEffect(nullptr);
        setToolTip(QString());
        return;
    }
    auto *faded = new QGraphicsOpacityEffect(m_pictureLabel);
    faded->setOpacity(0.35);
    m_pictureLabel->setGraphicsEffect(faded);
    setToolTip(tr("State unknown: the battery is not heard; the picture is the last state heard"));
}
