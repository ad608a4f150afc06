#pragma once

#include "formats/logwriter.h"

// A log of text lines: a header before the first frame (which may take its start time from it)
// and one line a frame, each line written whole.
class TextLogWriter : public LogWriter
{
protected:
    // The lines before the first frame, line ends included; none by default.
    virtual QByteArray header(const LoggedFrame &first)
    {
        Q_UNUSED(first);
        return {};
    }
    // One frame's line, without its line end.
    virtual QByteArray line(const LoggedFrame &frame) = 0;

private:
    bool writeFrame(const LoggedFrame &frame) final;
};
