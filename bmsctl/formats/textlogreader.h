#pragma once

#include "formats/logreader.h"

#include <QByteArray>

// A log of text lines, read one line at a time. A line longer than MaxLineBytes is no line of a
// traffic log: it is skipped (its rest read past without being kept), so that a file of one huge
// line costs no more memory than a short one. The lines are handed to parseLine() without their
// line end; blank lines are handed too (a format may give them meaning).
class TextLogReader : public LogReader
{
public:
    static constexpr int MaxLineBytes = 4096;

    // What a line holds, as the line codecs judge it.
    enum class Line { Frame, NoFrame, Skipped };

protected:
    // Called at the start of each pass, before the first line.
    virtual void beginText() { }
    // One line (1-based number): a frame, a line that holds none (a comment, a header line), or
    // one skipped for *reason.
    virtual Line parseLine(
        const QByteArray &line, qint64 number, LoggedFrame *frame, QString *reason)
        = 0;

    qint64 lineNumber() const { return m_number; }

private:
    bool begin() final;
    bool readFrame(LoggedFrame *frame) final;
    // The next line into m_line; false at the end. *tooLong when it was cut.
    bool readLine(bool *tooLong);

    QByteArray m_line;
    qint64 m_number = 0;
};
