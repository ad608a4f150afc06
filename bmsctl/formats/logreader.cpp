#include "logreader.h"

bool LogReader::open(const QString &path)
{
    m_file.close();
    m_file.setFileName(path);
    if (!m_file.open(QIODevice::ReadOnly))
        return fail(m_file.errorString());
    return rewind();
}

bool LogReader::rewind()
{
    m_error.clear();
    m_skipped.clear();
    if (!m_file.seek(0))
        return fail(m_file.errorString());
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
