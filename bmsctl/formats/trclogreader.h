#pragma once

#include "formats/textlogreader.h"
#include "formats/trcline.h"

// Reads a TRC log (see TrcLine), line by line.
class TrcLogReader : public TextLogReader
{
protected:
    void beginText() override { m_codec.reset(); }
    Line parseLine(
        const QByteArray &line, qint64 number, LoggedFrame *frame, QString *reason) override
    {
        Q_UNUSED(number);
        return m_codec.parse(line, frame, reason);
    }

private:
    TrcLine m_codec;
};
