#pragma once

#include <QByteArray>
#include <QList>
#include <QObject>
#include <QSocketNotifier>
#include <QString>
#include <QtTest>

#include <functional>

#include <fcntl.h>
#include <stdlib.h>
#include <termios.h>
#include <unistd.h>

// The adapter's end of a serial line to a host speaking slcan: notes every line the host writes
// and answers it at once through answer(), by default as a good adapter does (goodAnswer()).
// Either a pseudo-terminal pair of its own, whose slave path() the host opens, or an existing
// end such as one of a socat pair (open(path)).
//
//   SlcanAdapterEnd adapter;                  // a pair of its own
//   SlcanBus bus(CanBusConfig("slcan", adapter.path()));
//   bus.open({});                             // adapter.nextLine() gives "C", "V", "S5", "O"
class SlcanAdapterEnd : public QObject
{
public:
    // A carriage return for commands, "Z" before it for extended frames, V and F replies.
    static QByteArray goodAnswer(const QByteArray &line)
    {
        switch (line.isEmpty() ? '\r' : line.at(0)) {
        case 'V':
            return "V1013\r";
        case 'F':
            return "F00\r";
        case 'T':
        case 'R':
            return "Z\r";
        case 't':
        case 'r':
            return "z\r";
        default:
            return "\r";
        }
    }

    std::function<QByteArray(const QByteArray &line)> answer = &SlcanAdapterEnd::goodAnswer;

    // A pseudo-terminal pair of its own.
    SlcanAdapterEnd()
    {
        m_fd = ::posix_openpt(O_RDWR | O_NOCTTY);
        if (m_fd < 0 || ::grantpt(m_fd) != 0 || ::unlockpt(m_fd) != 0)
            return;
        m_path = QString::fromLocal8Bit(::ptsname(m_fd));
        // Raw on the host's side, as a serial port opened by the host would be anyway.
        const int slave = ::open(::ptsname(m_fd), O_RDWR | O_NOCTTY);
        termios settings {};
        ::tcgetattr(slave, &settings);
        ::cfmakeraw(&settings);
        ::tcsetattr(slave, TCSANOW, &settings);
        ::close(slave);
        watch();
    }
    // An existing end, e.g. one of a socat pair.
    explicit SlcanAdapterEnd(const QString &existing)
    {
        m_fd = ::open(existing.toLocal8Bit().constData(), O_RDWR | O_NOCTTY);
        if (m_fd >= 0)
            watch();
    }
    ~SlcanAdapterEnd() override { hangUp(); }

    bool isOpen() const { return m_fd >= 0; }
    // The path the host opens (a pair of its own).
    QString path() const { return m_path; }
    // Goes away, as an unplugged adapter.
    void hangUp()
    {
        delete m_notifier;
        m_notifier = nullptr;
        if (m_fd >= 0)
            ::close(m_fd);
        m_fd = -1;
    }
    void write(const QByteArray &bytes)
    {
        QCOMPARE(::write(m_fd, bytes.data(), size_t(bytes.size())), ssize_t(bytes.size()));
    }
    // The next line the host wrote, without its carriage return; empty after 3 s without one.
    QByteArray nextLine()
    {
        if (!QTest::qWaitFor([this] { return m_next < m_lines.size(); }, 3000))
            return QByteArray();
        return m_lines.at(m_next++);
    }
    bool allRead() const { return m_next == m_lines.size(); }
    // Every line so far.
    QList<QByteArray> lines() const { return m_lines; }

private:
    void watch()
    {
        ::fcntl(m_fd, F_SETFL, ::fcntl(m_fd, F_GETFL) | O_NONBLOCK);
        m_notifier = new QSocketNotifier(m_fd, QSocketNotifier::Read, this);
        connect(m_notifier, &QSocketNotifier::activated, this, &SlcanAdapterEnd::onReadable);
    }

    void onReadable()
    {
        char bytes[1024];
        ssize_t count = 0;
        while ((count = ::read(m_fd, bytes, sizeof bytes)) > 0)
            m_written.append(bytes, int(count));
        int end = 0;
        while ((end = m_written.indexOf('\r')) >= 0) {
            const QByteArray line = m_written.left(end);
            m_written.remove(0, end + 1);
            m_lines.append(line);
            const QByteArray reply = answer(line);
            if (!reply.isEmpty())
                write(reply);
        }
    }

    int m_fd = -1;
    QString m_path;
    QSocketNotifier *m_notifier = nullptr;
    QByteArray m_written;
    QList<QByteArray> m_lines;
    int m_next = 0;
};
