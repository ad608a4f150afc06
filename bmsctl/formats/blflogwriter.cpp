#include "blflogwriter.h"

#include <zlib.h>

bool BlfLogWriter::writeFrame(const LoggedFrame &frame)
{
    if (framesWritten() == 0 && m_heldFrames == 0) {
        m_header = {};
        m_header.startUs = BlfObject::startFor(frame.timeUs);
        m_header.fileSize = BlfObject::FileHeaderSize;
        m_header.uncompressedSize = BlfObject::FileHeaderSize;
        if (!put(BlfObject::fileHeader(m_header)))
            return false;
    }
    m_held += BlfObject::canMessage(frame, m_header.startUs);
    ++m_heldFrames;
    m_header.lastUs = qMax(m_header.lastUs, frame.timeUs);
    return m_held.size() < BlfObject::ContainerBytes || flushHeld();
}

bool BlfLogWriter::flushHeld()
{
    if (m_held.isEmpty())
        return true;
    uLongf packedSize = compressBound(uLong(m_held.size()));
    QByteArray packed(int(packedSize), '\0');
    if (compress2(reinterpret_cast<Bytef *>(packed.data()), &packedSize,
            reinterpret_cast<const Bytef *>(m_held.constData()), uLong(m_held.size()),
            Z_DEFAULT_COMPRESSION)
        != Z_OK)
        return fail(QStringLiteral("zlib could not compress a log container"));
    packed.resize(int(packedSize));
    const QByteArray container = BlfObject::container(packed, int(m_held.size()));
    if (!put(container))
        return false;
    m_header.fileSize += quint64(container.size());
    m_header.uncompressedSize += quint64(BlfObject::ContainerHeaderSize + m_held.size());
    m_header.objectCount += quint32(m_heldFrames);
    m_held.clear();
    m_heldFrames = 0;
    return putAt(0, BlfObject::fileHeader(m_header));
}

bool BlfLogWriter::finish()
{
    if (framesWritten() == 0) {
        // A log without frames is still a log: a header of its own.
        m_header = {};
        m_header.fileSize = BlfObject::FileHeaderSize;
        m_header.uncompressedSize = BlfObject::FileHeaderSize;
        return put(BlfObject::fileHeader(m_header));
    }
    return flushHeld();
}
