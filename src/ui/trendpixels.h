#pragma once

#include "records/trendpoint.h"

#include <QPointF>
#include <QVector>

#include <qwt_samples.h>

// What a plot draws of one channel's points on a canvas of a given width: no more than the
// pixels can show. Of the points whose middle falls in one pixel column, the lowest and the
// highest, in time order, draw the same vertical stroke as all of them; bands (the points thinned into
// buckets, whose lowest and highest value differ) merge into one interval a column. A day of
// points thus costs a few thousand line segments whatever the time window, and runs stay
// apart where the trend has gaps. (Qwt 6.1's own filter only drops points that land on the same
// pixel, which a line that moves every second seldom does.)
namespace TrendPixels {

struct Drawn
{
    QVector<QPointF> line; // x: milliseconds since the epoch; y: the mean, scaled
    QVector<int> lineBreaks; // indices of line where a run begins after a gap
    QVector<QwtIntervalSample> band; // value: x; interval: the lowest and highest, scaled
    QVector<int> bandBreaks;
};

// points in time order, shown from fromMs with msPerPixel milliseconds to a pixel column, each
// value multiplied by factor.
Drawn reduce(const QVector<TrendPoint> &points, double factor, qint64 fromMs, double msPerPixel);

} // namespace TrendPixels
