#pragma once

#include <QPainter>
#include <QRectF>
#include <QVector>

class QwtScaleMap;

// A Qwt series item (a curve, a band) that is not drawn across the gaps of a trend: its samples
// are drawn as runs, each from one break to the next, so that the time a battery was offline or
// the bus closed stays empty instead of being bridged by a straight line.
template <typename Item> class GappedSeries : public Item
{
public:
    using Item::Item;

    // The sample indices where a run begins after a gap, ascending.
    void setBreaks(const QVector<int> &breaks) { m_breaks = breaks; }

    void drawSeries(QPainter *painter, const QwtScaleMap &xMap, const QwtScaleMap &yMap,
        const QRectF &canvasRect, int from, int to) const override
    {
        if (to < 0)
            to = int(this->dataSize()) - 1;
        int start = from;
        for (int at : m_breaks) {
            if (at <= start)
                continue;
            if (at > to)
                break;
            Item::drawSeries(painter, xMap, yMap, canvasRect, start, at - 1);
            start = at;
        }
        Item::drawSeries(painter, xMap, yMap, canvasRect, start, to);
    }

private:
    QVector<int> m_breaks;
};
