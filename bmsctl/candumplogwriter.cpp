#include "candumplogwriter.h"

#include "candumpline.h"

bool CandumpLogWriter::open(const QString &path, bool overwrite)
{
    m_file.setFileName(path);
    m_written = 0;
    m_failed = false;
    if (!m_file.open(QIODevice::WriteOnly | QIODevice::Unbuffered
            | (overwrite ? QIODevice::Truncate : QIODevice::NewOnly))) {
        m_error = m_file.errorString();
        return false;
    }
    return true;
}

void CandumpLogWriter::write(const LoggedFrame &frame)
{
    if (m_failed || !m_file.isOpen())
        return;
    const QByteArray line = CandumpLine::format(frame).toUtf8() + '\n';
    if (m_file.write(line) != line.size()) {
        m_failed = true;
        m_error = m_file.errorString();
        return;
    }
    ++m_written;
}

bool CandumpLogWriter::close()
{
    m_file.close();
    return !m_failed;
}
