#include "filedestination.h"

#include "logfailure.h"
#include "logmessage.h"

namespace QsLogging {

const char *const FileDestination::Type = "file";

FileDestination::FileDestination(const QString &filePath, RotationStrategyPtr rotationStrategy)
    : m_rotationStrategy(std::move(rotationStrategy))
{
    m_file.setFileName(filePath);
    if (!m_file.open(QIODevice::WriteOnly | QIODevice::Text
            | m_rotationStrategy->recommendedOpenModeFlag())) {
        reportLogFailure(QStringLiteral("QsLog: could not open log file ") + filePath);
    }
    attachStream();
    m_rotationStrategy->setInitialInfo(m_file);
}

void FileDestination::attachStream()
{
    m_outputStream.setDevice(&m_file);
    m_outputStream.setCodec("UTF-8");
}

void FileDestination::write(const LogMessage &message)
{
    m_rotationStrategy->includeMessageInSize(message.formatted);
    if (m_rotationStrategy->shouldRotate()) {
        m_outputStream.setDevice(nullptr);
        m_file.close();
        m_rotationStrategy->rotate();
        if (!m_file.open(QIODevice::WriteOnly | QIODevice::Text
                | m_rotationStrategy->recommendedOpenModeFlag())) {
            reportLogFailure(
                QStringLiteral("QsLog: could not reopen log file ") + m_file.fileName());
        }
        m_rotationStrategy->setInitialInfo(m_file);
        attachStream();
    }

    m_outputStream << message.formatted << '\n';
    m_outputStream.flush();
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
