#pragma once

#include <QDebug>
#include <QElapsedTimer>
#include <QHash>
#include <QtGlobal>

namespace QsLogging {

// Keeps a line that something outside the program can trigger at will (a frame from the bus)
// from flooding the log and rotating the useful history away. Per key, the first `burst` lines
// of every interval are written; the ones after are only counted, and the next line written for
// that key carries the count of those it stands for.
//
//   int dropped = 0;
//   if (m_throttle.admit(devId, &dropped))
//       QLOG_DEBUG() << "... number:" << devId << DroppedLines { dropped };
class LogThrottle
{
public:
    static constexpr qint64 IntervalMs = 1000;

    explicit LogThrottle(int burst = 1);

    // Whether the line for key is to be written now; when it is, *dropped receives how many
    // lines for key were held back since the last one written.
    bool admit(quint32 key, int *dropped);
    // The same at a given time (milliseconds on any steady clock), for tests.
    bool admit(quint32 key, qint64 nowMs, int *dropped);

private:
    struct KeyState
    {
        qint64 intervalStartMs = 0;
        int written = 0;
        int dropped = 0;
    };

    int m_burst;
    QElapsedTimer m_clock;
    QHash<quint32, KeyState> m_keys;
};

// Streamed at the end of a throttled line: nothing when the line stands alone, otherwise
// "(and N more since the last line)".
struct DroppedLines
{
    int count;
};

inline QDebug operator<<(QDebug debug, DroppedLines dropped)
{
    if (dropped.count > 0)
        debug << "(and" << dropped.count << "more since the last line)";
    return debug;
}

} // namespace QsLogging
