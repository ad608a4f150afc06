#pragma once

#include <QString>

class CanService;
class Console;

// One battery's history event log, read out and saved the way the window's history page does
// it: a HistoryReadout asks for the number of events, starts the transfer and checks every
// record; each sound one becomes its 47 cells (HistoryRecordText), and the rows are written
// with the window's own CSV save (CsvSaveJob::write), header first.
//
// The read-out ends when every announced record has come or been rejected, when the battery
// sends nothing for HistoryReadout::TransferIdleMs (stalled), or at Ctrl-C; a transfer that did
// not end by itself is stopped. Whatever was read is saved, also when it is not the whole log;
// such a file is named so (see fileName()).
//
// Runs in the main thread; the event loop runs while records come (see EventWait).
class HistoryExport
{
public:
    enum Transfer {
        NoReply, // the battery did not answer the event count request: nothing read, no file
        Complete, // every announced record came (some may have been rejected)
        Stalled, // the battery stopped sending before the end
        Interrupted, // Ctrl-C before the end
    };

    struct Result
    {
        int devId = -1;
        Transfer transfer = NoReply;
        int announced = 0; // what the battery said it holds
        int read = 0; // rows in the file
        int badCrc = 0; // rejected: check sum wrong (or too short)
        int wrongBattery = 0; // rejected: byte 7 names another battery
        QString path; // the file, when one was to be written
        bool saved = false;

        // Every announced record read ...
        bool readWhole() const
        {
            return transfer == Complete && badCrc == 0 && wrongBattery == 0 && read == announced;
        }
        // ... and saved.
        bool whole() const { return readWhole() && saved; }
        int rejected() const { return badCrc + wrongBattery; }
    };

    // Reads battery devId's log and saves it in folder, its file name made with stamp.
    static Result read(CanService *service, int devId, const QString &folder, const QString &stamp,
        Console &console);

    // "historyEvent.<devId>.<stamp>.csv", or "historyEvent.<devId>.<stamp>.incomplete.csv" for
    // what was read of a log that was not read whole.
    static QString fileName(int devId, const QString &stamp, bool readWhole);
};
