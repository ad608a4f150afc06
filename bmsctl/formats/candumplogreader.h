#pragma once

#include "formats/textlogreader.h"

// Reads a candump log (see CandumpLine), line by line; empty lines are no frames and no faults.
class CandumpLogReader : public TextLogReader
{
protected:
    Line parseLine(
        const QByteArray &line, qint64 number, LoggedFrame *frame, QString *reason) override;
};
