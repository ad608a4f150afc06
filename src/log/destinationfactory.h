#pragma once

#include "destination.h"

namespace QsLogging {

enum LogRotationOption { DisableLogRotation = 0, EnableLogRotation = 1 };

// Builds the destinations start-up attaches to the logger.
class DestinationFactory
{
public:
    static DestinationPtr MakeFileDestination(const QString &filePath,
        LogRotationOption rotation = DisableLogRotation, qint64 maxSizeInBytes = 0,
        int maxOldLogCount = 0);
    static DestinationPtr MakeDebugOutputDestination();
};

} // namespace QsLogging
