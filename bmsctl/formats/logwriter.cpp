#include "logwriter.h"

#include <cerrno>
#include <cstring>

bool LogWriter::open(const QString &path, bool overwrite, Handing handing)
{
    m_file.setFileName(path);
    m_handing = handing;
    m_batch.clear();
    m_written = 0;
    m_failed = false;
    m_error.clear();
    if (!m_file.open(QIODevice::WriteOnly | QIODevice::Unbuffered
            | (overwrite ? QIODevice::Truncate : QIODevice::NewOnly))) {
        m_error = m_file.errorString();
        return false;
    }
    return true;
}

bool LogWriter::write(const LoggedFrame &frame)
{
    if (m_failed || !m_file.isOpen())
        return false;
    if (!writeFrame(frame))
        return false;
    ++m_written;
    return true;
}

bool LogWriter::flush()
{
    return !m_failed && m_file.isOpen() && flushHeld() && putBatch();
}

bool LogWriter::close()
{
    if (m_file.isOpen() && !m_failed && finish())
        putBatch();
    m_file.close();
    return !m_failed;
}

bool LogWriter::put(const QByteArray &bytes)
{
    if (m_handing == Handing::EveryPiece)
        return putNow(bytes);
    m_batch += bytes;
    return m_batch.size() < BatchBytes || putBatch();
}

bool LogWriter::putBatch()
{
    const bool put = m_batch.isEmpty() || putNow(m_batch);
    m_batch.clear();
    return put;
}

bool LogWriter::putNow(const QByteArray &bytes)
{
    const qint64 end = m_file.pos();
    errno = 0;
    if (m_file.write(bytes) == bytes.size())
        return true;
    // The system's own words: QFile has been seen to say "Unknown error" for a full disk.
    const QString reason
        = errno != 0 ? QString::fromLocal8Bit(std::strerror(errno)) : m_file.errorString();
    m_file.resize(end);
    m_file.seek(end);
    return fail(reason);
}

bool LogWriter::putAt(qint64 offset, const QByteArray &bytes)
{
    if (!putBatch())
        return false;
    const qint64 end = m_file.pos();
    errno = 0;
    if (m_file.seek(offset) && m_file.write(bytes) == bytes.size() && m_file.seek(end))
        return true;
    return fail(errno != 0 ? QString::fromLocal8Bit(std::strerror(errno)) : m_file.errorString());
}

bool LogWriter::fail(const QString &reason)
{
    m_failed = true;
    m_error = reason;
    return false;
}
