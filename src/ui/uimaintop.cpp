#include "uimaintop.h"

#include "serialportlist.h"
#include "signals/alarmset.h"
#include "signals/bankstate.h"
#include "signals/signalvalues.h"
#include "uiactiveevent.h"
#include "uibankline.h"

#include <QAbstractItemView>
#include <QComboBox>
#include <QDateTime>
#include <QGraphicsOpacityEffect>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>

#include <algorithm>

namespace {

const int GroupSpacing = 50;
const int ClockSpacing = 20;
const char *const TrendsButtonStyle
    = "QPushButton#TopWidgetTrendsButton{border-image: url(:/resource/Icon/Trends.png);"
      "background: #FFFFFF;border: none;min-width: 52px;max-width: 52px;min-height: 51px;"
      "max-height: 51px;}";

QString deviceText(int devId)
{
    return QStringLiteral("%1").arg(devId, 2, 10, QLatin1Char('0'));
}

// A dot in the colour of a battery's condition, for the battery selector.
QIcon conditionIcon(BankState::Condition condition)
{
    static const QColor Colors[] = { QColor(0x3C, 0xC4, 0x72), UiBankLine::AlarmColor,
        UiBankLine::ProtectionColor, UiBankLine::OfflineColor };
    QPixmap dot(14, 14);
    dot.fill(Qt::transparent);
    QPainter painter(&dot);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    painter.setBrush(Colors[condition]);
    painter.drawEllipse(1, 1, 12, 12);
    return QIcon(dot);
}

QString conditionText(BankState::Condition condition)
{
    switch (condition) {
    case BankState::Protection:
        return UiMainTop::tr("In protection");
    case BankState::Alarm:
        return UiMainTop::tr("In alarm");
    case BankState::Offline:
        return UiMainTop::tr("Offline: values last heard");
    case BankState::Normal:
        break;
    }
    return UiMainTop::tr("Online, no fault");
}

// A counter at 0 is drawn faded, so that its red or yellow dot stands out only when it counts.
void showCounterLit(QPushButton *counter, bool lit)
{
    if (lit == !counter->graphicsEffect())
        return;
    if (lit) {
        counter->setGraphicsEffect(nullptr);
        return;
    }
    auto *faded = new QGraphicsOpacityEffect(counter);
    faded->setOpacity(0.3);
    counter->setGraphicsEffect(faded);
}

QLabel *makeLabel(const QString &text, QWidget *parent)
{
    auto *label = new QLabel(text, parent);
    label->setFont(QFont(QStringLiteral("Microsoft YaHei"), 10));
    return label;
}

} // namespace

UiMainTop::UiMainTop(QWidget *parent)
    : QWidget(parent)
    , m_levelSignals(AlarmSet::levelSignals())
    , m_flagSignals(AlarmSet::flagSignals())
{
    const QFont comboFont(QStringLiteral("Microsoft YaHei"), 16);

    m_home = new QPushButton(this);
    m_home->setObjectName(QStringLiteral("TopWidgetHomeButton"));
    m_login = new QPushButton(this);
    m_login->setObjectName(QStringLiteral("TopWidgetLoginButton"));
    m_trends = new QPushButton(this);
    m_trends->setObjectName(QStringLiteral("TopWidgetTrendsButton"));
    m_trends->setStyleSheet(QLatin1String(TrendsButtonStyle));
    m_trends->setToolTip(tr("Trends (Ctrl+T)"));
    m_home->setToolTip(tr("Home: the selected battery's values"));
    m_login->setToolTip(tr("Log in to the engineering page"));
    m_trends->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_T));

    m_comPorts = new QComboBox(this);
    m_comPorts->setFont(comboFont);
    m_comPorts->setFixedSize(ComPortComboWidth, ComboHeight);
    m_batteries = new QComboBox(this);
    m_batteries->setFont(comboFont);
    m_batteries->setFixedHeight(ComboHeight);
    m_batteries->setSizeAdjustPolicy(QComboBox::AdjustToContents);

    m_protect = new QPushButton(QStringLiteral("12"), this);
    m_protect->setObjectName(QStringLiteral("MainTopProtect"));
    m_alarm = new QPushButton(this);
    m_alarm->setObjectName(QStringLiteral("MainTopAlarm"));
    m_protect->setToolTip(tr("Protection conditions of the selected battery; click for the list"));
    m_alarm->setToolTip(tr("Alarm conditions of the selected battery; click for the list"));
    m_bankLine = new UiBankLine(this);

    m_date = makeLabel(QString(), this);
    m_time = makeLabel(QString(), this);

    auto *counters = new QGridLayout;
    counters->addWidget(makeLabel(tr("PROTECTION"), this), 0, 0);
    counters->addWidget(m_protect, 0, 1);
    counters->addWidget(makeLabel(tr("ALARM"), this), 1, 0);
    counters->addWidget(m_alarm, 1, 1);

    auto *clock = new QVBoxLayout;
    clock->addWidget(m_date);
    clock->addWidget(m_time);

    auto *layout = new QHBoxLayout(this);
    layout->addWidget(m_home);
    layout->addSpacing(GroupSpacing);
    layout->addWidget(m_login);
    layout->addSpacing(GroupSpacing);
    layout->addWidget(makeLabel(tr("COM\nPorts"), this));
    layout->addWidget(m_comPorts);
    layout->addSpacing(GroupSpacing);
    layout->addWidget(makeLabel(tr("BAT\nID"), this));
    layout->addWidget(m_batteries);
    layout->addSpacing(GroupSpacing);
    layout->addWidget(m_trends);
    layout->addStretch();
    layout->addWidget(m_bankLine);
    layout->addSpacing(ClockSpacing);
    layout->addLayout(counters);
    layout->addSpacing(ClockSpacing);
    layout->addLayout(clock);

    connect(m_home, &QPushButton::clicked, this, &UiMainTop::homeClicked);
    connect(m_login, &QPushButton::clicked, this, &UiMainTop::loginClicked);
    connect(m_trends, &QPushButton::clicked, this, &UiMainTop::trendsClicked);
    connect(m_comPorts, &QComboBox::currentTextChanged, this, &UiMainTop::comPortChanged);
    connect(m_protect, &QPushButton::clicked, this, &UiMainTop::OnShowActiveAlarm);
    connect(m_alarm, &QPushButton::clicked, this, &UiMainTop::OnShowActiveAlarm);
    connect(m_bankLine, &UiBankLine::batteryClicked, this, &UiMainTop::selectDevice);
    connect(SignalValues::instance(), &SignalValues::newDeviceId, this, &UiMainTop::OnNewDeviceId);
    // The battery selector's own signal is connected by OnNewDeviceId once it holds batteries.

    m_portList = new SerialPortList(this);
    m_timer = new QTimer(this);
    m_timer->setInterval(TickIntervalMs);
    connect(m_timer, &QTimer::timeout, this, &UiMainTop::OnTimerTimeout);
    m_timer->start();
}

