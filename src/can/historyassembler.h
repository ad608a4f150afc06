#pragma once

#include <QByteArray>
#include <QtGlobal>

#include <functional>

// Puts the history event records of one battery together from the frames of its history
// transfer: twelve frames a record, sequences 0 to 11 (their layout is CommandCodec's).
//
// A record is complete when every sequence came for it. One that lost frames is finished as
// soon as that is certain: at its sequence 11, at the next record's sequence 0, or at close().
// Frames that come without their record's sequence 0 start a record whose beginning was lost,
// except before the transfer's first record: there they are the tail of a transfer that was
// under way when this one started (its record was dropped, the frames in flight still came), and
// are dropped, unless they are a whole record but for its sequence 0. A frame that comes twice
// in a row is taken once: CAN delivers a frame twice when the last bit of its end of frame is
// disturbed, and within a transfer no two frames in a row are otherwise the same, since each has
// the sequence after the one before. Only the record under construction is kept, so a transfer
// may run for ever (another tool reading the history on the same bus, a battery that never
// stops). Frames with other sequence numbers, the stop acknowledgement 0xFF among them, carry
// no record and are passed over.
class HistoryAssembler
{
public:
    // A finished record, HistoryRecordSize bytes with zeros where frames are missing;
    // missingSequences has bit s set for each sequence s that never came, 0 when it is complete.
    // Called while a frame is taken: it may start() a new transfer.
    using Finished = std::function<void(const QByteArray &record, quint16 missingSequences)>;

    explicit HistoryAssembler(Finished finished);

    // A transfer begins: whatever came before belongs to an earlier one.
    void start();
    // One transfer frame, 8 bytes.
    void add(const QByteArray &frame);
    // The read-out is over: a record under construction will not be completed.
    void close();

    // Frames dropped since start(): delivered twice, or the tail of an earlier transfer.
    int duplicateFrames() const { return m_duplicateFrames; }
    int tailFrames() const { return m_tailFrames; }

private:
    void finish();

    Finished m_finished;
    QByteArray m_record; // the record under construction; empty when none is
    quint16 m_seen = 0; // bit s: sequence s came for it
    bool m_finishedOne = false; // whether a record of this transfer was finished
    QByteArray m_lastFrame;
    int m_duplicateFrames = 0;
    int m_tailFrames = 0;
};
