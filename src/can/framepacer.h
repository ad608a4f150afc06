#pragma once

#include <QElapsedTimer>
#include <QtGlobal>

// Keeps a stream of frames to a rate on average (which may change as it goes): a token bucket counted in frames. Credit flows
// in at framesPerSecond by the monotonic clock (so a late timer tick is made up for, but never
// by more than the burst), up to burstFrames; a group of frames may go once the credit covers
// it, and is paid for at once. A group larger than the burst goes when the bucket is full and
// leaves the credit negative, so that the next group waits until it is paid off.
//
// Hence, between any two moments d seconds apart, at most burstFrames + framesPerSecond x d
// frames go (one group larger than the burst may overshoot by its excess).
class FramePacer
{
public:
    FramePacer(int framesPerSecond, int burstFrames);

    // A full bucket, the clock starting now.
    void restart();
    // Whether a group of frames may go now; if so it is counted.
    bool tryTake(int frames);
    // The same at a given time on the pacer's clock, in nanoseconds since restart().
    bool tryTakeAt(qint64 nowNs, int frames);
    // A new rate from now on (the credit earned so far stays); at least one frame a second.
    void setFramesPerSecond(int framesPerSecond);
    void setFramesPerSecondAt(qint64 nowNs, int framesPerSecond);

    int framesPerSecond() const { return m_framesPerSecond; }
    int burstFrames() const { return m_burstFrames; }

private:
    // Adds the credit earned at the current rate up to nowNs.
    void earn(qint64 nowNs);

    int m_framesPerSecond;
    int m_burstFrames;
    double m_credit = 0.0;
    qint64 m_lastNs = 0;
    QElapsedTimer m_clock;
};
