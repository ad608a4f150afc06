#include "trendpixels.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace TrendPixels {

namespace {

// The points of one run that fall in one pixel column: the column and the indices of its lowest
// and highest point.
struct Column
{
    qint64 index = std::numeric_limits<qint64>::min();
    int lowest = -1;
    int highest = -1;
};

} // namespace

Drawn reduce(const QVector<TrendPoint> &points, double factor, qint64 fromMs, double msPerPixel)
{
    Drawn drawn;
    const auto middle = [&points](int i) {
        const TrendPoint &point = points.at(i);
        return double(point.startMs) + double(point.widthMs) / 2;
    };
    const auto value = [&points, factor](int i) { return double(points.at(i).mean) * factor; };
    const double perPixel = std::max(msPerPixel, 1.0);

    Column column;
    const auto flush = [&] {
        if (column.lowest < 0)
            return;
        const int earlier = std::min(column.lowest, column.highest);
        const int later = std::max(column.lowest, column.highest);
        drawn.line.append(QPointF(middle(earlier), value(earlier)));
        if (later != earlier)
            drawn.line.append(QPointF(middle(later), value(later)));
        column = Column();
    };

    bool banding = false;
    qint64 bandColumn = 0;
    for (int i = 0; i < points.size(); ++i) {
        const TrendPoint &point = points.at(i);
        const qint64 at = qint64(std::floor((middle(i) - double(fromMs)) / perPixel));
        if (point.gapBefore || at != column.index) {
            flush();
            if (point.gapBefore && !drawn.line.isEmpty())
                drawn.lineBreaks.append(drawn.line.size());
            column.index = at;
            column.lowest = column.highest = i;
        }
        if (value(i) < value(column.lowest))
            column.lowest = i;
        if (value(i) > value(column.highest))
            column.highest = i;

        if (point.min == point.max) {
            banding = false;
            continue;
        }
        const double low = double(point.min) * factor;
        const double high = double(point.max) * factor;
        if (banding && !point.gapBefore && at == bandColumn) {
            QwtInterval &merged = drawn.band.last().interval;
            merged.setMinValue(std::min(merged.minValue(), low));
            merged.setMaxValue(std::max(merged.maxValue(), high));
            continue;
        }
        if (!drawn.band.isEmpty() && (!banding || point.gapBefore))
            drawn.bandBreaks.append(drawn.band.size());
        drawn.band.append(QwtIntervalSample(middle(i), low, high));
        banding = true;
        bandColumn = at;
    }
    flush();
    return drawn;
}

} // namespace TrendPixels
