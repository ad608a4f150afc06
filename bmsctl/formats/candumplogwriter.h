#pragma once

#include "formats/textlogwriter.h"

// Writes a candump log (see CandumpLine), one line a frame.
class CandumpLogWriter : public TextLogWriter
{
protected:
    QByteArray line(const LoggedFrame &frame) override;
};
