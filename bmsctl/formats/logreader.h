#pragma once

#include "formats/loggedframe.h"
#include "formats/skippedlines.h"

#include <QFile>
#include <QString>

// Reads a traffic log frame by frame, holding no more of it than the frame at hand (and, in a
// compressed format, the block it lies in): a log of any size is read in bounded memory. What
// cannot be taken (a malformed line, a frame this bus does not carry) is skipped and kept in
// skipped() with its place and reason, so that the rest is still used and the caller can say
// what was left out.
//
//     std::unique_ptr<LogReader> reader = LogFormat::reader(kind);
//     if (!reader->open(path)) ... reader->errorString()
//     LoggedFrame frame;
//     while (reader->next(&frame)) ...
//     if (!reader->errorString().isEmpty()) ... // the file could not be read to its end
class LogReader
{
public:
    virtual ~LogReader() = default;

    // Opens the file and reads any header; false with errorString() when it cannot. A pipe is
    // read as it comes.
    bool open(const QString &path);
    // From the beginning again (skipped() starts over); false with errorString() when it cannot
    // (a pipe).
    bool rewind();
    // The next frame; false at the end, and when the file cannot be read further (errorString()
    // is then set: a read error, or a structure that cannot be followed).
    bool next(LoggedFrame *frame);

    const SkippedLines &skipped() const { return m_skipped; }
    QString errorString() const { return m_error; }

protected:
    // Whether the format is read in blocks of known sizes, each read from the system as asked
    // (unbuffered): a buffered read asks for more than the block and, from a pipe, waits for it.
    virtual bool readsInBlocks() const { return false; }
    // Starts reading at the beginning of m_file: a header, state of a previous pass.
    virtual bool begin() = 0;
    // Reads on to the next frame; false at the end or on a fault (fail() sets the reason).
    virtual bool readFrame(LoggedFrame *frame) = 0;

    bool fail(const QString &reason);

    QFile m_file;
    SkippedLines m_skipped;

private:
    bool start();

    QString m_error;
};
