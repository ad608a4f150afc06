#pragma once

#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QtTest>

// A real MQTT client on the test's broker: mosquitto_sub, subscribed to everything, keeping
// what arrives as (topic, payload) pairs in order. Ready once its own marker came back.
class MqttSubscriber
{
public:
    struct Message
    {
        QString topic;
        QByteArray payload;
    };

    ~MqttSubscriber() { stop(); }

    bool start(const QStringList &brokerArguments)
    {
        m_process.start(
            QStringLiteral("mosquitto_sub"), brokerArguments + QStringList { "-t", "#", "-v" });
        const QString marker = QStringLiteral("test/ready/%1").arg(m_process.processId());
        return m_process.waitForStarted(5000) && QTest::qWaitFor([&] {
            QProcess::execute(QStringLiteral("mosquitto_pub"),
                brokerArguments + QStringList { "-t", marker, "-m", "1" });
            return !of(marker).isEmpty();
        });
    }

    void stop()
    {
        m_process.kill();
        m_process.waitForFinished(3000);
    }

    // Every payload that came on the topic, in order.
    QList<QByteArray> of(const QString &topic)
    {
        read();
        QList<QByteArray> payloads;
        for (const Message &message : qAsConst(m_messages)) {
            if (message.topic == topic)
                payloads.append(message.payload);
        }
        return payloads;
    }
    QByteArray last(const QString &topic)
    {
        const QList<QByteArray> payloads = of(topic);
        return payloads.isEmpty() ? QByteArray() : payloads.last();
    }
    QJsonObject lastJson(const QString &topic)
    {
        return QJsonDocument::fromJson(last(topic)).object();
    }
    const QList<Message> &messages()
    {
        read();
        return m_messages;
    }

private:
    void read()
    {
        m_pending += m_process.readAllStandardOutput();
        int end;
        while ((end = m_pending.indexOf('\n')) >= 0) {
            const QByteArray line = m_pending.left(end);
            m_pending.remove(0, end + 1);
            const int space = line.indexOf(' ');
            m_messages.append({ QString::fromUtf8(line.left(space)), line.mid(space + 1) });
        }
    }

    QProcess m_process;
    QByteArray m_pending;
    QList<Message> m_messages;
};
