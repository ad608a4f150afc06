#pragma once

#include "formats/blfobject.h"
#include "formats/logreader.h"

#include <QByteArray>

// Reads a BLF log (see BlfObject) object by object. The objects lie in a stream that runs on from
// one log container into the next, so what is held is the rest of one container and the
// next one unpacked: bounded by the largest container accepted (BlfObject::MaxObjectBytes),
// whatever the file's size. Objects outside containers are read the same way. A skipped object
// is named by the offset of the container (or object) in the file it came from; a structure that
// cannot be followed (no object where one should begin, a container that does not unpack, a
// file cut short inside an object) ends the reading with the offset.
class BlfLogReader : public LogReader
{
protected:
    bool readsInBlocks() const override { return true; }
    bool begin() override;
    bool readFrame(LoggedFrame *frame) override;

private:
    // Appends the contents of the next object in the file to the stream; false at the end of the
    // file and on a fault (the error then set).
    bool readFromFile();
    QString where() const { return QStringLiteral("offset %1").arg(m_sourceOffset); }

    BlfObject::FileHeader m_header;
    QByteArray m_stream;
    int m_at = 0;
    int m_paddingLeft = 0;
    qint64 m_sourceOffset = 0;
    qint64 m_offset = 0; // of the file's next byte: a pipe has no position of its own
};
