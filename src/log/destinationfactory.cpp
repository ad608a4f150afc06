#include "destinationfactory.h"

#include "debugoutputdestination.h"
#include "filedestination.h"
#include "nullrotationstrategy.h"
#include "sizerotationstrategy.h"

namespace QsLogging {

DestinationPtr DestinationFactory::MakeFileDestination(
    const QString &filePath, LogRotationOption rotation, qint64 maxSizeInBytes, int maxOldLogCount)
{
    if (rotation == EnableLogRotation) {
        auto strategy = QSharedPointer<SizeRotationStrategy>::create();
        strategy->setMaximumSizeInBytes(maxSizeInBytes);
        strategy->setBackupCount(maxOldLogCount);
        return DestinationPtr(new FileDestination(filePath, strategy));
    }
    return DestinationPtr(
        new FileDestination(filePath, RotationStrategyPtr(new NullRotationStrategy)));
}

DestinationPtr DestinationFactory::MakeDebugOutputDestination()
{
    return DestinationPtr(new DebugOutputDestination);
}

} // namespace QsLogging
