#include "framepacer.h"

#include <algorithm>

FramePacer::FramePacer(int framesPerSecond, int burstFrames)
    : m_framesPerSecond(std::max(1, framesPerSecond))
    , m_burstFrames(std::max(1, burstFrames))
{
    restart();
}

void FramePacer::restart()
{
    m_credit = m_burstFrames;
    m_lastNs = 0;
    m_clock.start();
}

bool FramePacer::tryTake(int frames)
{
    return tryTakeAt(m_clock.nsecsElapsed(), frames);
}

void FramePacer::setFramesPerSecond(int framesPerSecond)
{
    setFramesPerSecondAt(m_clock.nsecsElapsed(), framesPerSecond);
}

void FramePacer::setFramesPerSecondAt(qint64 nowNs, int framesPerSecond)
{
    earn(nowNs);
    m_framesPerSecond = std::max(1, framesPerSecond);
}

void FramePacer::earn(qint64 nowNs)
{
    if (nowNs > m_lastNs) {
        m_credit = std::min<double>(
            m_burstFrames, m_credit + double(nowNs - m_lastNs) * m_framesPerSecond / 1e9);
        m_lastNs = nowNs;
    }
}

bool FramePacer::tryTakeAt(qint64 nowNs, int frames)
{
    earn(nowNs);
    if (m_credit < std::min(frames, m_burstFrames))
        return false;
    m_credit -= frames;
    return true;
}
