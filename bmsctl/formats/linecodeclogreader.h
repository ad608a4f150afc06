#pragma once

#include "formats/textlogreader.h"

// Reads a text log line by line through the format's line codec (AscLine, TrcLine): a codec
// with reset(), called at the start of the text, and parse(line, frame, reason), which keeps
// what the header lines told it.
template <typename Codec> class LineCodecLogReader : public TextLogReader
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
    Codec m_codec;
};
