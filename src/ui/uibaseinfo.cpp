#include "uibaseinfo.h"

#include "signals/signalindex.h"
#include "signals/signalvalues.h"
#include "uibmuinfo.h"
#include "uikeyvalue.h"
#include "uirelaystatus.h"
#include "uivaluepair.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QFrame>
#include <QGraphicsColorizeEffect>
#include <QHBoxLayout>
#include <QLabel>
#include <QPixmap>
#include <QTimer>
#include <QVBoxLayout>

#include <cmath>

namespace {

const int FigureWidth = 218;
const int FigureHeight = 84;
const QString EnergyIcon = QStringLiteral(":/resource/Icon/Energym.png");

QFrame *makeLine(QWidget *parent)
{
    auto *line = new QFrame(parent);
    line->setFrameShape(QFrame::HLine);
    line->setFrameShadow(QFrame::Plain);
    line->setFixedHeight(1);
    line->setStyleSheet(QStringLiteral("color: #25F5C5;"));
    return line;
}

QString fixed(double value, int decimals)
{
    return QStringLiteral("%1").arg(value, 0, 'f', decimals);
}

} // namespace

UiBaseInfo::UiBaseInfo(QWidget *parent)
    : QWidget(parent)
    , m_source(SignalValues::instance())
{
    m_status = new UiKeyValue(tr("STATUS"), tr("Static"), this);
    m_status->setObjectName(QStringLiteral("BaseInfoStatus"));
    m_lastHeard = new QLabel(this);
    m_lastHeard->setObjectName(QStringLiteral("BaseInfoLastHeard"));
    m_lastHeard->setStyleSheet(QStringLiteral("QLabel{color: #808080;}"));

    // The icons carry the captions and units; the labels only the numbers.
    const QStringList icons = {
        QStringLiteral(":/resource/Icon/SOC.png"),
        QStringLiteral(":/resource/Icon/VOLTAGE.png"),
        QStringLiteral(":/resource/Icon/CURRENT.png"),
        QStringLiteral(":/resource/Icon/POWER.png"),
        EnergyIcon,
        QStringLiteral(":/resource/Icon/HEALTH.png"),
    };
    for (const QString &icon : icons)
        m_figures.append(makeFigure(icon));

    const QStringList extremeTitles
        = { tr("Max Cell Volt"), tr("Min Cell Volt"), tr("Max Temp"), tr("Min Temp") };
    for (const QString &title : extremeTitles) {
        auto *pair = new UiValuePair(title, QString(), QString(), this);
        pair->hide();
        m_extremes.append(pair);
    }
    for (int module = 1; module <= ModuleCount; ++module) {
        auto *panel = new UiBmuInfo(module, this);
        panel->hide();
        m_modules.append(panel);
    }
    for (int type = 0; type < RelayCount; ++type)
        m_relays.append(new UiRelayStatus(type, this));

    // Left column: the pack picture and its status.
    auto *picture = new QLabel(this);
    QPixmap pack;
    if (pack.load(QCoreApplication::applicationDirPath() + QStringLiteral("/imgs/batterypack.png")))
        picture->setPixmap(pack);
    auto *left = new QVBoxLayout;
    left->addSpacing(50);
    left->addWidget(picture, 0, Qt::AlignHCenter);
    left->addSpacing(20);
    left->addWidget(m_status, 0, Qt::AlignHCenter);
    left->addWidget(m_lastHeard, 0, Qt::AlignHCenter);
    left->addStretch();

    // Right column: the figures, then the detail rows, then the relays.
    auto *firstFigures = new QHBoxLayout;
    auto *secondFigures = new QHBoxLayout;
    for (int i = 0; i < FigureCount; ++i)
        (i < Power ? firstFigures : secondFigures)->addWidget(m_figures.at(i));
    auto *extremesRow = new QHBoxLayout;
    for (UiValuePair *pair : qAsConst(m_extremes))
        extremesRow->addWidget(pair);
    auto *modulesRow = new QHBoxLayout;
    for (UiBmuInfo *panel : qAsConst(m_modules))
        modulesRow->addWidget(panel);
    auto *relaysRow = new QHBoxLayout;
    for (UiRelayStatus *relay : qAsConst(m_relays))
        relaysRow->addWidget(relay);

    auto *right = new QVBoxLayout;
    right->addLayout(firstFigures);
    right->addSpacing(20);
    right->addLayout(secondFigures);
    right->addSpacing(10);
    right->addWidget(makeLine(this));
    right->addSpacing(10);
    right->addLayout(extremesRow);
    right->addLayout(modulesRow);
    right->addSpacing(5);
    right->addWidget(makeLine(this));
    right->addSpacing(5);
    right->addLayout(relaysRow);
    right->addStretch();

    auto *layout = new QHBoxLayout(this);
    layout->addStretch();
    layout->addLayout(left);
    layout->addStretch();
    layout->addLayout(right);
    layout->addStretch();

    m_timer = new QTimer(this);
    m_timer->setInterval(RefreshIntervalMs);
    connect(m_timer, &QTimer::timeout, this, &UiBaseInfo::OnTimerTimeout);
    m_timer->start();
}

