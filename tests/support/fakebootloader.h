#pragma once

#include "upgrade/uartframe.h"

#include <QByteArray>
#include <QList>
#include <QObject>
#include <QSet>
#include <QSocketNotifier>
#include <QString>

#include <fcntl.h>
#include <stdlib.h>
#include <termios.h>
#include <unistd.h>

#include <functional>

// A serial boot loader played by the test on the master end of a pseudo-terminal; the code
// under test opens portName() as its serial port. It answers at once (no line pacing) and
// records every frame it receives with the baud rate the host had set when it came.
//
// Default answers: the upgrade request at 9600 baud gets none (the running firmware only
// starts its boot loader); every other request gets [status 1, sub-command], the version query
// [1, 1, tag]. Control:
//   setTag(tag)            the revision tag the version query is answered with
//   refuse(subCommand)     answer that sub-command with status 0
//   silence(subCommand)    never answer it (0: never answer anything)
//   setNoise(bytes)        bytes written before every answer
//   setAnswer(function)    replaces the answer: the bytes to write for a received frame
//   write(bytes)           writes raw bytes to the host now
//   hangUp()               closes the master: the host's port is gone
class FakeBootLoader : public QObject
{
public:
    struct Received
    {
        QByteArray frame;
        qint32 baud = 0;
    };

    FakeBootLoader()
    {
        m_master = ::posix_openpt(O_RDWR | O_NOCTTY);
        if (m_master < 0 || ::grantpt(m_master) != 0 || ::unlockpt(m_master) != 0)
            return;
        m_portName = QString::fromLocal8Bit(::ptsname(m_master));
        m_slave = ::open(::ptsname(m_master), O_RDWR | O_NOCTTY);
        termios settings {};
        ::tcgetattr(m_slave, &settings);
        ::cfmakeraw(&settings);
        ::tcsetattr(m_slave, TCSANOW, &settings);
        ::fcntl(m_master, F_SETFL, ::fcntl(m_master, F_GETFL) | O_NONBLOCK);
        m_notifier = new QSocketNotifier(m_master, QSocketNotifier::Read, this);
        connect(m_notifier, &QSocketNotifier::activated, this, [this] { readAll(); });
    }
    ~FakeBootLoader() override
    {
        hangUp();
        if (m_slave >= 0)
            ::close(m_slave);
    }

    bool isOpen() const { return m_master >= 0 && m_slave >= 0; }
    QString portName() const { return m_portName; }
    const QList<Received> &frames() const { return m_frames; }
    QList<quint16> subCommands() const
    {
        QList<quint16> result;
        for (const Received &received : m_frames)
            result.append(UartFrame::subCommand(received.frame));
        return result;
    }

    void setTag(const QByteArray &tag) { m_tag = tag; }
    void refuse(quint16 subCommand) { m_refused.insert(subCommand); }
    void silence(quint16 subCommand) { m_silenced.insert(subCommand); }
    void setNoise(const QByteArray &noise) { m_noise = noise; }
    void setAnswer(std::function<QByteArray(const QByteArray &frame)> answer)
    {
        m_answer = std::move(answer);
    }
    void write(const QByteArray &bytes)
    {
        if (m_master >= 0)
            (void)::write(m_master, bytes.constData(), size_t(bytes.size()));
    }
    void hangUp()
    {
        delete m_notifier;
        m_notifier = nullptr;
        if (m_master >= 0)
            ::close(m_master);
        m_master = -1;
    }

    // The answer the defaults give to a frame (empty: none).
    QByteArray defaultAnswer(const QByteArray &frame, qint32 baud) const
    {
        const quint16 subCommand = UartFrame::subCommand(frame);
        if (m_silenced.contains(0) || m_silenced.contains(subCommand))
            return QByteArray();
        if (subCommand == UartFrame::RequestUpgrade && baud == 9600)
            return QByteArray();
        return m_noise
            + UartFrame::reply(0x00, !m_refused.contains(subCommand), subCommand,
                subCommand == UartFrame::RequestUpgrade ? m_tag : QByteArray());
    }

private:
    qint32 baud() const
    {
        termios settings {};
        ::tcgetattr(m_master, &settings);
        return ::cfgetospeed(&settings) == B115200 ? 115200
            : ::cfgetospeed(&settings) == B9600    ? 9600
                                                   : 0;
    }

    void readAll()
    {
        char bytes[4096];
        for (;;) {
            const ssize_t count = ::read(m_master, bytes, sizeof bytes);
            if (count <= 0)
                break;
            m_buffer.append(QByteArray(bytes, int(count)));
        }
        const qint32 rate = baud();
        for (auto item = m_buffer.next(); item.kind != UartReceiveBuffer::NeedMore;
             item = m_buffer.next()) {
            if (item.kind != UartReceiveBuffer::Frame)
                continue;
            m_frames.append({ item.frame, rate });
            const QByteArray answer
                = m_answer ? m_answer(item.frame) : defaultAnswer(item.frame, rate);
            write(answer);
        }
    }

    int m_master = -1;
    int m_slave = -1;
    QString m_portName;
    QSocketNotifier *m_notifier = nullptr;
    UartReceiveBuffer m_buffer;
    QList<Received> m_frames;
    QByteArray m_tag = "ZK100";
    QSet<quint16> m_refused;
    QSet<quint16> m_silenced;
    QByteArray m_noise;
    std::function<QByteArray(const QByteArray &)> m_answer;
};
