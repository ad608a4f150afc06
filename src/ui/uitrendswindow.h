#pragma once

#include <QWidget>

class CanService;
class QTabWidget;
class QTimer;
class SignalValues;
class TrendRecorder;
class UiTrendBankTab;
class UiTrendBatteryTab;

// The Trends window, a window of its own beside the main one: a Battery tab with one
// battery's trend and cells, and a Bank tab with every battery side by side. It reads what the
// program's one TrendRecorder keeps and the store holds, on a one-second tick that runs only
// while the window is shown, and redraws only the tab in front.
//
// Clicking a battery in the Bank tab opens it in the Battery tab and asks the top bar to select
// it (batteryChosen); the Battery tab follows the top bar's choice (Slot_ShowMonitorData).
//
// Esc and Ctrl+W close it. Its size, position, tab, time window and battery choice are kept
// across restarts in a file of their own, "trends.ini" beside config.txt: saveState() as it is
// hidden, restoreState() when the main window builds it.
class UiTrendsWindow : public QWidget
{
    Q_OBJECT
public:
    static constexpr int RefreshIntervalMs = 1000;

    // The window keeps the pointers; recorder and store must outlive it. service may be null.
    UiTrendsWindow(const TrendRecorder *recorder, const SignalValues *store,
        const CanService *service, QWidget *parent = nullptr);

    UiTrendBatteryTab *batteryTab() const { return m_battery; }
    UiTrendBankTab *bankTab() const { return m_bank; }
    QTabWidget *tabs() const { return m_tabs; }
    bool isRefreshing() const;

    // The state file beside the executable.
    static QString stateFilePath();
    void saveState(const QString &path) const;
    void restoreState(const QString &path);

signals:
    void batteryChosen(int devId);

public slots:
    // Shows the window, or brings it to the front when it is already shown.
    void showWindow();
    void Slot_ShowMonitorData(uint devId);
    void OnTimerTimeout();

protected:
    void showEvent(QShowEvent *event) override;
    void hideEvent(QHideEvent *event) override;

private:
    const TrendRecorder *m_recorder;
    QTabWidget *m_tabs = nullptr;
    UiTrendBatteryTab *m_battery = nullptr;
    UiTrendBankTab *m_bank = nullptr;
    QTimer *m_timer = nullptr;
};
