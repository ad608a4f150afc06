#pragma once

#include <QIODevice>
#include <QSharedPointer>
#include <QString>

class QFile;

namespace QsLogging {

// Decides when a log file is full and how the old files are shuffled away. The file
// operations are virtual so that their failures can be provoked in tests.
class RotationStrategy
{
public:
    virtual ~RotationStrategy();

    virtual void setInitialInfo(const QFile &file) = 0;
    virtual void includeMessageInSize(const QString &formattedLine) = 0;
    virtual bool shouldRotate() = 0;
    virtual void rotate() = 0;
    virtual QIODevice::OpenMode recommendedOpenModeFlag() = 0;

    virtual bool removeFile(const QString &path);
    virtual bool fileExists(const QString &path);
    virtual bool renameFile(const QString &from, const QString &to);
};

using RotationStrategyPtr = QSharedPointer<RotationStrategy>;

} // namespace QsLogging
