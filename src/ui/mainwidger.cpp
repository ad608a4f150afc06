#include "mainwidger.h"

#include "log/logger.h"
#include "records/trendrecorder.h"
#include "settings/appconfig.h"
#include "signals/signalvalues.h"
#include "uibaseinfo.h"
#include "uifirmware.h"
#include "uihistorydata.h"
#include "uilogin.h"
#include "uilogo.h"
#include "uilogshistory.h"
#include "uimainleft.h"
#include "uimaintop.h"
#include "uimanufacturing.h"
#include "uiparallelinfo.h"
#include "uiparameter.h"
#include "uitrendswindow.h"
#include "upgradestopquestion.h"

#include <QCloseEvent>
#include <QFrame>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QResizeEvent>
#include <QScreen>
#include <QScrollArea>
#include <QStackedWidget>
#include <QVBoxLayout>

namespace {

// Room left for the window frame and title bar when the window opens smaller than full size.
const int FrameAllowanceWidth = 19;
const int FrameAllowanceHeight = 39;

QFrame *makeSeparator(QFrame::Shape shape, QWidget *parent)
{
    auto *line = new QFrame(parent);
    line->setFrameShape(shape);
    line->setFrameShadow(QFrame::Sunken);
    return line;
}

} // namespace

MainWidger::MainWidger(const SignalValues *store, CanService *service, QWidget *parent)
    : QWidget(parent)
{
    resize(sizeForPrimaryScreen());

    auto *content = new QWidget;
    m_logo = new UiLogo(content);
    m_top = new UiMainTop(content);
    m_left = new UiMainLeft(service, content);
    m_stack = new QStackedWidget(content);

    m_baseInfo = new UiBaseInfo(m_stack);
    m_parallelInfo = new UiParallelInfo(m_stack);
    m_historyData = new UiHistoryData(m_stack);
    m_logsHistory = new UiLogsHistory(m_stack);
    m_login = new UiLogin(m_stack);
    m_firmware = new UiFirmware(m_stack);
    m_manufacturing = new UiManufacturing(store, service, m_stack);
    m_parameter = new UiParameter(m_stack);
    const QList<QWidget *> pages = { m_baseInfo, m_parallelInfo, m_historyData, m_logsHistory,
        m_login, m_firmware, m_manufacturing, m_parameter };
    for (QWidget *page : pages)
        m_stack->addWidget(page);

    auto *topRow = new QHBoxLayout;
    topRow->addWidget(m_logo);
    topRow->addWidget(makeSeparator(QFrame::VLine, content));
    topRow->addSpacing(50);
    topRow->addWidget(m_top);

    auto *rule = new QFrame(content);
    rule->setFrameShape(QFrame::HLine);
    rule->setFrameShadow(QFrame::Plain);
    rule->setFixedHeight(1);
    rule->setStyleSheet(QStringLiteral("color: #25F5C5;"));

    auto *bottomRow = new QHBoxLayout;
    bottomRow->setSpacing(5);
    bottomRow->addWidget(m_left);
    bottomRow->addWidget(makeSeparator(QFrame::VLine, content));
    bottomRow->addWidget(m_stack);

    auto *contentLayout = new QVBoxLayout(content);
    contentLayout->addLayout(topRow);
    contentLayout->addWidget(rule);
    contentLayout->addLayout(bottomRow);

    auto *scrollArea = new QScrollArea(this);
    scrollArea->setWidgetResizable(true);
    scrollArea->setWidget(content);
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(scrollArea);

    setWindowTitle(AppConfig::windowTitle());

    connect(m_left, &UiMainLeft::changeStackWidget, m_stack, &QStackedWidget::setCurrentIndex);
    connect(m_top, &UiMainTop::homeClicked, this, &MainWidger::OnClickHome);
    connect(m_top, &UiMainTop::loginClicked, this, &MainWidger::OnClickLock);
    connect(m_top, &UiMainTop::comPortChanged, m_firmware, &UiFirmware::OnNewComPort);
    connect(m_login, &UiLogin::userLogin, this, &MainWidger::SlotLogIn);
    connect(m_parallelInfo, &UiParallelInfo::batteryClicked, m_top, &UiMainTop::selectDevice);
    connect(m_top, &UiMainTop::Sig_SetCurrentBmsId, m_baseInfo, &UiBaseInfo::Slot_ShowMonitorData);
    connect(
        m_top, &UiMainTop::Sig_SetCurrentBmsId, m_parameter, &UiParameter::Slot_ShowMonitorData);
    connect(m_top, &UiMainTop::Sig_SetCurrentBmsId, m_historyData,
        &UiHistoryData::Slot_ShowMonitorData);
    connect(m_top, &UiMainTop::Sig_SetCurrentBmsId, m_firmware, &UiFirmware::Slot_ShowMonitorData);
    connect(m_top, &UiMainTop::Sig_SetCurrentBmsId, m_manufacturing,
        &UiManufacturing::Slot_ShowMonitorData);
    connect(m_top, &UiMainTop::Sig_SetCurrentBmsId, m_logsHistory, &UiLogsHistory::showMonitorData);

    connectTrends(store, service);

    // The navigation bar selected BASE INFO before it was connected to the stack.
    m_stack->setCurrentIndex(BaseInfoPage);
}

