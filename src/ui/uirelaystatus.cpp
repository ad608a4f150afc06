#include "uirelaystatus.h"

#include <QLabel>
#include <QVBoxLayout>

UiRelayStatus::UiRelayStatus(int type, QWidget *parent)
    : QWidget(parent)
    , m_type(type)
{
    setFixedSize(Side, Side);

    m_pictureLabel = new QLabel(this);
    m_pictureLabel->setObjectName(QStringLiteral("RelayStatus"));

    QString name;
    switch (type) {
    case PreCharge:
        name = tr("PRE-CHG");
        break;
    case Discharge:
        name = tr("DISCHARGE");
        break;
    case Charge:
        name = tr("CHARGE");
        break;
    case Main2nd:
        name = tr("MAIN-2nd");
        break;
    default:
        break;
    }
    m_nameLabel = new QLabel(name, this);
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

QString UiRelayStatus::onPicture(int type)
{
    switch (type) {
    case PreCharge:
        return QStringLiteral(":/resource/Icon/prechargeon.png");
    case Discharge:
    case Charge:
    case Main2nd:
        return QStringLiteral(":/resource/Icon/relayon.png");
    default:
        return QString();
    }
}

QString UiRelayStatus::offPicture(int type)
{
    switch (type) {
    case PreCharge:
        return QStringLiteral(":/resource/Icon/prechargeoff.png");
    case Discharge:
    case Charge:
    case Main2nd:
        return QStringLiteral(":/resource/Icon/relayoff.png");
    default:
        return QString();
    }
}

void UiRelayStatus::updateStatus(bool isOn)
{
    const QString picture = isOn ? onPicture(m_type) : offPicture(m_type);
    if (picture.isEmpty())
        return;
    m_picture = picture;
    m_pictureLabel->setStyleSheet(
        QStringLiteral("QLabel{border-image: url(%1);min-height: 80px;min-width: 120px;}")
            .arg(picture));
}
