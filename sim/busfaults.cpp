#include "busfaults.h"

#include <QCommandLineParser>

namespace {

const QString DuplicateReplies = QStringLiteral("duplicate-replies");
const QString ReplyAs = QStringLiteral("reply-as");
const QString StrayPacks = QStringLiteral("stray-packs");
const QString Burst = QStringLiteral("burst");
const QString BurstAfter = QStringLiteral("burst-after");
const QString BurstFor = QStringLiteral("burst-for");

bool readSeconds(
    const QCommandLineParser &parser, const QString &name, double *value, QString *error)
{
    if (!parser.isSet(name))
        return true;
    bool ok = false;
    *value = parser.value(name).toDouble(&ok);
    if (!ok || *value < 0.0) {
        *error = QStringLiteral("--%1 takes seconds from 0 on: %2").arg(name, parser.value(name));
        return false;
    }
    return true;
}

} // namespace

QList<QCommandLineOption> BusFaults::commandLineOptions()
{
    return {
        { DuplicateReplies, QStringLiteral("Send every reply twice.") },
        { ReplyAs, QStringLiteral("Answer under this device number (0 to 255) instead of the own."),
            QStringLiteral("n") },
        { StrayPacks,
            QStringLiteral("Also play batteries under these device numbers from 28 to 255, which "
                           "the host must ignore."),
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
    duplicateReplies = parser.isSet(DuplicateReplies);
    if (parser.isSet(ReplyAs)) {
        bool ok = false;
        replyAs = parser.value(ReplyAs).toInt(&ok);
        if (!ok || replyAs < 0 || replyAs > 255) {
            *error = QStringLiteral("--reply-as takes a device number from 0 to 255: %1")
                         .arg(parser.value(ReplyAs));
            return false;
        }
    }
    strayPacks.clear();
    for (const QString &part :
        parser.value(StrayPacks).split(QLatin1Char(','), Qt::SkipEmptyParts)) {
        bool ok = false;
        const int id = part.trimmed().toInt(&ok);
        if (!ok || id < 28 || id > 255) {
            *error = QStringLiteral("stray device numbers are 28 to 255: %1").arg(part);
            return false;
        }
        if (!strayPacks.contains(id))
            strayPacks.append(id);
    }
    if (parser.isSet(Burst)) {
        bool ok = false;
        burstFactor = parser.value(Burst).toDouble(&ok);
        if (!ok || burstFactor <= 0.0 || burstFactor > 100.0) {
            *error = QStringLiteral("--burst takes a factor above 0, up to 100: %1")
                         .arg(parser.value(Burst));
            return false;
        }
    }
    return readSeconds(parser, BurstAfter, &burstAfterS, error)
        && readSeconds(parser, BurstFor, &burstForS, error);
}