void UiBaseInfo::setSignalSource(const AbstractSignalValue *source)
{
    m_source = source;
}

QString UiBaseInfo::statusText() const
{
    return m_status->value();
}

QString UiBaseInfo::figureText(Figure figure) const
{
    return m_figures.value(figure) ? m_figures.value(figure)->text() : QString();
}

QString UiBaseInfo::lastHeardText() const
{
    return m_lastHeard->text();
}

void UiBaseInfo::showLive(bool live, qint64 lastLiveMs)
{
    m_lastHeard->setText(live ? QString()
            : lastLiveMs > 0  ? tr("Last heard %1")
                                   .arg(QDateTime::fromMSecsSinceEpoch(lastLiveMs)
                                            .toString(QStringLiteral("hh:mm:ss")))
                             : tr("Not heard live"));
    if (live == m_live)
        return;
    m_live = live;
    QList<QWidget *> values = { m_status };
    for (QLabel *figure : qAsConst(m_figures))
        values.append(figure);
    for (QWidget *value : qAsConst(values)) {
        if (live) {
            value->setGraphicsEffect(nullptr);
            continue;
        }
        auto *grey = new QGraphicsColorizeEffect(value);
        grey->setColor(QColor(0x90, 0x90, 0x90));
        value->setGraphicsEffect(grey);
    }
    for (UiRelayStatus *relay : qAsConst(m_relays))
        relay->setKnown(live);
}

void UiBaseInfo::Slot_ShowMonitorData(uint devId)
{
    m_devId = int(devId);
}

