#pragma once

#include "trendplot.h"

#include <QVector>
#include <QWidget>

class CanService;
class QCheckBox;
class QComboBox;
class QLabel;
class QPushButton;
class QTimer;
class SignalValues;
class TrendRecorder;
class UiCellVoltageChart;

// The Trends window's Battery tab: one battery's trend in four time plots (pack voltage and
// current; state of charge; highest and lowest cell voltage with their spread; highest and
// lowest temperature) and its cells live as bars.
//
// The battery is the one the top bar selects, until the engineer picks another in the tab's
// own selector; "Follow BAT ID" goes back to the top bar's. The plots show the last minute, ten
// minutes, hour, or everything kept, up to the time of the last refresh; paused, they stand
// still while the recorder goes on. What is shown can be saved as a picture, titled with the
// battery, its battery code (when read), the date and the time window, or as CSV (the battery,
// then the points shown, each with its interval and, where thinned, its lowest and highest
// value, then the cell voltages of the chart; with a UTF-8 byte-order mark, which spreadsheet
// programs need to read the units). The
// save dialog starts in the folder last used, at first in the user's documents; the "Saved"
// line clears after a few seconds or when another battery is shown.
//
// The visible window starts where the battery's data starts, once that is later than the span
// chosen reaches back (but shows at least a minute).
//
// The tab reads the recorder's series and the store; it never samples on its own.
class UiTrendBatteryTab : public QWidget
{
    Q_OBJECT
public:
    enum Span { LastMinute, LastTenMinutes, LastHour, Everything };

    static constexpr int StatusShownMs = 5000;

    UiTrendBatteryTab(
        const TrendRecorder *recorder, const SignalValues *store, QWidget *parent = nullptr);

    // Where the battery code for the picture's title comes from; may be null.
    void setService(const CanService *service) { m_service = service; }

    int deviceId() const { return m_devId; }
    bool isFollowing() const;
    bool isPaused() const;
    void setSpan(Span span);
    void setPaused(bool paused);

    // The points shown last, by channel, at the wall clock's times, and the time they were shown
    // up to on the recorder's time line.
    const TrendPlot::Points &points() const { return m_points; }
    qint64 shownUntilMs() const { return m_nowMs; }

    // 0, or -1 when the file could not be written.
    int exportPng(const QString &path) const;
    int exportCsv(const QString &path) const;

    QComboBox *batteryCombo() const { return m_battery; }
    QLabel *statusLabel() const { return m_status; }
    // The picture's title for what is shown now.
    QString pictureTitle() const;
    QCheckBox *followCheck() const { return m_follow; }
    QComboBox *spanCombo() const { return m_span; }
    QPushButton *pauseButton() const { return m_pause; }
    UiCellVoltageChart *cellChart() const { return m_cells; }
    const QVector<TrendPlot *> &plots() const { return m_plots; }

public slots:
    // The battery the top bar selected: shown unless the engineer picked another here.
    void followTopBar(int devId);
    // Shows this battery and follows the top bar again (which is then told to select it).
    void openBattery(int devId);
    // Shows this battery and stops following the top bar, as picking it in the selector does.
    void pickBattery(int devId);
    // The window's tick: the list of batteries and, unless paused, the plots up to nowMs (on the
    // recorder's time line, TrendRecorder::nowMs).
    void refresh(qint64 nowMs);

private:
    void redraw();
    void refreshBatteryList();
    void select(int devId);
    void savePicture();
    void saveCsv();
    void showStatus(const QString &text);
    QString askPath(const QString &title, const QString &suffix, const QString &filter);

    const TrendRecorder *m_recorder;
    const SignalValues *m_store;
    const CanService *m_service = nullptr;
    // Where the save dialog starts; the user's documents until a file is saved.
    QString m_folder;
    // The time window shown last, on the wall clock.
    qint64 m_shownFromMs = 0;
    qint64 m_shownToMs = 0;
    int m_devId = -1;
    // The top bar's choice, to go back to when following is switched on again.
    int m_topBarId = -1;
    qint64 m_nowMs = 0;
    TrendPlot::Points m_points;
    QVector<TrendPlot::Channel> m_channels;

    QComboBox *m_battery = nullptr;
    QCheckBox *m_follow = nullptr;
    QComboBox *m_span = nullptr;
    QPushButton *m_pause = nullptr;
    QLabel *m_status = nullptr;
    QTimer *m_statusTimer = nullptr;
    QWidget *m_shown = nullptr;
    QVector<TrendPlot *> m_plots;
    UiCellVoltageChart *m_cells = nullptr;
};
