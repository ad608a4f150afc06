#include "asclogwriter.h"

#include "formats/ascline.h"

QByteArray AscLogWriter::header(const LoggedFrame &first)
{
    m_startUs = AscLine::startFor(first.timeUs);
    return AscLine::header(m_startUs);
}

QByteArray AscLogWriter::line(const LoggedFrame &frame)
{
    return AscLine::format(frame, m_startUs);
}

bool AscLogWriter::finish()
{
    return framesWritten() == 0 || put(AscLine::footer());
}
