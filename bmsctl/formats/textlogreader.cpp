#include "textlogreader.h"

bool TextLogReader::begin()
{
    m_number = 0;
    m_line.resize(MaxLineBytes + 2);
    beginText();
    return true;
}

bool TextLogReader::readLine(bool *tooLong)
{
    m_line.resize(MaxLineBytes + 2);
    const qint64 length = m_file.readLine(m_line.data(), m_line.size());
    if (length <= 0) {
        m_line.clear();
        return false;
    }
    m_line.resize(int(length));
    *tooLong = false;
    if (m_line.endsWith('\n')) {
        m_line.chop(1);
        if (m_line.endsWith('\r'))
            m_line.chop(1);
        return true;
    }
    if (length < MaxLineBytes + 1)
        return true; // the last line, without a line end
    // Cut: read past the rest of the line a piece at a time.
    *tooLong = true;
    char rest[MaxLineBytes];
    for (;;) {
        const qint64 more = m_file.readLine(rest, sizeof rest);
        if (more <= 0 || rest[more - 1] == '\n')
            break;
    }
    return true;
}

bool TextLogReader::readFrame(LoggedFrame *frame)
{
    bool tooLong = false;
    while (readLine(&tooLong)) {
        ++m_number;
        if (tooLong) {
            m_skipped.addLine(
                m_number, QStringLiteral("a line longer than %1 bytes").arg(MaxLineBytes));
            continue;
        }
        QString reason;
        switch (parseLine(m_line, m_number, frame, &reason)) {
        case Line::Frame:
            frame->line = m_number;
            return true;
        case Line::Skipped:
            m_skipped.addLine(m_number, reason);
            break;
        case Line::NoFrame:
            break;
        }
    }
    if (m_file.error() != QFileDevice::NoError)
        return fail(m_file.errorString());
    return false;
}
