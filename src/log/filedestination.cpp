#include "filedestination.h"

#include "logfailure.h"
#include "logmessage.h"

#include <QDebug>

namespace QsLogging {

const char *const FileDestination::Type = "file";

FileDestination::FileDestination(const QString &filePath, RotationStrategyPtr rotationStrategy)
    : m_rotationStrategy(std::move(rotationStrategy))
{
    m_file.setFileName(filePath);
    if (!openFile())
        reportLogFailure(QStringLiteral("QsLog: could not open log file ") + filePath);
    m_rotationStrategy->setInitialInfo(m_file);
}

// Unbuffered: what a write could not deliver is lost with its line, instead of waiting in a
// buffer to come out later, out of order or cut short.
bool FileDestination::openFile()
{
    m_lineTorn = false;
    return m_file.open(QIODevice::WriteOnly | QIODevice::Text | QIODevice::Unbuffered
        | m_rotationStrategy->recommendedOpenModeFlag());
}

void FileDestination::rotate()
{
    m_file.close();
    m_rotationStrategy->rotate();
    if (!openFile())
        reportLogFailure(QStringLiteral("QsLog: could not reopen log file ") + m_file.fileName());
    m_rotationStrategy->setInitialInfo(m_file);
}

void FileDestination::write(const LogMessage &message)
{
    m_rotationStrategy->includeMessageInSize(message.formatted);
    if (m_rotationStrategy->shouldRotate())
        rotate();
    else if (!m_file.isOpen() && openFile())
        m_rotationStrategy->setInitialInfo(m_file);

    if (m_lostLines > 0) {
        const QString note = lostLinesNote();
        if (writeLine(note)) {
            m_rotationStrategy->includeMessageInSize(note);
            m_lostLines = 0;
        }
    }
    // While the note is not written, neither is anything after it.
    if (m_lostLines > 0 || !writeLine(message.formatted))
        loseLine();
}

bool FileDestination::writeLine(const QString &line)
{
    if (!m_file.isOpen())
        return false;
    QByteArray bytes = line.toUtf8();
    if (m_lineTorn)
        bytes.prepend('\n');
    bytes.append('\n');
    const qint64 written = m_file.write(bytes);
    if (written > 0)
        m_lineTorn = bytes.at(int(written) - 1) != '\n';
    return written == bytes.size();
}

void FileDestination::loseLine()
{
    // A file that would not open has been reported as such already.
    if (m_lostLines++ == 0 && m_file.isOpen())
        reportLogFailure(QStringLiteral("QsLog: could not write log file ") + m_file.fileName());
}

QString FileDestination::lostLinesNote() const
{
    QString text;
    QDebug(&text) << "FileDestination::write: could not write the log; lines lost:" << m_lostLines;
    return LogMessage(text, QDateTime::currentDateTimeUtc(), WarnLevel).formatted;
}

bool FileDestination::isValid()
{
    return m_file.isOpen();
}

QString FileDestination::type() const
{
    return QString::fromLatin1(Type);
}

} // namespace QsLogging
