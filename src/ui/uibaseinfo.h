#pragma once

#include <QList>
#include <QWidget>

class AbstractSignalValue;
class QLabel;
class QTimer;
class UiBmuInfo;
class UiKeyValue;
class UiRelayStatus;
class UiValuePair;

// The home page: the pack picture with its status, six large figures (SOC, voltage, current,
// power, energy, health) and the relay indicators of the selected battery, refreshed once a
// second from the signal store.
//
// A battery offline (or every battery once the bus is closed) keeps its last values on the page;
// they are drawn greyed, with the time the battery was last heard below its status, and its
// relays as unknown.
//
// The cell and temperature extremes and the four module panels are built and refreshed with
// the rest but kept hidden: the figures are what a service visit needs at a glance, and the
// panels stay ready for the day they are shown.
class UiBaseInfo : public QWidget
{
    Q_OBJECT
public:
    enum Figure { Soc = 0, Voltage, Current, Power, Energy, Health, FigureCount };

    static constexpr int RefreshIntervalMs = 1000;
    static constexpr int ModuleCount = 4;
    static constexpr int RelayCount = 4;

    explicit UiBaseInfo(QWidget *parent = nullptr);

    // Where values are read from; the application's store unless a test gives another one.
    void setSignalSource(const AbstractSignalValue *source);

    int currentDevice() const { return m_devId; }
    QString statusText() const;
    QString figureText(Figure figure) const;
    // "Last heard hh:mm:ss" below the status while the battery is offline; empty while live.
    QString lastHeardText() const;
    bool isShowingLive() const { return m_live; }
    const QList<UiValuePair *> &extremes() const { return m_extremes; }
    const QList<UiBmuInfo *> &modules() const { return m_modules; }
    const QList<UiRelayStatus *> &relays() const { return m_relays; }

public slots:
    // Takes effect at the next refresh.
    void Slot_ShowMonitorData(uint devId);
    void OnTimerTimeout();

private:
    QLabel *makeFigure(const QString &icon);
    static QString figureStyle(const QString &icon);
    // Greys the values, names the time last heard and marks the relays unknown, or undoes it.
    void showLive(bool live, qint64 lastLiveMs);

    const AbstractSignalValue *m_source = nullptr;
    UiKeyValue *m_status = nullptr;
    QLabel *m_lastHeard = nullptr;
    bool m_live = true;
    QList<QLabel *> m_figures;
    QList<UiValuePair *> m_extremes;
    QList<UiBmuInfo *> m_modules;
    QList<UiRelayStatus *> m_relays;
    QTimer *m_timer = nullptr;
    int m_devId = -1;
};
