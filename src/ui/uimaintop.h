#pragma once

#include "signals/alarmonsets.h"

#include <QList>
#include <QStringList>
#include <QWidget>

class QComboBox;
class QLabel;
class QPushButton;
class QTimer;
class SerialPortList;
class UiBankLine;

// The top bar: home and login buttons, the serial-port and battery selectors, the PROTECTION
// and ALARM counters of the selected battery, and the clock.
//
// The battery selector is filled from the signal store's newDeviceId and kept sorted. The
// selected battery is announced with Sig_SetCurrentBmsId when the user picks one and on the
// one-second tick whenever it differs from the last one announced, so the pages hear of the
// first battery (or of id 0 while none is known) without anyone having to pick.
//
// The counters do not latch: each tick recounts the selected battery's active faults. Beside
// them, the bank line names the batteries of the whole bank in protection, in alarm or offline
// (BankState), and the selector marks each battery's condition with a coloured dot, keeping its
// items' texts; both follow the same tick.
//
// Beside the battery selector, a button (Ctrl+T) asks for the Trends window (trendsClicked).
class UiMainTop : public QWidget
{
    Q_OBJECT
public:
    static constexpr int TickIntervalMs = 1000;
    static constexpr int ComboHeight = 40;
    static constexpr int ComPortComboWidth = 125;
    // The battery selector's items carry their BankState::Condition in this role.
    static constexpr int ConditionRole = Qt::UserRole + 1;

    explicit UiMainTop(QWidget *parent = nullptr);

    // The selected battery's number; 0 while the selector is empty.
    int currentDeviceId() const;
    // The names of the alarm set: the level names, then the flag names, translated.
    QStringList alarmNames() const;
    const QList<int> &levelSignals() const { return m_levelSignals; }
    const QList<int> &flagSignals() const { return m_flagSignals; }

    QPushButton *homeButton() const { return m_home; }
    QPushButton *loginButton() const { return m_login; }
    QPushButton *trendsButton() const { return m_trends; }
    QComboBox *comPortCombo() const { return m_comPorts; }
    QComboBox *batteryCombo() const { return m_batteries; }
    QPushButton *protectButton() const { return m_protect; }
    QPushButton *alarmButton() const { return m_alarm; }
    QLabel *dateLabel() const { return m_date; }
    QLabel *timeLabel() const { return m_time; }
    UiBankLine *bankLine() const { return m_bankLine; }

signals:
    void homeClicked();
    void loginClicked();
    void Sig_SetCurrentBmsId(uint iBmsId);
    void comPortChanged(QString portName);
    void trendsClicked();

public slots:
    void OnNewDeviceId(uchar devId);
    // Selects a battery of the selector as the user would; nothing when it is not listed.
    void selectDevice(int devId);
    void updateProtect();
    void updateAlarm();
    void Slot_batteryIdChanged(int iIdx);
    void OnTimerTimeout();
    // Opens the active-event list of the selected battery and waits until it is closed.
    void OnShowActiveAlarm();

private:
    void refreshComPorts();
    void refreshBank();

    QPushButton *m_home = nullptr;
    QPushButton *m_login = nullptr;
    QPushButton *m_trends = nullptr;
    QComboBox *m_comPorts = nullptr;
    QComboBox *m_batteries = nullptr;
    QPushButton *m_protect = nullptr;
    QPushButton *m_alarm = nullptr;
    QLabel *m_date = nullptr;
    QLabel *m_time = nullptr;
    UiBankLine *m_bankLine = nullptr;
    QTimer *m_timer = nullptr;
    SerialPortList *m_portList = nullptr;
    int m_lastBmsId = -1;
    QList<int> m_levelSignals;
    QList<int> m_flagSignals;
    AlarmOnsets m_onsets;
};