QSize MainWidger::sizeForAvailableArea(const QRect &availableArea)
{
    // Measured as right minus left and bottom minus top, one pixel short of the area's size.
    const int width = availableArea.right() - availableArea.left();
    const int height = availableArea.bottom() - availableArea.top();
    if (width > MaxWidth - 2 && height > MaxHeight - 2)
        return QSize(MaxWidth, MaxHeight);
    return QSize(width - FrameAllowanceWidth, height - FrameAllowanceHeight);
}

QSize MainWidger::clampedSize(const QSize &size)
{
    return QSize(qMin(size.width(), MaxWidth), qMin(size.height(), MaxHeight));
}

void MainWidger::connectTrends(const SignalValues *store, CanService *service)
{
    m_trendRecorder = new TrendRecorder(store, nullptr, this);
    m_trendsWindow = new UiTrendsWindow(m_trendRecorder, store, service, this);
    m_trendsWindow->restoreState(UiTrendsWindow::stateFilePath());
    // The navigation bar closes the bus once more while the window's children are destroyed.
    TrendRecorder *recorder = m_trendRecorder;
    connect(m_left, &UiMainLeft::busOpenChanged, recorder, [recorder](bool open) {
        if (open)
            recorder->start();
        else
            recorder->stop();
    });
    connect(m_top, &UiMainTop::trendsClicked, m_trendsWindow, &UiTrendsWindow::showWindow);
    connect(m_top, &UiMainTop::Sig_SetCurrentBmsId, m_trendsWindow,
        &UiTrendsWindow::Slot_ShowMonitorData);
    connect(m_trendsWindow, &UiTrendsWindow::batteryChosen, m_top, &UiMainTop::selectDevice);
}

void MainWidger::SlotLogIn()
{
    m_stack->setCurrentIndex(ParameterPage);
}

void MainWidger::OnClickHome()
{
    m_stack->setCurrentIndex(BaseInfoPage);
    m_left->OnClickButton(UiMainLeft::BaseInfo);
}

void MainWidger::OnClickLock()
{
    m_stack->setCurrentIndex(LoginPage);
    m_left->OnClickButton(UiMainLeft::Parameter);
}

void MainWidger::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    const QSize clamped = clampedSize(event->size());
    if (clamped != event->size())
        resize(clamped);
}

void MainWidger::changeEvent(QEvent *event)
{
    if (windowState() == Qt::WindowMaximized) {
        resize(sizeForPrimaryScreen());
        return;
    }
    QWidget::changeEvent(event);
}

void MainWidger::closeEvent(QCloseEvent *event)
{
    if (m_firmware->isUpgrading()) {
        if (!UpgradeStopQuestion::confirm(this, tr("Close the window and stop the upgrade?"))) {
            event->ignore();
            return;
        }
        QLOG_WARN() << "MainWidger::closeEvent: window closed during a firmware upgrade; the "
                       "upgrade is stopped.";
        m_firmware->stopUpgrading();
    }
    QWidget::closeEvent(event);
}

QSize MainWidger::sizeForPrimaryScreen()
{
    const QScreen *screen = QGuiApplication::primaryScreen();
    if (!screen)
        return QSize(MaxWidth, MaxHeight);
    return sizeForAvailableArea(screen->availableGeometry());
}