int UiMainTop::currentDeviceId() const
{
    return m_batteries->currentText().toInt();
}

QStringList UiMainTop::alarmNames() const
{
    return AlarmSet::names();
}

void UiMainTop::OnNewDeviceId(uchar devId)
{
    QList<int> ids;
    for (int i = 0; i < m_batteries->count(); ++i)
        ids.append(m_batteries->itemText(i).toInt());
    if (ids.contains(devId))
        return;
    ids.append(devId);
    std::sort(ids.begin(), ids.end());

    // Rebuilding the list must not look like a choice of the user's.
    const QString current = m_batteries->currentText();
    disconnect(m_batteries, QOverload<int>::of(&QComboBox::currentIndexChanged), this,
        &UiMainTop::Slot_batteryIdChanged);
    m_batteries->clear();
    for (int id : qAsConst(ids))
        m_batteries->addItem(deviceText(id));
    m_batteries->setCurrentText(current);
    connect(m_batteries, QOverload<int>::of(&QComboBox::currentIndexChanged), this,
        &UiMainTop::Slot_batteryIdChanged);
    refreshBank();
}

void UiMainTop::selectDevice(int devId)
{
    const int index = m_batteries->findText(deviceText(devId));
    if (index >= 0)
        m_batteries->setCurrentIndex(index);
}

void UiMainTop::updateProtect()
{
    const int count = AlarmSet::protectionCount(
        *SignalValues::instance(), currentDeviceId(), m_levelSignals, m_flagSignals);
    m_protect->setText(QString::number(count));
    showCounterLit(m_protect, count > 0);
}

void UiMainTop::updateAlarm()
{
    const int count
        = AlarmSet::alarmCount(*SignalValues::instance(), currentDeviceId(), m_levelSignals);
    m_alarm->setText(QString::number(count));
    showCounterLit(m_alarm, count > 0);
}

void UiMainTop::Slot_batteryIdChanged(int /*iIdx*/)
{
    // The remembered id is updated only by the tick, which therefore announces this id once
    // more; the pages take the same id twice without harm.
    emit Sig_SetCurrentBmsId(m_batteries->currentText().toUInt());
}

void UiMainTop::OnTimerTimeout()
{
    const QDateTime now = QDateTime::currentDateTime();
    m_date->setText(now.toString(QStringLiteral("yyyy-MM-dd")));
    m_time->setText(now.toString(QStringLiteral("hh:mm:ss")));

    updateProtect();
    updateAlarm();
    refreshBank();

    const uint bmsId = m_batteries->currentText().toUInt();
    if (int(bmsId) != m_lastBmsId) {
        m_lastBmsId = int(bmsId);
        emit Sig_SetCurrentBmsId(bmsId);
    }

    refreshComPorts();
}

void UiMainTop::OnShowActiveAlarm()
{
    UiActiveEvent dialog(currentDeviceId(), m_levelSignals, m_flagSignals, alarmNames(), this);
    dialog.setOnsets(&m_onsets);
    dialog.exec();
}

void UiMainTop::refreshBank()
{
    const SignalValues &store = *SignalValues::instance();
    m_onsets.update(store, store.knownDevices(), QDateTime::currentMSecsSinceEpoch());
    m_bankLine->showState(BankState::read(store, store.knownDevices()), store);
    for (int i = 0; i < m_batteries->count(); ++i) {
        const BankState::Condition condition
            = BankState::condition(store, m_batteries->itemText(i).toInt());
        if (m_batteries->itemData(i, ConditionRole) == QVariant(int(condition)))
            continue;
        m_batteries->setItemData(i, int(condition), ConditionRole);
        m_batteries->setItemIcon(i, conditionIcon(condition));
        m_batteries->setItemData(i, conditionText(condition), Qt::ToolTipRole);
    }
}

void UiMainTop::refreshComPorts()
{
    // Rebuilding the list under an open drop-down would move the entries under the user's
    // pointer; the next tick catches up once it is closed.
    if (m_comPorts->view()->isVisible())
        return;

    const QStringList ports = m_portList->names();
    QStringList shown;
    for (int i = 0; i < m_comPorts->count(); ++i)
        shown.append(m_comPorts->itemText(i));
    // Rebuilding the same list would end with the same entries and the same one selected, and
    // tell the firmware page the port it already has.
    if (shown == ports)
        return;

    const QString current = m_comPorts->currentText();
    m_comPorts->clear();
    m_comPorts->addItems(ports);
    // Selecting it again tells the firmware page the port once more, as the last emission.
    m_comPorts->setCurrentText(current);
}
