#pragma once

#include "formats/candumplogreader.h"

class Console;

// Tells the user which lines of a log were left out and why: "FILE:12: <reason>", the first
// few in full and the rest as a count.
class SkippedLines
{
public:
    static constexpr int ShownInFull = 20;

    static void report(
        Console &console, const QString &path, const QList<CandumpLogReader::SkippedLine> &skipped);
};
