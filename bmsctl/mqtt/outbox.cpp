#include "outbox.h"

Outbox::Outbox(int stateCapacity)
    : m_stateCapacity(qMax(1, stateCapacity))
{ }

void Outbox::putRetained(const QString &topic, const QByteArray &payload)
{
    auto it = m_retained.find(topic);
    if (it == m_retained.end()) {
        m_retainedOrder.append(topic);
        m_retained.insert(topic, Message { topic, payload, true });
    } else {
        it->payload = payload;
    }
}

void Outbox::putState(const QString &topic, const QByteArray &payload)
{
    if (int(m_states.size()) >= m_stateCapacity) {
        m_states.pop_front();
        ++m_dropped;
    }
    m_states.push_back(Message { topic, payload, false });
}

const Outbox::Message &Outbox::front() const
{
    return m_retainedOrder.isEmpty() ? m_states.front()
                                     : *m_retained.constFind(m_retainedOrder.first());
}

void Outbox::popFront()
{
    if (!m_retainedOrder.isEmpty())
        m_retained.remove(m_retainedOrder.takeFirst());
    else
        m_states.pop_front();
}

int Outbox::takeDropped()
{
    const int dropped = m_dropped;
    m_dropped = 0;
    return dropped;
}
