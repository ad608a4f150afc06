#include "blflogreader.h"

#include <zlib.h>

bool BlfLogReader::begin()
{
    m_stream.clear();
    m_at = 0;
    m_paddingLeft = 0;
    m_sourceOffset = 0;
    m_offset = 0;
    QString reason;
    if (!BlfObject::readFileHeader(m_file.read(BlfObject::FileHeaderSize), &m_header, &reason))
        return fail(reason);
    // Read past rather than sought: a pipe is read as it comes.
    const qint64 rest = qint64(m_header.headerSize) - BlfObject::FileHeaderSize;
    if (m_file.read(rest).size() != rest)
        return fail(
            QStringLiteral("the file ends inside its header of %1 bytes").arg(m_header.headerSize));
    m_offset = m_header.headerSize;
    return true;
}

bool BlfLogReader::readFrame(LoggedFrame *frame)
{
    for (;;) {
        const int skip = qMin(m_paddingLeft, int(m_stream.size()) - m_at);
        m_at += skip;
        m_paddingLeft -= skip;
        const int available = int(m_stream.size()) - m_at;
        BlfObject::Header header;
        QString reason;
        if (m_paddingLeft == 0 && available >= BlfObject::BaseHeaderSize) {
            if (!BlfObject::readHeader(m_stream.constData() + m_at, &header, &reason))
                return fail(QStringLiteral("%1: %2").arg(where(), reason));
            if (quint32(available) >= header.size) {
                const QByteArray object = m_stream.mid(m_at, int(header.size));
                m_at += int(header.size);
                m_paddingLeft = BlfObject::padding(header.size);
                switch (header.type) {
                case BlfObject::CanMessage:
                case BlfObject::CanMessage2:
                    if (BlfObject::readCanMessage(
                            object, header, m_header.startUs, frame, &reason)) {
                        frame->line = m_sourceOffset;
                        return true;
                    }
                    m_skipped.add(where(), reason);
                    break;
                case BlfObject::CanError:
                case BlfObject::CanErrorExt:
                    m_skipped.add(where(), QStringLiteral("an error frame"));
                    break;
                case BlfObject::CanFdMessage:
                case BlfObject::CanFdMessage64:
                    m_skipped.add(
                        where(), QStringLiteral("a CAN FD frame, which this bus does not carry"));
                    break;
                default:
                    m_skipped.add(where(),
                        QStringLiteral("an object of type %1, which holds no CAN frame")
                            .arg(header.type));
                    break;
                }
                continue;
            }
        }
        if (!readFromFile()) {
            if (!errorString().isEmpty())
                return false;
            if (int(m_stream.size()) - m_at > m_paddingLeft)
                m_skipped.add(where(),
                    QStringLiteral("%1 bytes at the end that are no whole object")
                        .arg(int(m_stream.size()) - m_at));
            m_stream.clear();
            m_at = 0;
            return false;
        }
    }
}

bool BlfLogReader::readFromFile()
{
    m_stream.remove(0, m_at);
    m_at = 0;
    const qint64 offset = m_offset;
    const QByteArray base = m_file.read(BlfObject::BaseHeaderSize);
    if (base.isEmpty() || base.count('\0') == base.size())
        return m_file.error() == QFileDevice::NoError ? false : fail(m_file.errorString());
    m_sourceOffset = offset;
    BlfObject::Header header;
    QString reason;
    if (base.size() < BlfObject::BaseHeaderSize
        || !BlfObject::readHeader(base.constData(), &header, &reason))
        return fail(QStringLiteral("%1: %2").arg(
            where(), reason.isEmpty() ? QStringLiteral("the file ends inside an object") : reason));
    const QByteArray object = base + m_file.read(qint64(header.size) - BlfObject::BaseHeaderSize);
    if (quint32(object.size()) != header.size)
        return fail(QStringLiteral("%1: the file ends inside an object of %2 bytes")
                        .arg(where())
                        .arg(header.size));
    m_offset += object.size() + m_file.read(BlfObject::padding(header.size)).size();
    if (header.type != BlfObject::LogContainer) {
        m_stream += object;
        m_stream += QByteArray(BlfObject::padding(header.size), '\0');
        return true;
    }
    int method = 0;
    quint32 size = 0;
    if (!BlfObject::readContainer(object, &method, &size, &reason))
        return fail(QStringLiteral("%1: %2").arg(where(), reason));
    const char *packed = object.constData() + BlfObject::ContainerHeaderSize;
    const int packedSize = object.size() - BlfObject::ContainerHeaderSize;
    if (method == 0) {
        m_stream.append(packed, packedSize);
        return true;
    }
    const int start = m_stream.size();
    m_stream.resize(start + int(size));
    uLongf unpacked = size;
    const int result = uncompress(reinterpret_cast<Bytef *>(m_stream.data() + start), &unpacked,
        reinterpret_cast<const Bytef *>(packed), uLong(packedSize));
    if (result != Z_OK || unpacked != size)
        return fail(QStringLiteral("%1: a log container that does not unpack to its %2 bytes "
                                   "(zlib: %3)")
                        .arg(where())
                        .arg(size)
                        .arg(QString::fromLatin1(zError(result))));
    return true;
}
