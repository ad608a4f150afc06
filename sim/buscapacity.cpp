#include "buscapacity.h"

#include "can/canframebits.h"

#include <algorithm>

BusCapacity::BusCapacity(int bitRate)
    : m_bitRate(std::max(1, bitRate))
{ }

int BusCapacity::addNode(int queueDepth)
{
    m_nodes.push_back(Node { std::max(1, queueDepth), {}, {} });
    return int(m_nodes.size()) - 1;
}

int BusCapacity::frameBits(quint32 id, bool extended, const QByteArray &payload, bool remote)
{
    return CanFrameBits::bitsOnWire(id, extended, payload, remote);
}

quint32 BusCapacity::arbitrationField(const QCanBusFrame &frame)
{
    // The arbitration bits as they go on the wire, first bit the most significant, left-aligned
    // in 32 bits: base format ID[10:0] RTR IDE=0, extended ID[28:18] SRR=1 IDE=1 ID[17:0] RTR.
    const quint32 remote = frame.frameType() == QCanBusFrame::RemoteRequestFrame ? 1u : 0u;
    const quint32 id = frame.frameId();
    if (!frame.hasExtendedFrameFormat())
        return (id & 0x7FFu) << 21 | remote << 20;
    return ((id >> 18) & 0x7FFu) << 21 | 1u << 20 | 1u << 19 | (id & 0x3FFFFu) << 1 | remote;
}

bool BusCapacity::offer(qint64 nowNs, int node, const QCanBusFrame &frame)
{
    progress(nowNs);
    Node &sender = m_nodes[size_t(node)];
    for (Counts &counts : sender.counts)
        ++counts.offered;
    if (int(sender.queue.size()) >= sender.depth) {
        for (Counts &counts : sender.counts)
            ++counts.dropped;
        return false;
    }
    const int bits = frameBits(frame.frameId(), frame.hasExtendedFrameFormat(), frame.payload(),
        frame.frameType() == QCanBusFrame::RemoteRequestFrame);
    sender.queue.push_back(Pending { frame, bits, arbitrationField(frame), nowNs });
    for (Counts &counts : sender.counts)
        counts.queuePeak = std::max(counts.queuePeak, int(sender.queue.size()));
    return true;
}

int BusCapacity::queueRoom(qint64 nowNs, int node)
{
    progress(nowNs);
    const Node &sender = m_nodes.at(size_t(node));
    return sender.depth - int(sender.queue.size());
}

QVector<BusCapacity::Carried> BusCapacity::advance(qint64 nowNs)
{
    progress(nowNs);
    QVector<Carried> carried;
    carried.swap(m_carried);
    return carried;
}

qint64 BusCapacity::nextStartNs() const
{
    qint64 earliest = -1;
    for (const Node &node : m_nodes) {
        if (!node.queue.empty() && (earliest < 0 || node.queue.front().offeredNs < earliest))
            earliest = node.queue.front().offeredNs;
    }
    return earliest < 0 ? -1 : std::max(earliest, m_busFreeNs);
}

qint64 BusCapacity::nextEventNs() const
{
    return m_onWire >= 0 ? m_wireEndNs : nextStartNs();
}

void BusCapacity::progress(qint64 nowNs)
{
    for (;;) {
        if (m_onWire >= 0) {
            if (m_wireEndNs > nowNs)
                return;
            Node &sender = m_nodes[size_t(m_onWire)];
            const Pending &sent = sender.queue.front();
            for (Counts &counts : sender.counts)
                counts.carriedBits += sent.bits;
            m_carried.append(Carried { m_onWire, sent.frame });
            sender.queue.pop_front();
            m_busFreeNs = m_wireEndNs;
            m_onWire = -1;
        }
        // Only a start before now is decided: a frame offered at this very instant may still
        // join the arbitration.
        const qint64 startNs = nextStartNs();
        if (startNs < 0 || startNs >= nowNs)
            return;
        const Pending *winner = nullptr;
        for (size_t i = 0; i < m_nodes.size(); ++i) {
            const std::deque<Pending> &queue = m_nodes[i].queue;
            if (queue.empty() || queue.front().offeredNs > startNs)
                continue;
            if (!winner || queue.front().arbitration < winner->arbitration) {
                winner = &queue.front();
                m_onWire = int(i);
            }
        }
        for (Counts &counts : m_nodes[size_t(m_onWire)].counts)
            counts.longestWaitNs = std::max(counts.longestWaitNs, startNs - winner->offeredNs);
        m_wireEndNs = startNs + (qint64(winner->bits) * 1000000000 + m_bitRate / 2) / m_bitRate;
    }
}

BusCapacity::Counts BusCapacity::counts(int node, Span span) const
{
    return m_nodes.at(size_t(node)).counts[span];
}

BusCapacity::Counts BusCapacity::total(Span span) const
{
    Counts sum;
    for (const Node &node : m_nodes) {
        const Counts &counts = node.counts[span];
        sum.offered += counts.offered;
        sum.dropped += counts.dropped;
        sum.carriedBits += counts.carriedBits;
        sum.queuePeak = std::max(sum.queuePeak, counts.queuePeak);
        sum.longestWaitNs = std::max(sum.longestWaitNs, counts.longestWaitNs);
    }
    return sum;
}

void BusCapacity::mark()
{
    for (Node &node : m_nodes) {
        node.counts[SinceMark] = Counts();
        node.counts[SinceMark].queuePeak = int(node.queue.size());
    }
}
