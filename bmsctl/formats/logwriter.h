#pragma once

#include "formats/loggedframe.h"

#include <QByteArray>
#include <QFile>
#include <QString>

// Writes frames to a traffic log, in whole pieces (a line of a text log, a block of a binary
// one): a write the system takes only in part (a full disk) is cut off again, so that the file
// ends on a whole piece, and the writer fails from then on with the system's reason (failed(),
// errorString()). A recording hands every piece to the system at once (EveryPiece), so that a
// recording cut short, even by a kill, keeps every piece written before; a conversion gathers
// pieces up to BatchBytes and hands them over together (Batched), a system call for many lines
// rather than one each.
class LogWriter
{
public:
    enum class Handing { EveryPiece, Batched };
    static constexpr int BatchBytes = 64 * 1024;

    virtual ~LogWriter() = default;

    // Creates the file, or empties an existing one when overwrite; false with errorString()
    // when it cannot (an existing file without overwrite included).
    bool open(const QString &path, bool overwrite, Handing handing = Handing::EveryPiece);
    // False once writing has failed.
    bool write(const LoggedFrame &frame);
    // Hands the system what the format holds back to write in blocks; false once failed.
    bool flush();
    // Finishes the file (a header that counts what it holds) and closes it; false if anything
    // failed.
    bool close();

    qint64 framesWritten() const { return m_written; }
    bool failed() const { return m_failed; }
    QString errorString() const { return m_error; }

protected:
    virtual bool writeFrame(const LoggedFrame &frame) = 0;
    virtual bool flushHeld() { return true; }
    virtual bool finish() { return true; }

    // Writes the bytes whole after what was put before (at once, or with the batch), or fails
    // and leaves the file as before the write that failed.
    bool put(const QByteArray &bytes);
    // Writes the bytes over what lies at the offset (a header, once its figures are known).
    bool putAt(qint64 offset, const QByteArray &bytes);
    bool fail(const QString &reason);

private:
    // Hands the batch to the system.
    bool putBatch();
    bool putNow(const QByteArray &bytes);

    QFile m_file;
    Handing m_handing = Handing::EveryPiece;
    QByteArray m_batch;
    qint64 m_written = 0;
    bool m_failed = false;
    QString m_error;
};
