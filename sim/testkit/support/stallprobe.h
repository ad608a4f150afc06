#pragma once

#include <QElapsedTimer>
#include <QFile>
#include <QObject>
#include <QTimer>
#include <QVector>

#include <algorithm>

#if defined(__SANITIZE_ADDRESS__)
#define STALLPROBE_ASAN 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define STALLPROBE_ASAN 1
#endif
#endif
#if defined(STALLPROBE_ASAN)
// The sanitizer's allocator interface (sanitizer/allocator_interface.h, which not every compiler
// installs).
extern "C" size_t __sanitizer_get_current_allocated_bytes(void);
#elif defined(__GLIBC__)
#include <malloc.h>
#endif

// How responsive the GUI thread stays: a 10 ms timer in the thread's event loop notes how late
// each of its ticks comes. A stall is the time a tick came after it was due; the longest one is
// what a user would have felt as the window hanging.
//
//   StallProbe probe;          // in the GUI thread, starts measuring at once
//   ... run the load ...
//   probe.longestMs(), probe.percentileMs(99)
class StallProbe : public QObject
{
public:
    static constexpr int TickMs = 10;

    StallProbe()
    {
        m_timer.setTimerType(Qt::PreciseTimer);
        m_timer.setInterval(TickMs);
        connect(&m_timer, &QTimer::timeout, this, [this] {
            const qint64 now = m_clock.nsecsElapsed();
            m_stallsNs.append(qMax<qint64>(0, now - m_lastNs - qint64(TickMs) * 1000000));
            m_lastNs = now;
        });
        restart();
    }

    void restart()
    {
        m_stallsNs.clear();
        m_clock.start();
        m_lastNs = 0;
        m_timer.start();
    }

    int ticks() const { return m_stallsNs.size(); }
    double longestMs() const
    {
        return m_stallsNs.isEmpty() ? 0.0
                                    : *std::max_element(m_stallsNs.begin(), m_stallsNs.end()) / 1e6;
    }
    double percentileMs(double percent) const
    {
        if (m_stallsNs.isEmpty())
            return 0.0;
        QVector<qint64> sorted = m_stallsNs;
        std::sort(sorted.begin(), sorted.end());
        const int at = qBound(0, int(sorted.size() * percent / 100.0), sorted.size() - 1);
        return sorted.at(at) / 1e6;
    }

    // The heap this process has in use, in KiB: what it allocated and has not freed. Under
    // AddressSanitizer the resident set grows with its quarantine of freed blocks (up to
    // 256 MiB), so the sanitizer's own count is taken there; glibc's elsewhere on Linux.
    static qint64 heapInUseKiB()
    {
#if defined(STALLPROBE_ASAN)
        return qint64(__sanitizer_get_current_allocated_bytes() / 1024);
#elif defined(__GLIBC__)
        const struct mallinfo2 info = mallinfo2();
        return qint64((info.uordblks + info.hblkhd) / 1024);
#else
        return 0;
#endif
    }
    // The resident memory of this process in KiB (Linux; 0 elsewhere).
    static qint64 residentKiB()
    {
        return statusField("VmRSS:");
    }
    // Its peak so far.
    static qint64 peakResidentKiB()
    {
        return statusField("VmHWM:");
    }

private:
    static qint64 statusField(const char *name)
    {
        QFile status(QStringLiteral("/proc/self/status"));
        if (!status.open(QIODevice::ReadOnly))
            return 0;
        for (const QByteArray &line : status.readAll().split('\n')) {
            if (line.startsWith(name))
                return line.mid(int(qstrlen(name))).trimmed().split(' ').value(0).toLongLong();
        }
        return 0;
    }

    QTimer m_timer;
    QElapsedTimer m_clock;
    qint64 m_lastNs = 0;
    QVector<qint64> m_stallsNs;
};
