#pragma once

#include <QCommandLineOption>
#include <QList>
#include <QString>

class HistoryLog;
class QCommandLineParser;

// The simulator's options for the batteries' history logs: how many events a log starts with,
// a transfer that stops half way, records damaged on their way, and a dump of the logs for
// tests to compare with. Like every fault, the transfer's apply to the fault packs only.
//
//   --history-missing-frame K:S    record K (0-based, in transfer order) goes out without its
//                                  frame of sequence S (0 to 11)
//   --history-foreign-record K:N   record K carries device number N in its byte 7, sealed with
//                                  a CRC that fits, as if another battery's record had slipped
//                                  into the log
struct HistoryOptions
{
    int eventCount = -1; // events each log starts with; -1: 20 to 60 at random
    int stopAfter = -1; // a transfer ends after this many records (fault packs); -1: never
    QString dumpDir; // where each finished transfer writes its battery's log; empty: nowhere
    int missingFrameRecord = -1; // the record sent without one frame; -1: none
    int missingFrameSequence = 0; // ... and that frame's sequence number
    int foreignRecord = -1; // the record sent with another battery's number; -1: none
    int foreignDevId = 0; // ... and that number

    static QList<QCommandLineOption> commandLineOptions();
    bool read(const QCommandLineParser &parser, QString *error);

    // Whether a transfer that has sent this many records stops here.
    bool cutsTransferAt(int sent) const { return stopAfter >= 0 && sent >= stopAfter; }
    // Writes <dumpDir>/history-<devId>.hex: every record of the log, one lower-case hex line
    // each, in the order a transfer sends them. Nothing without a dump folder.
    void dump(int devId, const HistoryLog &log) const;
};
