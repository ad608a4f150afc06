#pragma once

#include "formats/ascline.h"
#include "formats/textlogreader.h"

// Reads an ASC log (see AscLine), line by line.
class AscLogReader : public TextLogReader
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
    AscLine m_codec;
};
