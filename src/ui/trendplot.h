#pragma once

#include "gappedseries.h"
#include "records/trendchannel.h"
#include "records/trendpoint.h"
#include "trendpixels.h"

#include <QColor>
#include <QVector>

#include <qwt_plot.h>
#include <qwt_plot_curve.h>
#include <qwt_plot_intervalcurve.h>

class QwtPlotMarker;

#include <array>

// One time plot of a battery's trend: a few of its channels against the clock, each a line
// through the mean of its points and, where old data has been thinned into buckets, a band
// from their lowest to their highest value, so that a short spike stays in sight. Gaps in the
// trend stay empty. A cursor (QwtPlotPicker) follows the mouse and reads each channel's value
// at its time.
//
// The plot keeps no data of its own beyond what it was last shown, and draws of it only as much
// as its canvas can show (TrendPixels). Plots stacked one above the
// other line up: the axes have a common minimum width, and a plot without a channel on the
// right axis mirrors its left scale there. A plot with channels on both value axes names each
// axis with its channels' titles (and so units), in the colour of its curve when it has one.
// The value axes are fitted to what is shown with some room above and below, so that no line
// runs along the frame.
//
// The time under the pointer is announced (pointerAt) so that the other plots of a tab mark
// the same time (markTime).
class TrendPlot : public QwtPlot
{
    Q_OBJECT
public:
    using Points = std::array<QVector<TrendPoint>, TrendChannel::Count>;

    struct Channel
    {
        TrendChannel::Id id;
        QString title; // with its unit, as the legend, the cursor and the CSV header show it
        QColor color;
        QwtPlot::Axis axis; // yLeft or yRight
        double factor; // from the stored value to the one shown (V to mV for the spread)
        int decimals;
    };

    explicit TrendPlot(QWidget *parent = nullptr);

    void addChannel(const Channel &channel);
    // Shows its channels' points over [fromMs, toMs] (milliseconds since the epoch) and redraws.
    void showPoints(const Points &points, qint64 fromMs, qint64 toMs);
    // What the cursor reads at a time: each channel's value there (its band too, where thinned),
    // one per line; "-" where the channel has no point.
    QString valuesAt(double ms) const;
    // A vertical line at this time with the channels' values there, as the pointer stands over
    // another plot; NaN removes it.
    void markTime(double ms);
    bool isTimeMarked() const;

signals:
    // The time under the pointer; NaN when it leaves the canvas.
    void pointerAt(double ms);

protected:
    void resizeEvent(QResizeEvent *event) override;

private:
    class Picker;

    struct Shown
    {
        Channel channel;
        GappedSeries<QwtPlotCurve> *curve;
        GappedSeries<QwtPlotIntervalCurve> *band;
        QVector<TrendPoint> points;
    };

    // Hands what the canvas can show of the points to the curves, and redraws.
    void draw();
    void updateAxisTitles();
    // Fits a value axis to what its channels draw, with room above and below.
    void fitAxis(QwtPlot::Axis axis, const QVector<TrendPixels::Drawn> &drawn);

    QVector<Shown> m_shown;
    qint64 m_fromMs = 0;
    qint64 m_toMs = 0;
    Picker *m_picker = nullptr;
    QwtPlotMarker *m_timeMark = nullptr;
    bool m_rightAxisUsed = false;
};
