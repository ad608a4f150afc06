#include "logreader.h"

bool LogReader::open(const QString &path)
{
    m_file.close();
    m_file.setFileName(path);
    const QIODevice::OpenMode mode = readsInBlocks() ? QIODevice::ReadOnly | QIODevice::Unbuffered
                                                     : QIODevice::OpenMode(QIODevice::ReadOnly);
    if (!m_file.open(mode))
        return fail(m_file.errorString());
    return start();
}

bool LogReader::rewind()
{
    if (!m_file.seek(0))
        return fail(m_file.errorString());
    return start();
}

bool LogReader::start()
{
    m_error.clear();
    m_skipped.clear();
    return begin();
}

bool LogReader::next(LoggedFrame *frame)
{
    if (!m_error.isEmpty())
        return false;
    return readFrame(frame);
}

bool LogReader::fail(const QString &reason)
{
    m_error = reason;
    return false;
}
