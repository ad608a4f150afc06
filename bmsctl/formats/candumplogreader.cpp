#include "candumplogreader.h"

#include "formats/candumpline.h"

#include <QFile>

bool CandumpLogReader::read(const QString &path)
{
    m_frames.clear();
    m_skipped.clear();
    m_error.clear();
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        m_error = file.errorString();
        return false;
    }
    int number = 0;
    while (!file.atEnd()) {
        const QString line = QString::fromUtf8(file.readLine());
        ++number;
        LoggedFrame frame;
        QString reason;
        if (CandumpLine::parse(line, &frame, &reason)) {
            frame.line = number;
            m_frames.append(frame);
        } else if (!reason.isEmpty()) {
            m_skipped.append({ number, reason });
        }
    }
    if (file.error() != QFileDevice::NoError) {
        m_error = file.errorString();
        return false;
    }
    return true;
}
