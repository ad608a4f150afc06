#include "skippedlines.h"

#include "cli/console.h"

void SkippedLines::add(const QString &where, const QString &reason)
{
    if (m_shown.size() < ShownInFull)
        m_shown.append({ where, reason });
    ++m_count;
}

void SkippedLines::clear()
{
    m_shown.clear();
    m_count = 0;
}

void SkippedLines::report(Console &console, const QString &path) const
{
    for (const Place &place : m_shown)
        console.error(QStringLiteral("%1:%2: skipped: %3").arg(path, place.where, place.reason));
    if (m_count > m_shown.size())
        console.error(
            QStringLiteral("%1: %2 more skipped").arg(path).arg(m_count - m_shown.size()));
}
