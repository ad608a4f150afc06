#include "trclogwriter.h"

#include "formats/trcline.h"

QByteArray TrcLogWriter::header(const LoggedFrame &first)
{
    m_startUs = TrcLine::startFor(first.timeUs);
    return TrcLine::header(m_startUs);
}

QByteArray TrcLogWriter::line(const LoggedFrame &frame)
{
    return TrcLine::format(frame, m_startUs, framesWritten() + 1);
}
