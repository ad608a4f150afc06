#pragma once

#include "formats/blfobject.h"
#include "formats/logwriter.h"

#include <QByteArray>

// Writes a BLF log (see BlfObject): the frames are gathered and written as one zlib container
// when ContainerBytes of them are held, and when flushed or closed. The file header, whose start
// time and counts are known only as frames come, is written first and written again after every
// container, so that the file on disk is whole up to its last container.
class BlfLogWriter : public LogWriter
{
protected:
    bool writeFrame(const LoggedFrame &frame) override;
    bool flushHeld() override;
    bool finish() override;

private:
    BlfObject::FileHeader m_header;
    QByteArray m_held;
    qint64 m_heldFrames = 0;
};
