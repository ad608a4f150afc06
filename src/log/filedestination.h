#pragma once

#include "destination.h"
#include "rotationstrategy.h"

#include <QFile>
#include <QTextStream>

namespace QsLogging {

// Writes each line, UTF-8, to a text file and flushes it; the line that takes the file past
// its rotation limit opens the next file.
class FileDestination : public Destination
{
public:
    static const char *const Type;

    FileDestination(const QString &filePath, RotationStrategyPtr rotationStrategy);

    void write(const LogMessage &message) override;
    bool isValid() override;
    QString type() const override;

private:
    void attachStream();

    QFile m_file;
    QTextStream m_outputStream;
    RotationStrategyPtr m_rotationStrategy;
};

} // namespace QsLogging