void UiBaseInfo::OnTimerTimeout()
{
    if (m_devId < 0 || !m_source)
        return;
    const int devId = m_devId;
    auto value = [this, devId](int index) { return m_source->value(devId, index); };

    switch (value(Signal::SysStatus).toInt()) {
    case 0:
        m_status->setValue(tr("Static"));
        break;
    case 1:
        m_status->setValue(tr("Charging"));
        break;
    case 2:
        m_status->setValue(tr("Discharging"));
        break;
    case 3:
        m_status->setValue(tr("Offline"));
        break;
    default:
        // Two bits cannot carry anything else; a bad value keeps the last good word.
        break;
    }

    const auto *store = qobject_cast<const SignalValues *>(m_source);
    showLive(value(Signal::SysStatus).toUInt() != SignalValues::OfflineStatus,
        store ? store->lastLiveMs(devId) : 0);

    const double voltage = value(Signal::SumVolt).toFloat();
    const double current = value(Signal::Curr).toFloat();
    m_figures.at(Soc)->setText(fixed(value(Signal::SOC).toFloat(), 1));
    m_figures.at(Voltage)->setText(fixed(voltage, 1));
    m_figures.at(Current)->setText(fixed(current, 1));
    // kW, without the sign: the status already says which way the energy flows.
    m_figures.at(Power)->setText(fixed(std::fabs(voltage * current / 1000.0), 3));
    // The lifetime counter is a raw 32-bit count; the figure shows it in millions.
    m_figures.at(Energy)->setText(
        fixed(double(value(Signal::TotalDischargeEnergy).toFloat()) / 1000000.0, 2));
    // The sheet is "set again" on every refresh; it never changes, and writing the same text
    // would re-polish the label and load its icon anew each second, so only a different one is.
    const QString energyStyle = figureStyle(EnergyIcon);
    if (m_figures.at(Energy)->styleSheet() != energyStyle)
        m_figures.at(Energy)->setStyleSheet(energyStyle);
    m_figures.at(Health)->setText(fixed(value(Signal::SOH).toFloat(), 1));

    auto volt
        = [&](int index) { return QStringLiteral("%1V").arg(fixed(value(index).toFloat(), 3)); };
    auto cell = [&](int index) { return QStringLiteral("C-%1").arg(value(index).toInt()); };
    auto temp = [&](int index) { return tr("%1℃").arg(value(index).toInt()); };
    auto sensor = [&](int index) { return QStringLiteral("T-%1").arg(value(index).toInt()); };
    m_extremes.at(0)->setValues(volt(Signal::MaxCellV), cell(Signal::MaxCellVNo));
    m_extremes.at(1)->setValues(volt(Signal::MinCellV), cell(Signal::MinCellVNo));
    m_extremes.at(2)->setValues(temp(Signal::MaxCellT), sensor(Signal::MaxCellTNo));
    m_extremes.at(3)->setValues(temp(Signal::MinCellT), sensor(Signal::MinCellTNo));

    for (int m = 0; m < m_modules.size(); ++m) {
        QStringList voltages;
        for (int j = 0; j < UiBmuInfo::CellsPerModule; ++j)
            voltages.append(
                fixed(value(Signal::Volt1 + UiBmuInfo::CellsPerModule * m + j).toFloat(), 3));
        QStringList temperatures;
        for (int j = 0; j < UiBmuInfo::SensorsPerModule; ++j)
            temperatures.append(QStringLiteral("%1").arg(
                value(Signal::Temp1 + UiBmuInfo::SensorsPerModule * m + j).toInt()));
        m_modules.at(m)->updateVoltageInfo(voltages);
        m_modules.at(m)->updateTemperatureInfo(temperatures);
    }

    // Left to right: pre-charge, discharge, charge, MAIN-2nd. MAIN-2nd reads PosRelay (byte 2
    // bit 4); Main2ndRelay (bit 0) is not shown on this page.
    const int relaySignals[RelayCount]
        = { Signal::PrechargeRelay, Signal::DischargeRelay, Signal::ChargeRelay, Signal::PosRelay };
    for (int type = 0; type < m_relays.size() && type < RelayCount; ++type)
        m_relays.at(type)->updateStatus(value(relaySignals[type]).toInt() == 1);
}

QLabel *UiBaseInfo::makeFigure(const QString &icon)
{
    auto *label = new QLabel(QStringLiteral("--"), this);
    label->setFixedSize(FigureWidth, FigureHeight);
    label->setObjectName(QStringLiteral("BaseInfoMainIconLabel"));
    label->setStyleSheet(figureStyle(icon));
    return label;
}

QString UiBaseInfo::figureStyle(const QString &icon)
{
    return QStringLiteral("QLabel#BaseInfoMainIconLabel{border: 0px solid black;font: bold normal "
                          "20px \"Microsoft YaHei\";qproperty-alignment: 'AlignRight | "
                          "AlignHCenter';color: #3CC472;background-image: url(%1);padding: 5 60 "
                          "50 10;}")
        .arg(icon);
}
