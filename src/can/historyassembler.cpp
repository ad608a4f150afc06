#include "historyassembler.h"

#include "can/commandcodec.h"

#include <utility>

using namespace CommandProtocol;

namespace {

constexpr quint16 AllSequences = (1u << (LastHistorySequence + 1)) - 1u;

} // namespace

HistoryAssembler::HistoryAssembler(Finished finished)
    : m_finished(std::move(finished))
{ }

void HistoryAssembler::start()
{
    m_record.clear();
    m_seen = 0;
    m_finishedOne = false;
    m_lastFrame.clear();
    m_duplicateFrames = 0;
    m_tailFrames = 0;
}

void HistoryAssembler::add(const QByteArray &frame)
{
    const int sequence = CommandCodec::historySequenceOf(frame);
    if (sequence > LastHistorySequence)
        return;
    const QByteArray content = frame.left(1 + HistoryBytesPerFrame);
    if (content == m_lastFrame) {
        ++m_duplicateFrames;
        return;
    }
    m_lastFrame = content;

    if (sequence == 0)
        finish();
    if (m_seen == 0)
        m_record = QByteArray(HistoryRecordSize, '\0');
    CommandCodec::placeHistoryBytes(frame, m_record);
    m_seen |= quint16(1u << sequence);
    if (sequence == LastHistorySequence)
        finish();
}

void HistoryAssembler::close()
{
    finish();
}

void HistoryAssembler::finish()
{
    const quint16 seen = m_seen;
    if (seen == 0)
        return;
    m_seen = 0;
    // Taken out before anyone hears of it: the receiver may start a new transfer.
    const QByteArray assembled = std::exchange(m_record, QByteArray());
    const bool tailOfAnEarlierTransfer
        = !m_finishedOne && (seen & 1u) == 0 && (seen | 1u) != AllSequences;
    if (tailOfAnEarlierTransfer) {
        m_tailFrames += qPopulationCount(seen);
        return;
    }
    m_finishedOne = true;
    m_finished(assembled, quint16(~seen & AllSequences));
}
