#pragma once

#include <QWidget>

class AbstractSignalValue;
class CanService;
class QTimer;
class UiRelayControls;

// The engineering page behind the login: manual control of the selected battery's relays.
//
// The relay pictures follow what the battery broadcasts, read from the signal store once a
// second; a click asks the battery, through the CAN service, to switch the relay to the
// opposite of its last broadcast state. Nothing is shown for the command itself (the relay
// command has no reply): the next broadcast, and with it the next refresh, tells whether the
// battery obeyed.
class UiParameter : public QWidget
{
    Q_OBJECT
public:
    static constexpr int RefreshIntervalMs = 1000;

    explicit UiParameter(QWidget *parent = nullptr);

    // Where relay states are read from; the application's store unless a test gives another.
    void setSignalSource(const AbstractSignalValue *source);

    int currentDevice() const { return int(m_devId); }
    UiRelayControls *relayControls() const { return m_relayControls; }
    QTimer *refreshTimer() const { return m_timer; }

    // The signal that carries a relay type's state; -1 outside 0..3.
    static int stateSignal(int relayType);

public slots:
    // Selects the battery that the refresh reads and that relay commands address; the
    // pictures change at the next refresh.
    void Slot_ShowMonitorData(uint devId);
    void OnTimerTimeout();
    void OnControlRelay(int relayType);

private:
    const AbstractSignalValue *m_source = nullptr;
    CanService *m_service = nullptr;
    UiRelayControls *m_relayControls = nullptr;
    QTimer *m_timer = nullptr;
    uint m_devId = 0;
};
