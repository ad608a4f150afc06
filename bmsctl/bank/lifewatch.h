#pragma once

#include <QHash>
#include <QVariant>

// Which batteries are online by the gateway's rule: a battery is online while its life counter
// has changed within the last OfflineAfterMs. A battery that goes silent and one whose BMS hangs
// repeating its last frames look the same here: the counter stands.
//
// It is told each battery's counter, as the signal store holds it, a few times a second, with
// the time of a monotonic clock. Until a battery's counter has been seen to change or has stood
// for OfflineAfterMs since it was first looked at, the battery is not judged yet.
class LifeWatch
{
public:
    static constexpr int OfflineAfterMs = 3000;

    enum class Verdict { Unjudged, Online, Offline };

    void observe(int devId, const QVariant &lifeCounter, qint64 nowMs);
    Verdict verdict(int devId, qint64 nowMs) const;

private:
    struct Life
    {
        QVariant counter;
        qint64 firstSeenMs = 0;
        qint64 changedMs = -1; // never seen to change
    };
    QHash<int, Life> m_lives;
};
