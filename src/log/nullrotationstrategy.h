#pragma once

#include "rotationstrategy.h"

namespace QsLogging {

// Never rotates; the file starts empty at every run.
class NullRotationStrategy : public RotationStrategy
{
public:
    void setInitialInfo(const QFile &) override { }
    void includeMessageInSize(const QString &) override { }
    bool shouldRotate() override { return false; }
    void rotate() override { }
    QIODevice::OpenMode recommendedOpenModeFlag() override { return QIODevice::Truncate; }
};

} // namespace QsLogging
