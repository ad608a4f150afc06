#pragma once

#include "bank/alarmwatch.h"
#include "bank/bankmodel.h"
#include "battery/batteryidentity.h"
#include "mqtt/bankreport.h"
#include "mqtt/batteryreport.h"
#include "mqtt/discovery.h"
#include "mqtt/gatewaytopics.h"

#include <QByteArray>
#include <QElapsedTimer>
#include <QMap>
#include <QObject>
#include <QTimer>

class BrokerLink;
class BusSession;

// The bus side of `bmsctl mqtt`: what the signal store holds about every battery heard becomes
// messages for the broker (GatewayTopics): a state message per battery and one for the bank
// (BankModel) every interval, the active alarms and the availability when they change, an
// event for each protection or alarm that becomes active or clears (looked for with the life
// counters, a few times a second), the gateway's own status, and with discovery Home
// Assistant's configurations, the bank's device among them. Everything retained is put again at each connection and,
// for discovery, when Home Assistant announces itself online: at once, and at most once per
// DiscoveryAnswerMs however often it is said (any client may say it).
//
// Read-only towards the batteries: it sends nothing on the bus but, with discovery, the three
// identity reads (serial, model, firmware) of each battery, and nothing that comes from the
// broker reaches the bus.
//
// The identity reads wait for replies in a local event loop (CanService), during which the
// timers here go on running; a read is never started while another is under way.
class MqttGateway : public QObject
{
    Q_OBJECT

public:
    // How often the life counters are looked at: well within LifeWatch::OfflineAfterMs.
    static constexpr int LifeCheckMs = 250;
    // A battery that did not tell who it is is asked again after this.
    static constexpr int IdentityRetryMs = 30000;
    // The frames heard are taken in batches this often once the gateway runs, rather than one
    // batch per poll of the adapter: a busy bus wakes the main thread a few times less often, and
    // a reply still comes well within its wait's first cycle (ReplyWaiter::CycleMs).
    static constexpr int FrameBatchMs = 20;
    static constexpr int DiscoveryAnswerMs = 5000;

    struct Options
    {
        GatewayTopics topics;
        QString site;
        int intervalMs = 1000;
        QList<int> ids; // empty: every battery heard
        QList<int> extraSignals;
        bool discovery = false;
        QString discoveryPrefix = QString::fromLatin1(Discovery::DefaultPrefix);
    };

    MqttGateway(
        const Options &options, BusSession &session, BrokerLink &link, QObject *parent = nullptr);

    // Watches the life counters from now on and, when publishing, publishes every interval.
    void start(bool publishing);
    // A state message and the alarms for every battery heard, and the availability of those
    // judged; now.
    void publishRound();
    // Reads the identity of every battery heard that has none yet, one after the other.
    void readIdentities();
    // Says offline, for the gateway and every battery, and stops the timers.
    void stop();
    int batteryCount() const { return m_batteries.size(); }

private:
    struct Battery
    {
        QByteArray availability; // as last published; empty before
        QByteArray alarms;
        bool identified = false;
        BatteryIdentity identity;
        qint64 identityDueMs = 0;
    };

    void checkLives();
    void readIdentity(int devId);
    void publishDiscovery(int devId);
    void publishBankDiscovery();
    void publishEvents();
    void publishRetainedState();
    void answerDiscovery();
    void onMessage(const QString &topic, const QByteArray &payload);

    Options m_options;
    BusSession &m_session;
    BrokerLink &m_link;
    BatteryReport m_report;
    BankReport m_bankReport;
    BankModel m_bank;
    AlarmWatch m_alarms;
    QMap<int, Battery> m_batteries;
    QElapsedTimer m_clock;
    QTimer m_publishTimer;
    QTimer m_lifeTimer;
    QTimer m_discoveryAnswer;
    QElapsedTimer m_discoveryAnswered;
    bool m_readingIdentity = false;
    bool m_stopped = false;
};
