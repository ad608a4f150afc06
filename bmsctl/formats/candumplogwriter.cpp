#include "candumplogwriter.h"

#include "formats/candumpline.h"

QByteArray CandumpLogWriter::line(const LoggedFrame &frame)
{
    return CandumpLine::format(frame).toUtf8();
}
