#pragma once

#include <QCommandLineOption>
#include <QList>
#include <QString>

class HistoryLog;
class QCommandLineParser;

// The simulator's options for the batteries' history logs: how many events a log starts with,
// a transfer that stops half way, and a dump of the logs for tests to compare with.
struct HistoryOptions
{
    int eventCount = -1; // events each log starts with; -1: 20 to 60 at random
    int stopAfter = -1; // a transfer ends after this many records (fault packs); -1: never
    QString dumpDir; // where each finished transfer writes its battery's log; empty: nowhere

    static QList<QCommandLineOption> commandLineOptions();
    bool read(const QCommandLineParser &parser, QString *error);

    // Whether a transfer that has sent this many records stops here.
    bool cutsTransferAt(int sent) const { return stopAfter >= 0 && sent >= stopAfter; }
    // Writes <dumpDir>/history-<devId>.hex: every record of the log, one lower-case hex line
    // each, in the order a transfer sends them. Nothing without a dump folder.
    void dump(int devId, const HistoryLog &log) const;
};
