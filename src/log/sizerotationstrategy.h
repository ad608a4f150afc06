#pragma once

#include "rotationstrategy.h"

namespace QsLogging {

// Rotates once the counted size passes the maximum: "log" becomes "log.1", "log.1" becomes
// "log.2", and so on up to the number of old files kept (at most 10).
class SizeRotationStrategy : public RotationStrategy
{
public:
    static constexpr int MaxBackupCount = 10;

    void setInitialInfo(const QFile &file) override;
    void includeMessageInSize(const QString &formattedLine) override;
    bool shouldRotate() override;
    void rotate() override;
    QIODevice::OpenMode recommendedOpenModeFlag() override;

    void setMaximumSizeInBytes(qint64 size);
    void setBackupCount(int backups);

    qint64 currentSizeInBytes() const { return m_currentSizeInBytes; }
    int backupCount() const { return m_backupsCount; }

private:
    QString m_fileName;
    qint64 m_currentSizeInBytes = 0;
    qint64 m_maxSizeInBytes = 0;
    int m_backupsCount = 0;
};

} // namespace QsLogging
