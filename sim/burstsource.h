#pragma once

#include <QByteArray>
#include <QElapsedTimer>
#include <QHash>
#include <QList>
#include <QObject>

#include <functional>

class QTimer;
struct BusFaults;

// The simulator's burst (--burst): while BusFaults::bursting(), the latest broadcast frame of
// every kind and battery is sent again and again, round the batteries and kinds in turn, at
// --burst times the frame rate the bus carries. Frames go straight to the bus, past its
// capacity model: the point is what the host does with more frames than the bus can bring.
//
//   rate = factor x bitRate / 131    (131 bits: an extended frame of 8 data bytes, unstuffed)
//
// The send is paced on a 1 ms timer from the burst's start, so a late tick catches up and the
// count over the burst is the rate times its length.
class BurstSource : public QObject
{
    Q_OBJECT

public:
    using Send = std::function<void(quint32 id, const QByteArray &data)>;

    BurstSource(const BusFaults &faults, int bitRate, const QElapsedTimer &sinceStart, Send send,
        QObject *parent = nullptr);

    static constexpr int FrameBits = 131;

    // A broadcast frame a battery sent: the burst repeats the latest of each identifier.
    void remember(quint32 id, const QByteArray &data);
    qint64 sent() const { return m_sent; }
    double framesPerSecond() const { return m_framesPerSecond; }

private:
    void OnTick();

    const BusFaults &m_faults;
    const QElapsedTimer &m_sinceStart;
    Send m_send;
    double m_framesPerSecond = 0.0;
    QTimer *m_timer = nullptr;
    QHash<quint32, QByteArray> m_latest;
    QList<quint32> m_ids; // in the order first seen
    int m_next = 0;
    qint64 m_sent = 0;
    qint64 m_burstStartNs = -1;
};
