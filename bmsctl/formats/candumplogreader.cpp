#include "candumplogreader.h"

#include "formats/candumpline.h"

TextLogReader::Line CandumpLogReader::parseLine(
    const QByteArray &line, qint64, LoggedFrame *frame, QString *reason)
{
    if (CandumpLine::parse(QString::fromUtf8(line), frame, reason))
        return Line::Frame;
    return reason->isEmpty() ? Line::NoFrame : Line::Skipped;
}
