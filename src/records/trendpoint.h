#pragma once

#include <QMetaType>
#include <QtGlobal>

// One channel over one interval of a trend, as a plot draws it: the band from min to max and a
// line through mean. A 1 s point holds a single sample (min = max = mean). When gapBefore is set,
// sampling broke off before this point (battery offline, bus closed): the line and the band are
// not drawn across from the point before.
struct TrendPoint
{
    qint64 startMs = 0; // milliseconds on the trend's time line, or since the epoch once shown
    qint64 widthMs = 0;
    float min = 0;
    float max = 0;
    float mean = 0;
    bool gapBefore = false;
};
Q_DECLARE_TYPEINFO(TrendPoint, Q_PRIMITIVE_TYPE);
