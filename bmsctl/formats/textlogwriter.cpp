#include "textlogwriter.h"

bool TextLogWriter::writeFrame(const LoggedFrame &frame)
{
    QByteArray bytes = framesWritten() == 0 ? header(frame) : QByteArray();
    bytes += line(frame);
    bytes += '\n';
    return put(bytes);
}
