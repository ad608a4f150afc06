#pragma once

#include <QByteArray>
#include <QString>
#include <QVector>

#include <map>

// The bytes an S-record image loads, by address, filled record by record in file order. A boot
// loader writes every record where its address says, so two records that load one address with
// different bytes leave the flash holding whichever came last: add() refuses the second. The
// same bytes loaded twice do no harm and are taken. ranges() tells what the image covers, so
// that a record far from the rest (a mistyped address) shows as a range of its own.
class LoadMap
{
public:
    // Addresses first to last, both included.
    struct Range
    {
        quint64 first = 0;
        quint64 last = 0;
    };

    // Adds the bytes loaded from address on. False when an address already loaded holds another
    // byte: *conflict is then the lowest such address, and nothing is added.
    bool add(quint64 address, const QByteArray &data, quint64 *conflict);
    // True when every address from first to first + count - 1 is loaded.
    bool covers(quint64 first, quint64 count) const;
    // The loaded addresses as gapless ranges, lowest first.
    QVector<Range> ranges() const;

    // Ranges a line of text shows before it only counts the rest.
    static constexpr int ShownRanges = 4;

    // "0x08000000-0x08003FFF (16384 bytes), ...": the first maxShown ranges, then how many more.
    static QString text(const QVector<Range> &ranges, int maxShown = ShownRanges);
    // "0x0800001C": at least 8 hexadecimal digits.
    static QString addressText(quint64 address);

private:
    using Pieces = std::map<quint64, QByteArray>;

    static quint64 endOf(Pieces::const_iterator piece);
    // The piece holding address, or else the first one after it.
    Pieces::iterator pieceAtOrAfter(quint64 address);
    void insert(quint64 address, const QByteArray &bytes);

    // Disjoint runs of loaded bytes by their first address. Pieces may touch: records that
    // continue the piece before them are appended to it, so that an image loaded in order
    // stays one piece.
    Pieces m_pieces;
};
