#include "csvfile.h"

#include "log/logger.h"

#include <QSaveFile>

#include <cerrno>

#if defined(Q_OS_UNIX)
#include <unistd.h>
#elif defined(Q_OS_WIN)
#include <io.h>
#endif

namespace {

const QLatin1Char Separator(',');
const QLatin1Char Quote('"');
const QLatin1String LineEnd("\r\n");

bool needsQuotes(const QString &cell)
{
    for (const QChar c : cell) {
        if (c == Separator || c == Quote || c == QLatin1Char('\r') || c == QLatin1Char('\n'))
            return true;
    }
    return false;
}

} // namespace

CsvFile::CsvFile() = default;

CsvFile::~CsvFile()
{
    close();
}

int CsvFile::open(const QString &path)
{
    close();
    m_path = path;
    m_writeError.clear();
    m_file.reset(new QSaveFile(path));
    // Never write straight onto the path, not even where no file can be made beside it.
    m_file->setDirectWriteFallback(false);
    if (!m_file->open(QIODevice::WriteOnly)) {
        QLOG_WARN() << "CsvFile::open: failed to open file:" << path;
        m_file.reset();
        return -1;
    }
    return 0;
}

int CsvFile::appendLine(const QStringList &cells)
{
    if (!m_file) {
        QLOG_WARN() << "CsvFile::appendLine: file not open yet.";
        return -1;
    }
    if (!m_writeError.isEmpty())
        return -1;
    // Written as UTF-8 bytes directly: the same bytes a UTF-8 text stream would write, without
    // setting one up for every line. The file buffers them; a write error surfaces here or at
    // the latest when close() flushes.
    const QByteArray bytes = lineBytes(cells);
    if (m_file->write(bytes) != bytes.size() || m_file->error() != QFileDevice::NoError) {
        m_writeError = m_file->errorString();
        if (m_writeError.isEmpty())
            m_writeError = QStringLiteral("write error");
        QLOG_WARN() << "CsvFile::appendLine: failed to write file:" << m_path << m_writeError;
        return -1;
    }
    return 0;
}

int CsvFile::close()
{
    if (!m_file)
        return 0;
    // The last lines are still in the file's buffer, and the file system may report a full
    // disk only when asked to put the data on disk. QSaveFile notices neither (it would commit
    // a short file), so both are checked here, and a file with a lost line replaces nothing.
    if (m_writeError.isEmpty())
        m_writeError = flushToDisk();
    if (!m_writeError.isEmpty())
        m_file->cancelWriting();
    const bool saved = m_file->commit();
    if (!saved) {
        QLOG_WARN() << "CsvFile::close: failed to save file, it is left as it was:" << m_path
                    << (m_writeError.isEmpty() ? m_file->errorString() : m_writeError);
    }
    m_file.reset();
    return saved ? 0 : -1;
}

QString CsvFile::flushToDisk()
{
    if (!m_file->flush() || m_file->error() != QFileDevice::NoError)
        return m_file->errorString();
#if defined(Q_OS_UNIX)
    if (::fsync(m_file->handle()) != 0)
        return qt_error_string(errno);
#elif defined(Q_OS_WIN)
    if (::_commit(m_file->handle()) != 0)
        return qt_error_string(errno);
#endif
    return QString();
}

QString CsvFile::cellText(const QString &cell)
{
    if (!needsQuotes(cell))
        return cell;
    QString quoted = cell;
    quoted.replace(Quote, QStringLiteral("\"\""));
    return Quote + quoted + Quote;
}

QByteArray CsvFile::lineBytes(const QStringList &cells)
{
    QString line;
    for (int i = 0; i < cells.size(); ++i) {
        if (i > 0)
            line += Separator;
        line += cellText(cells.at(i));
    }
    line += LineEnd;
    return line.toUtf8();
}
