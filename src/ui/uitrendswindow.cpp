#include "uitrendswindow.h"

#include "records/trendrecorder.h"
#include "uitrendbanktab.h"
#include "uitrendbatterytab.h"

#include <QGuiApplication>
#include <QScreen>
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
    m_bank = new UiTrendBankTab(store, service, m_tabs);
    m_tabs->addTab(m_battery, tr("Battery"));
    m_tabs->addTab(m_bank, tr("Bank"));
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(m_tabs);

    m_timer = new QTimer(this);
    m_timer->setInterval(RefreshIntervalMs);
    connect(m_timer, &QTimer::timeout, this, &UiTrendsWindow::OnTimerTimeout);
    connect(m_tabs, &QTabWidget::currentChanged, this, &UiTrendsWindow::OnTimerTimeout);
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
}
