#pragma once

#include <QDebug>
#include <QElapsedTimer>
#include <QHash>
#include <QtGlobal>

namespace QsLogging {

// Keeps a kind of line that something outside the program can trigger at will (a frame from
// the bus) from flooding the log and rotating the useful history away. Every interval, at most
// `perKey` lines of each key and at most `total` lines of the kind in all are written, however
// many keys there are; the ones after are only counted, and the next line written carries the
// count of those it stands for.
//
//   int dropped = 0;
//   if (m_throttle.admit(devId, &dropped))
//       QLOG_DEBUG() << "... number:" << devId << DroppedLines { dropped };
class LogThrottle
{
public:
    static constexpr qint64 IntervalMs = 1000;
    static constexpr int DefaultTotal = 3;

    // total is raised to perKey if smaller.
    explicit LogThrottle(int perKey = 1, int total = DefaultTotal);

    // Whether the line for key is to be written now; when it is, *dropped receives how many
    // lines of the kind were held back since the last one written.
    bool admit(quint32 key, int *dropped);
    // The same at a given time (milliseconds on any steady clock), for tests.
    bool admit(quint32 key, qint64 nowMs, int *dropped);

private:
    int m_perKey;
    int m_total;
    QElapsedTimer m_clock;
    qint64 m_intervalStartMs = 0;
    int m_written = 0;
    int m_dropped = 0;
    // Lines written this interval per key; no more keys than m_total.
    QHash<quint32, int> m_writtenPerKey;
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
