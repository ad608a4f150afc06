#pragma once

#include <QByteArray>
#include <QHash>
#include <QList>
#include <QString>

#include <deque>

// What waits to be handed to the broker, kept so that a broker away for long grows nothing:
//
// - retained messages (status, availability, alarms, discovery) wait as the latest payload of
//   their topic: a newer one takes the older one's place, and none is ever dropped, so there are
//   never more of them than topics;
// - state messages wait in a queue of at most stateCapacity; when it is full the oldest goes
//   and is counted.
//
// Retained messages go first, in the order their topics were first put, then state messages
// oldest first.
class Outbox
{
public:
    struct Message
    {
        QString topic;
        QByteArray payload;
        bool retained = false;
    };

    explicit Outbox(int stateCapacity);

    void putRetained(const QString &topic, const QByteArray &payload);
    void putState(const QString &topic, const QByteArray &payload);

    bool isEmpty() const { return m_retainedOrder.isEmpty() && m_states.empty(); }
    int size() const { return m_retainedOrder.size() + int(m_states.size()); }
    // The next message; the outbox must not be empty.
    const Message &front() const;
    void popFront();

    // State messages dropped since the last call.
    int takeDropped();

private:
    int m_stateCapacity;
    QList<QString> m_retainedOrder;
    QHash<QString, Message> m_retained;
    std::deque<Message> m_states;
    int m_dropped = 0;
};
