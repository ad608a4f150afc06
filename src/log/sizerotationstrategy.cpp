#include "sizerotationstrategy.h"

#include "logfailure.h"

#include <QFile>

#include <algorithm>

namespace QsLogging {

void SizeRotationStrategy::setInitialInfo(const QFile &file)
{
    m_fileName = file.fileName();
    m_currentSizeInBytes = file.size();
}

void SizeRotationStrategy::includeMessageInSize(const QString &formattedLine)
{
    m_currentSizeInBytes += formattedLine.toUtf8().size();
}

bool SizeRotationStrategy::shouldRotate()
{
    return m_currentSizeInBytes > m_maxSizeInBytes;
}

void SizeRotationStrategy::rotate()
{
    if (m_backupsCount == 0) {
        if (!removeFile(m_fileName))
            reportLogFailure(QStringLiteral("QsLog: backup delete failed ") + m_fileName);
        return;
    }

    const auto backupName
        = [this](int index) { return m_fileName + QLatin1Char('.') + QString::number(index); };

    // The highest backup that exists, but never the last slot: that one is overwritten.
    int lastExisting = 0;
    for (int i = 1; i <= m_backupsCount && fileExists(backupName(i)); ++i)
        lastExisting = i;
    lastExisting = std::min(lastExisting, m_backupsCount - 1);

    for (int i = lastExisting; i >= 1; --i) {
        removeFile(backupName(i + 1));
        if (!renameFile(backupName(i), backupName(i + 1))) {
            reportLogFailure(QStringLiteral("QsLog: could not rename backup ") + backupName(i)
                + QStringLiteral(" to ") + backupName(i + 1));
        }
    }

    if (fileExists(backupName(1)))
        removeFile(backupName(1));
    if (!renameFile(m_fileName, backupName(1))) {
        reportLogFailure(QStringLiteral("QsLog: could not rename log ") + m_fileName
            + QStringLiteral(" to ") + backupName(1));
    }
}

QIODevice::OpenMode SizeRotationStrategy::recommendedOpenModeFlag()
{
    return QIODevice::Append;
}

void SizeRotationStrategy::setMaximumSizeInBytes(qint64 size)
{
    m_maxSizeInBytes = size;
}

void SizeRotationStrategy::setBackupCount(int backups)
{
    m_backupsCount = std::clamp(backups, 0, MaxBackupCount);
}

} // namespace QsLogging
