#include "rotationstrategy.h"

#include <QFile>

namespace QsLogging {

RotationStrategy::~RotationStrategy() = default;

bool RotationStrategy::removeFile(const QString &path)
{
    return QFile::remove(path);
}

bool RotationStrategy::fileExists(const QString &path)
{
    return QFile::exists(path);
}

bool RotationStrategy::renameFile(const QString &from, const QString &to)
{
    return QFile::rename(from, to);
}

} // namespace QsLogging
