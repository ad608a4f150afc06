#include "candumplogwriter.h"

#include "candumpline.h"

bool CandumpLogWriter::open(const QString &path)
{
    m_file.setFileName(path);
    m_written = 0;
    m_failed = false;
    if (!m_file.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
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
    if (m_written % FlushEvery == 0 && !m_file.flush()) {
        m_failed = true;
        m_error = m_file.errorString();
    }
}

bool CandumpLogWriter::close()
{
    if (!m_file.isOpen())
        return !m_failed;
    if (!m_file.flush() && !m_failed) {
        m_failed = true;
        m_error = m_file.errorString();
    }
    m_file.close();
    return !m_failed;
}
