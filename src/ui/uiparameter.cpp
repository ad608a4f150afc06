#include "uiparameter.h"

#include "can/canservice.h"
#include "relayindex.h"
#include "signals/signalindex.h"
#include "signals/signalvalues.h"
#include "uirelaycontrols.h"

#include <QGridLayout>
#include <QStackedLayout>
#include <QTimer>

UiParameter::UiParameter(QWidget *parent)
    : QWidget(parent)
    , m_source(SignalValues::instance())
    , m_service(CanService::instance())
{
    // One page in a stack, so that further engineering pages can join it later.
    auto *page = new QWidget(this);
    page->setObjectName(QStringLiteral("ParameterWidget"));
    m_relayControls = new UiRelayControls(page);
    m_relayControls->setObjectName(QStringLiteral("ParameterWidget"));

    auto *grid = new QGridLayout(page);
    grid->addWidget(m_relayControls, 0, 0);
    grid->setRowStretch(1, 1);

    auto *stack = new QStackedLayout(this);
    stack->addWidget(page);

    for (RelayIndex relay : { RelayPrecharge, RelayDischarge, RelayCharge, RelayMain2nd })
        m_relayControls->updateRelayStatus(relay, false);

    connect(m_relayControls, &UiRelayControls::controlRelay, this, &UiParameter::OnControlRelay);

    // Runs whether or not the page is shown, so that it is current the moment it is.
    m_timer = new QTimer(this);
    m_timer->setInterval(RefreshIntervalMs);
    connect(m_timer, &QTimer::timeout, this, &UiParameter::OnTimerTimeout);
    m_timer->start();
}

void UiParameter::setSignalSource(const AbstractSignalValue *source)
{
    m_source = source;
}

int UiParameter::stateSignal(int relayType)
{
    switch (relayType) {
    case RelayMain2nd:
        return Signal::Main2ndRelay;
    case RelayCharge:
        return Signal::ChargeRelay;
    case RelayDischarge:
        return Signal::DischargeRelay;
    case RelayPrecharge:
        return Signal::PrechargeRelay;
    default:
        return -1;
    }
}

void UiParameter::Slot_ShowMonitorData(uint devId)
{
    m_devId = devId;
}

void UiParameter::OnTimerTimeout()
{
    if (!m_source)
        return;
    for (RelayIndex relay : { RelayMain2nd, RelayCharge, RelayDischarge, RelayPrecharge }) {
        // Only 1 is closed; anything else a battery might send shows the relay open.
        const bool isOn = m_source->value(int(m_devId), stateSignal(relay)).toInt() == 1;
        m_relayControls->updateRelayStatus(relay, isOn);
    }
}

void UiParameter::OnControlRelay(int relayType)
{
    const int index = stateSignal(relayType);
    if (index < 0 || !m_source)
        return;
    // The opposite of the last broadcast state: a relay reads 0 when open. Two quick clicks
    // both see the same stale state and so ask for the same thing, never switch it back.
    const bool isOpen = m_source->value(int(m_devId), index).toInt() == 0;
    m_service->setRelay(uchar(m_devId), uchar(relayType), isOpen ? 1 : 0);
}
