#include "canbus.h"

CanBus::CanBus(QObject *parent)
    : QObject(parent)
{
    // For transmitFailed() across queued connections and in tests' signal spies.
    qRegisterMetaType<CanFrame>();
}

void CanBus::setState(State state)
{
    if (state == m_state)
        return;
    m_state = state;
    emit stateChanged(state);
}
