#include "historyoptions.h"

#include "historylog.h"
#include "optionreaders.h"

#include "records/historyrecordcodec.h"

#include <QCommandLineParser>
#include <QDir>
#include <QSaveFile>

#include <cstdio>
#include <limits>

namespace {

const QString EventCount = QStringLiteral("history-events");
const QString StopAfter = QStringLiteral("history-stop-after");
const QString DumpDir = QStringLiteral("history-dump");
const QString MissingFrame = QStringLiteral("history-missing-frame");
const QString ForeignRecord = QStringLiteral("history-foreign-record");

// K:V, both counts from 0, V at most maxValue.
bool readPair(const QCommandLineParser &parser, const QString &name, int maxValue, int *first,
    int *second, QString *error)
{
    if (!parser.isSet(name))
        return true;
    const QStringList parts = parser.value(name).split(QLatin1Char(':'));
    bool firstOk = false;
    bool secondOk = false;
    if (parts.size() == 2) {
        *first = parts.at(0).toInt(&firstOk);
        *second = parts.at(1).toInt(&secondOk);
    }
    if (!firstOk || !secondOk || *first < 0 || *second < 0 || *second > maxValue) {
        *error = QStringLiteral("--%1 takes RECORD:N, N from 0 to %2: %3")
                     .arg(name)
                     .arg(maxValue)
                     .arg(parser.value(name));
        return false;
    }
    return true;
}

} // namespace

QList<QCommandLineOption> HistoryOptions::commandLineOptions()
{
    return {
        { EventCount, QStringLiteral("Events each history log starts with (default 20 to 60)."),
            QStringLiteral("n") },
        { StopAfter,
            QStringLiteral("A history transfer stops after this many records, as if the battery "
                           "went quiet."),
            QStringLiteral("n") },
        { DumpDir,
            QStringLiteral("After each history transfer, write the battery's whole log to "
                           "<folder>/history-<id>.hex, one record a line."),
            QStringLiteral("folder") },
        { MissingFrame,
            QStringLiteral("Send record K of a transfer without its frame of sequence S (0 to "
                           "11)."),
            QStringLiteral("K:S") },
        { ForeignRecord,
            QStringLiteral("Send record K of a transfer with device number N in it, its CRC "
                           "fitting."),
            QStringLiteral("K:N") },
    };
}

bool HistoryOptions::read(const QCommandLineParser &parser, QString *error)
{
    dumpDir = parser.value(DumpDir);
    using OptionReaders::readInt;
    const QString count = QStringLiteral("a count from 0 on");
    constexpr int Unbounded = std::numeric_limits<int>::max();
    return readInt(parser, EventCount, 0, Unbounded, count, &eventCount, error)
        && readInt(parser, StopAfter, 0, Unbounded, count, &stopAfter, error)
        && readPair(parser, MissingFrame, 11, &missingFrameRecord, &missingFrameSequence, error)
        && readPair(parser, ForeignRecord, 255, &foreignRecord, &foreignDevId, error);
}

void HistoryOptions::dump(int devId, const HistoryLog &log) const
{
    if (dumpDir.isEmpty())
        return;
    // Written whole or not at all, so that a reader never sees half a log.
    QSaveFile file(QDir(dumpDir).filePath(QStringLiteral("history-%1.hex").arg(devId)));
    if (!file.open(QIODevice::WriteOnly)) {
        std::fprintf(stderr, "bms-sim: cannot write %s\n", qPrintable(file.fileName()));
        return;
    }
    for (int i = 0; i < log.count(); ++i)
        file.write(HistoryRecordCodec::encode(log.record(i)).toHex() + '\n');
    if (!file.commit())
        std::fprintf(stderr, "bms-sim: cannot write %s\n", qPrintable(file.fileName()));
}
