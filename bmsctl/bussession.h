#pragma once

#include "busmonitor.h"
#include "busoptions.h"
#include "loggedframe.h"
#include "virtualbusguard.h"

#include <QByteArray>
#include <QList>
#include <QObject>

class CanService;
class SignalValues;

// A command's time on the bus. It opens the adapter the way the window does, through the
// program's one CanService and its signal store (or on the bus of --bus), so that commands,
// replies and decoding behave exactly as in the window; and it hears every raw frame besides,
// for the monitor (scan) and the recorder (record).
//
// A virtual bus on a tcp:// address is reached through a VirtualBusGuard, so that a server that
// is none (a mistyped port) loses the bus instead of crashing the program.
//
// One difference from the window, on purpose: the service does not set the clock of every
// battery that comes online. A command-line tool that changed clocks behind the user's back
// could not report a clock's drift; `bmsctl clock sync` sets them when asked.
//
// Everything runs in the main thread while its event loop runs (see EventWait); frames arrive
// from the adapter's worker thread as queued signals.
class BusSession : public QObject
{
    Q_OBJECT

public:
    // How long a battery is given to be heard before it counts as absent. Batteries broadcast
    // several frames a second, so two seconds hear every one that is alive.
    static constexpr int DiscoveryMs = 2000;

    explicit BusSession(const BusOptions &options, QObject *parent = nullptr);
    // Closes the bus.
    ~BusSession() override;

    // False with the reason when the adapter does not open.
    bool open(QString *error);
    void close();

    CanService *service() const;
    SignalValues *store() const;
    BusMonitor &monitor() { return m_monitor; }
    const BusOptions &options() const { return m_options; }
    // The interface name a traffic log gives the frames ("can0").
    QString channelName() const;

    // Listens until the battery has been heard, or DiscoveryMs without it; false then.
    bool waitForBattery(int devId);
    // The batteries to work on: of the ids given, those heard within DiscoveryMs (the others are
    // put in *absent); with no ids given, every battery heard within DiscoveryMs.
    QList<int> selectBatteries(const QList<int> &ids, QList<int> *absent);
    // "1, 2, 3, 12", or "none", for messages.
    QString heardList() const;

signals:
    // Every frame the adapter receives, in order, with the PC's time of its arrival.
    void frameReceived(const LoggedFrame &frame);
    // The bus is gone for the reason given (no frame will come any more).
    void lost(const QString &reason);

private slots:
    void onNewData(ulong id, const QByteArray &data, ulong timeStamp);

private:
    BusOptions m_options;
    QString m_channelName;
    BusMonitor m_monitor;
    VirtualBusGuard m_guard;
    bool m_open = false;
};
