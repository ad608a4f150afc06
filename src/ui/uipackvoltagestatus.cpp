#include "uipackvoltagestatus.h"

#include <QCoreApplication>
#include <QGraphicsColorizeEffect>
#include <QLabel>
#include <QMouseEvent>
#include <QVBoxLayout>

UiPackVoltageStatus::UiPackVoltageStatus(int devId, QWidget *parent)
    : QWidget(parent)
    , m_devId(devId)
{
    setFixedSize(TileWidth, TileHeight);

    m_id = new QLabel(tr("ID_%1").arg(devId, 2, 10, QLatin1Char('0')), this);
    m_id->setObjectName(QStringLiteral("PackVoltageStatusId"));

    m_picture = new QLabel(this);
    m_picture->setObjectName(QStringLiteral("PackVoltageStatusModel"));
    m_picture->setStyleSheet(
        QStringLiteral("QLabel#PackVoltageStatusModel{border-image: url(%1);font: normal normal "
                       "20px \"Microsoft YaHei\";qproperty-alignment: 'AlignVCenter | "
                       "AlignHCenter';min-height: 250px;}")
            .arg(QCoreApplication::applicationDirPath() + QStringLiteral("/imgs/smallpack.png")));

    m_voltage = new QLabel(QStringLiteral("0"), this);
    m_voltage->setObjectName(QStringLiteral("PackVoltageValue"));
    // Lower case on purpose: the first refresh, a second after start, replaces it with the
    // capitalised word.
    m_status = new QLabel(tr("static"), this);
    m_status->setObjectName(QStringLiteral("PackVoltageValue"));

    // The texts keep their height and the picture takes the rest, so that the overview's
    // captions, laid out with the same spacing, stand level with the last two lines.
    for (QLabel *text : { m_id, m_voltage, m_status })
        text->setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Fixed);

    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, TextSpacing, 0, TextSpacing);
    layout->setSpacing(TextSpacing);
    layout->addWidget(m_id);
    layout->addWidget(m_picture);
    layout->addWidget(m_voltage);
    layout->addWidget(m_status);
}

QString UiPackVoltageStatus::idText() const
{
    return m_id->text();
}

QString UiPackVoltageStatus::voltageText() const
{
    return m_voltage->text();
}

QString UiPackVoltageStatus::statusText() const
{
    return m_status->text();
}

void UiPackVoltageStatus::setVoltageStatus(float voltage, int status)
{
    m_voltage->setText(QString::number(double(voltage), 'f', 2));
    switch (status) {
    case 0:
        m_status->setText(tr("Static"));
        break;
    case 1:
        m_status->setText(tr("Charge"));
        break;
    case 2:
        m_status->setText(tr("Discharge"));
        break;
    case 3:
        m_status->setText(tr("Offline"));
        break;
    default:
        return;
    }
    const bool greyed = status == 3;
    if (greyed == m_greyed)
        return;
    m_greyed = greyed;
    if (!greyed) {
        setGraphicsEffect(nullptr);
        return;
    }
    auto *grey = new QGraphicsColorizeEffect(this);
    grey->setColor(QColor(0x90, 0x90, 0x90));
    setGraphicsEffect(grey);
}

void UiPackVoltageStatus::mouseReleaseEvent(QMouseEvent *event)
{
    QWidget::mouseReleaseEvent(event);
    if (event->button() == Qt::LeftButton && rect().contains(event->pos()))
        emit clicked(m_devId);
}
