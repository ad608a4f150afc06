#pragma once

#include <QRect>
#include <QSize>
#include <QWidget>

class QStackedWidget;
class TrendRecorder;
class UiBaseInfo;
class UiFirmware;
class UiHistoryData;
class UiLogin;
class UiLogo;
class UiLogsHistory;
class UiMainLeft;
class UiMainTop;
class UiManufacturing;
class UiParallelInfo;
class UiParameter;
class UiTrendsWindow;

// The main window: logo and top bar above, navigation bar and the page stack below, all in a
// scroll area so that nothing is cut on small screens. It routes navigation to the stack and
// the battery selected in the top bar to every page that shows one battery.
//
// The window never grows beyond 1641 x 973, the size its pages are laid out for; a maximised
// window is given the size it would open with instead of the whole screen.
//
// The window also keeps the bank's trends (TrendRecorder, sampling while the bus is open) and
// the Trends window that shows them, opened from the top bar.
//
// Closing the window ends the program; main() does that when the window is destroyed, so the
// window itself can be built and dropped freely. While a firmware upgrade runs, the window
// closes only after the user confirmed (UpgradeStopQuestion), and stops the upgrade first.
class MainWidger : public QWidget
{
    Q_OBJECT
public:
    // Stack indices. The navigation bar's entry ids are the same numbers.
    enum Page {
        BaseInfoPage = 0,
        ParallelInfoPage = 1,
        HistoryDataPage = 2,
        LogsHistoryPage = 3,
        LoginPage = 4,
        FirmwarePage = 5,
        ManufacturingPage = 6,
        ParameterPage = 7,
        PageCount = 8
    };

    static constexpr int MaxWidth = 1641;
    static constexpr int MaxHeight = 973;

    explicit MainWidger(QWidget *parent = nullptr);

    // The size the window opens with on a screen whose available area is the given one: the
    // full size where it fits, otherwise the area less room for the frame and the task bar.
    static QSize sizeForAvailableArea(const QRect &availableArea);
    // A size cut to MaxWidth x MaxHeight.
    static QSize clampedSize(const QSize &size);

    UiMainTop *mainTop() const { return m_top; }
    UiMainLeft *mainLeft() const { return m_left; }
    QStackedWidget *stack() const { return m_stack; }
    UiBaseInfo *baseInfo() const { return m_baseInfo; }
    UiParallelInfo *parallelInfo() const { return m_parallelInfo; }
    UiHistoryData *historyData() const { return m_historyData; }
    UiLogsHistory *logsHistory() const { return m_logsHistory; }
    UiLogin *login() const { return m_login; }
    UiFirmware *firmware() const { return m_firmware; }
    UiManufacturing *manufacturing() const { return m_manufacturing; }
    UiParameter *parameter() const { return m_parameter; }
    const TrendRecorder *trendRecorder() const { return m_trendRecorder; }
    UiTrendsWindow *trendsWindow() const { return m_trendsWindow; }

public slots:
    void SlotLogIn();
    void OnClickHome();
    void OnClickLock();

protected:
    void resizeEvent(QResizeEvent *event) override;
    void changeEvent(QEvent *event) override;
    void closeEvent(QCloseEvent *event) override;

private:
    static QSize sizeForPrimaryScreen();
    // The trend recorder follows the bus; the Trends window, the top bar.
    void connectTrends();

    UiLogo *m_logo = nullptr;
    UiMainTop *m_top = nullptr;
    UiMainLeft *m_left = nullptr;
    QStackedWidget *m_stack = nullptr;
    UiBaseInfo *m_baseInfo = nullptr;
    UiParallelInfo *m_parallelInfo = nullptr;
    UiHistoryData *m_historyData = nullptr;
    UiLogsHistory *m_logsHistory = nullptr;
    UiLogin *m_login = nullptr;
    UiFirmware *m_firmware = nullptr;
    UiManufacturing *m_manufacturing = nullptr;
    UiParameter *m_parameter = nullptr;
    TrendRecorder *m_trendRecorder = nullptr;
    UiTrendsWindow *m_trendsWindow = nullptr;
};
