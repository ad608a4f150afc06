#include "skippedlines.h"

#include "cli/console.h"

void SkippedLines::report(
    Console &console, const QString &path, const QList<CandumpLogReader::SkippedLine> &skipped)
{
    for (int i = 0; i < skipped.size() && i < ShownInFull; ++i)
        console.error(QStringLiteral("%1:%2: skipped: %3")
                          .arg(path)
                          .arg(skipped.at(i).number)
                          .arg(skipped.at(i).reason));
    if (skipped.size() > ShownInFull)
        console.error(QStringLiteral("%1: %2 more lines skipped")
                          .arg(path)
                          .arg(skipped.size() - ShownInFull));
}
