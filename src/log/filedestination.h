#pragma once

#include "destination.h"
#include "rotationstrategy.h"

#include <QFile>

namespace QsLogging {

// Writes each line, UTF-8, to a text file, straight through to the operating system; the line
// that takes the file past its rotation limit opens the next file.
//
// A line that cannot be written (a full disk, a file size limit, a file that would not open) is
// lost, but the log is not: every later line is tried again, and the first one that gets
// through comes after a line saying how many were lost. Standard error gets one line for each
// such stretch of failures.
class FileDestination : public Destination
{
public:
    static const char *const Type;

    FileDestination(const QString &filePath, RotationStrategyPtr rotationStrategy);

    void write(const LogMessage &message) override;
    bool isValid() override;
    QString type() const override;

private:
    bool openFile();
    void rotate();
    // Writes the line and a line end: false unless all of it reached the file.
    bool writeLine(const QString &line);
    void loseLine();
    QString lostLinesNote() const;

    QFile m_file;
    RotationStrategyPtr m_rotationStrategy;
    // Lines lost since the last one written.
    qint64 m_lostLines = 0;
    // A write that failed part way left the file's last line without its end.
    bool m_lineTorn = false;
};

} // namespace QsLogging
