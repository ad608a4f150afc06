#include "historyoptions.h"

#include "historylog.h"

#include <QCommandLineParser>
#include <QDir>
#include <QSaveFile>

#include <cstdio>

namespace {

const QString EventCount = QStringLiteral("history-events");
const QString StopAfter = QStringLiteral("history-stop-after");
const QString DumpDir = QStringLiteral("history-dump");

bool readCount(const QCommandLineParser &parser, const QString &name, int *value, QString *error)
{
    if (!parser.isSet(name))
        return true;
    bool ok = false;
    *value = parser.value(name).toInt(&ok);
    if (!ok || *value < 0) {
        *error = QStringLiteral("--%1 takes a count from 0 on: %2").arg(name, parser.value(name));
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
    };
}

bool HistoryOptions::read(const QCommandLineParser &parser, QString *error)
{
    dumpDir = parser.value(DumpDir);
    return readCount(parser, EventCount, &eventCount, error)
        && readCount(parser, StopAfter, &stopAfter, error);
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
        file.write(log.record(i).toHex() + '\n');
    if (!file.commit())
        std::fprintf(stderr, "bms-sim: cannot write %s\n", qPrintable(file.fileName()));
}
