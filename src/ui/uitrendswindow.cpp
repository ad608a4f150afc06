#include "uitrendswindow.h"

#include "records/trendrecorder.h"
#include "uitrendbanktab.h"
#include "uitrendbatterytab.h"

#include <QComboBox>
#include <QCoreApplication>
#include <QGuiApplication>
#include <QScreen>
#include <QSettings>
#include <QShortcut>
#include <QTabWidget>
#include <QTimer>
#include <QVBoxLayout>

namespace {

const QSize OpeningSize(1500, 940);
const QSize FrameRoom(20, 40);

} // namespace

UiTrendsWindow::UiTrendsWindow(const TrendRecorder *recorder, const SignalValues *store,
    const CanService *service, QWidget *parent)
    : QWidget(parent, Qt::Window)
    , m_recorder(recorder)
{
    setWindowTitle(tr("Trends"));
    // No larger than the screen's free area, less room for the frame.
    const QScreen *screen = QGuiApplication::primaryScreen();
    resize(screen ? OpeningSize.boundedTo(screen->availableSize() - FrameRoom) : OpeningSize);

    m_tabs = new QTabWidget(this);
    m_battery = new UiTrendBatteryTab(recorder, store, m_tabs);
    m_battery->setService(service);
    m_bank = new UiTrendBankTab(store, service, m_tabs);
    m_tabs->addTab(m_battery, tr("Battery"));
    m_tabs->addTab(m_bank, tr("Bank"));
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(m_tabs);

    m_timer = new QTimer(this);
    m_timer->setInterval(RefreshIntervalMs);
    connect(m_timer, &QTimer::timeout, this, &UiTrendsWindow::OnTimerTimeout);
    connect(m_tabs, &QTabWidget::currentChanged, this, &UiTrendsWindow::OnTimerTimeout);
    for (const QKeySequence &keys :
        { QKeySequence(Qt::Key_Escape), QKeySequence(Qt::CTRL | Qt::Key_W) })
        connect(new QShortcut(keys, this), &QShortcut::activated, this, &QWidget::close);
    connect(m_bank, &UiTrendBankTab::batteryClicked, this, [this](int devId) {
        m_battery->openBattery(devId);
        m_tabs->setCurrentWidget(m_battery);
        emit batteryChosen(devId);
    });
}

bool UiTrendsWindow::isRefreshing() const
{
    return m_timer->isActive();
}

QString UiTrendsWindow::stateFilePath()
{
    return QCoreApplication::applicationDirPath() + QStringLiteral("/trends.ini");
}

void UiTrendsWindow::saveState(const QString &path) const
{
    QSettings state(path, QSettings::IniFormat);
    state.setValue(QStringLiteral("geometry"), saveGeometry());
    state.setValue(QStringLiteral("tab"), m_tabs->currentIndex());
    state.setValue(QStringLiteral("span"), m_battery->spanCombo()->currentIndex());
    // A battery picked in the tab, or -1 while it follows the top bar.
    state.setValue(
        QStringLiteral("battery"), m_battery->isFollowing() ? -1 : m_battery->deviceId());
}

void UiTrendsWindow::restoreState(const QString &path)
{
    const QSettings state(path, QSettings::IniFormat);
    restoreGeometry(state.value(QStringLiteral("geometry")).toByteArray());
    const int tab = state.value(QStringLiteral("tab"), 0).toInt();
    if (tab >= 0 && tab < m_tabs->count())
        m_tabs->setCurrentIndex(tab);
    const int span = state.value(QStringLiteral("span"), -1).toInt();
    if (span >= UiTrendBatteryTab::LastMinute && span <= UiTrendBatteryTab::Everything)
        m_battery->setSpan(UiTrendBatteryTab::Span(span));
    const int devId = state.value(QStringLiteral("battery"), -1).toInt();
    if (devId >= 0)
        m_battery->pickBattery(devId);
}

void UiTrendsWindow::showWindow()
{
    show();
    raise();
    activateWindow();
}

void UiTrendsWindow::Slot_ShowMonitorData(uint devId)
{
    m_battery->followTopBar(int(devId));
}

void UiTrendsWindow::OnTimerTimeout()
{
    if (m_tabs->currentWidget() == m_battery)
        m_battery->refresh(m_recorder->nowMs());
    else
        m_bank->refresh();
}

void UiTrendsWindow::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    OnTimerTimeout();
    m_timer->start();
}

void UiTrendsWindow::hideEvent(QHideEvent *event)
{
    QWidget::hideEvent(event);
    m_timer->stop();
    saveState(stateFilePath());
}
