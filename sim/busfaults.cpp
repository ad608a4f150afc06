#include "busfaults.h"

#include "optionreaders.h"

#include "signals/batterybank.h"

#include <QCommandLineParser>

#include <limits>

namespace {

const QString DuplicateReplies = QStringLiteral("duplicate-replies");
const QString ReplyAs = QStringLiteral("reply-as");
const QString StrayPacks = QStringLiteral("stray-packs");
const QString Burst = QStringLiteral("burst");
const QString BurstAfter = QStringLiteral("burst-after");
const QString BurstFor = QStringLiteral("burst-for");
// The low byte of an identifier.
constexpr int MaxDeviceNumber = 255;

} // namespace

QList<QCommandLineOption> BusFaults::commandLineOptions()
{
    return {
        { DuplicateReplies, QStringLiteral("Send every reply twice.") },
        { ReplyAs, QStringLiteral("Answer under this device number (0 to 255) instead of the own."),
            QStringLiteral("n") },
        { StrayPacks,
            QStringLiteral("Also play batteries under these device numbers from %1 to %2, which "
                           "the host must ignore.")
                .arg(BatteryBank::DeviceCount)
                .arg(MaxDeviceNumber),
            QStringLiteral("list") },
        { Burst,
            QStringLiteral("Repeat the batteries' broadcasts at this many times the frame rate "
                           "the bus carries, past its capacity."),
            QStringLiteral("factor") },
        { BurstAfter, QStringLiteral("Start the burst this many seconds after start (default 0)."),
            QStringLiteral("s") },
        { BurstFor, QStringLiteral("Let the burst last this long (default: for good)."),
            QStringLiteral("s") },
    };
}

bool BusFaults::read(const QCommandLineParser &parser, QString *error)
{
    using namespace OptionReaders;
    duplicateReplies = parser.isSet(DuplicateReplies);
    const QString seconds = QStringLiteral("seconds from 0 on");
    constexpr double Forever = std::numeric_limits<double>::infinity();
    return readInt(parser, ReplyAs, 0, MaxDeviceNumber,
               QStringLiteral("a device number from 0 to %1").arg(MaxDeviceNumber), &replyAs, error)
        && readIdList(
            parser.value(StrayPacks), BatteryBank::DeviceCount, MaxDeviceNumber, &strayPacks, error)
        // The smallest number above 0: a burst of factor 0 would be none.
        && readDouble(parser, Burst, std::numeric_limits<double>::min(), 100.0,
            QStringLiteral("a factor above 0, up to 100"), &burstFactor, error)
        && readDouble(parser, BurstAfter, 0.0, Forever, seconds, &burstAfterS, error)
        && readDouble(parser, BurstFor, 0.0, Forever, seconds, &burstForS, error);
}
