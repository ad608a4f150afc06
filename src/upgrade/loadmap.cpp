#include "loadmap.h"

#include <QStringList>

#include <algorithm>
#include <iterator>

quint64 LoadMap::endOf(Pieces::const_iterator piece)
{
    return piece->first + quint64(piece->second.size());
}

LoadMap::Pieces::iterator LoadMap::pieceAtOrAfter(quint64 address)
{
    auto after = m_pieces.upper_bound(address);
    if (after != m_pieces.begin() && endOf(std::prev(after)) > address)
        return std::prev(after);
    return after;
}

bool LoadMap::add(quint64 address, const QByteArray &data, quint64 *conflict)
{
    const quint64 end = address + quint64(data.size());
    const auto first = pieceAtOrAfter(address);
    // Pieces are disjoint, so each loaded address is compared once.
    for (auto piece = first; piece != m_pieces.end() && piece->first < end; ++piece) {
        const quint64 from = std::max(piece->first, address);
        const quint64 to = std::min(endOf(piece), end);
        for (quint64 at = from; at < to; ++at) {
            if (piece->second.at(int(at - piece->first)) != data.at(int(at - address))) {
                *conflict = at;
                return false;
            }
        }
    }
    // What no piece holds yet goes in as pieces of its own.
    quint64 next = address;
    for (auto piece = first; next < end;) {
        if (piece != m_pieces.end() && piece->first <= next) {
            next = std::max(next, endOf(piece));
            ++piece;
            continue;
        }
        const quint64 gapEnd = piece != m_pieces.end() && piece->first < end ? piece->first : end;
        insert(next, data.mid(int(next - address), int(gapEnd - next)));
        next = gapEnd;
    }
    return true;
}

void LoadMap::insert(quint64 address, const QByteArray &bytes)
{
    const auto after = m_pieces.lower_bound(address);
    if (after != m_pieces.begin() && endOf(std::prev(after)) == address) {
        std::prev(after)->second.append(bytes);
        return;
    }
    m_pieces.emplace_hint(after, address, bytes);
}

bool LoadMap::covers(quint64 first, quint64 count) const
{
    const quint64 end = first + count;
    quint64 next = first;
    auto piece = m_pieces.upper_bound(first);
    if (piece != m_pieces.begin())
        --piece;
    for (; piece != m_pieces.end() && next < end && piece->first <= next; ++piece)
        next = std::max(next, endOf(piece));
    return next >= end;
}

QVector<LoadMap::Range> LoadMap::ranges() const
{
    QVector<Range> ranges;
    for (auto piece = m_pieces.cbegin(); piece != m_pieces.cend(); ++piece) {
        if (!ranges.isEmpty() && ranges.last().last + 1 == piece->first)
            ranges.last().last = endOf(piece) - 1;
        else
            ranges.append({ piece->first, endOf(piece) - 1 });
    }
    return ranges;
}

QString LoadMap::text(const QVector<Range> &ranges, int maxShown)
{
    QStringList shown;
    for (int i = 0; i < ranges.size() && i < maxShown; ++i) {
        const quint64 size = ranges.at(i).last - ranges.at(i).first + 1;
        shown.append(
            QStringLiteral("%1-%2 (%3)")
                .arg(addressText(ranges.at(i).first), addressText(ranges.at(i).last),
                    size == 1 ? QStringLiteral("1 byte") : QStringLiteral("%1 bytes").arg(size)));
    }
    if (ranges.size() > maxShown)
        shown.append(QStringLiteral("and %1 more").arg(ranges.size() - maxShown));
    return shown.join(QStringLiteral(", "));
}

QString LoadMap::addressText(quint64 address)
{
    return QStringLiteral("0x")
        + QString::number(address, 16).toUpper().rightJustified(8, QLatin1Char('0'));
}
