#include "trendplot.h"

#include "trendpixels.h"

#include <QPen>
#include <QResizeEvent>

#include <qwt_date.h>
#include <qwt_date_scale_draw.h>
#include <qwt_date_scale_engine.h>
#include <qwt_legend.h>
#include <qwt_picker_machine.h>
#include <qwt_plot_grid.h>
#include <qwt_plot_picker.h>
#include <qwt_scale_draw.h>
#include <qwt_scale_widget.h>

#include <algorithm>

namespace {

// Wide enough for the labels of every axis of the tab ("-100.0", "3.650").
constexpr double AxisExtent = 52;
const QColor TrackerBackground(255, 255, 255, 225);
const QSize MinimumSize(360, 180);

QwtDateScaleDraw *timeScaleDraw()
{
    auto *draw = new QwtDateScaleDraw(Qt::LocalTime);
    draw->setDateFormat(QwtDate::Second, QStringLiteral("hh:mm:ss"));
    draw->setDateFormat(QwtDate::Minute, QStringLiteral("hh:mm"));
    draw->setDateFormat(QwtDate::Hour, QStringLiteral("hh:mm"));
    draw->setDateFormat(QwtDate::Day, QStringLiteral("MM-dd hh:mm"));
    return draw;
}

// The point whose interval holds the time; null when none does.
const TrendPoint *pointAt(const QVector<TrendPoint> &points, double ms)
{
    const auto after = std::upper_bound(points.cbegin(), points.cend(), ms,
        [](double time, const TrendPoint &point) { return time < double(point.startMs); });
    if (after == points.cbegin())
        return nullptr;
    const TrendPoint &point = *(after - 1);
    return ms < double(point.startMs + point.widthMs) ? &point : nullptr;
}

} // namespace

// Reads the plot's channels at the time under the mouse, on a vertical line that follows it.
class TrendPlot::Picker : public QwtPlotPicker
{
public:
    explicit Picker(TrendPlot *plot)
        : QwtPlotPicker(QwtPlot::xBottom, QwtPlot::yLeft, QwtPicker::VLineRubberBand,
            QwtPicker::AlwaysOn, plot->canvas())
        , m_plot(plot)
    {
        setStateMachine(new QwtPickerTrackerMachine);
        setRubberBandPen(QPen(Qt::darkGray, 1, Qt::DashLine));
    }

    // The values under a cursor that stands still change with every refresh; the tracker's
    // size must follow them.
    void refresh() { updateDisplay(); }

protected:
    QwtText trackerTextF(const QPointF &position) const override
    {
        const QString time
            = QwtDate::toDateTime(position.x(), Qt::LocalTime).toString(QStringLiteral("hh:mm:ss"));
        QwtText text(time + QLatin1Char('\n') + m_plot->valuesAt(position.x()));
        text.setBackgroundBrush(TrackerBackground);
        text.setRenderFlags(Qt::AlignLeft);
        return text;
    }

private:
    const TrendPlot *m_plot;
};

TrendPlot::TrendPlot(QWidget *parent)
    : QwtPlot(parent)
{
    // Qwt's size hint grows with the ticks of the axes, and a layout would keep the window at
    // least as large as any hint it once had; the plots take the room they are given instead.
    setMinimumSize(MinimumSize);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
    setCanvasBackground(Qt::white);
    insertLegend(new QwtLegend, QwtPlot::TopLegend);
    setAxisScaleDraw(QwtPlot::xBottom, timeScaleDraw());
    setAxisScaleEngine(QwtPlot::xBottom, new QwtDateScaleEngine(Qt::LocalTime));
    enableAxis(QwtPlot::yRight);
    for (int axis : { QwtPlot::yLeft, QwtPlot::yRight })
        axisScaleDraw(axis)->setMinimumExtent(AxisExtent);

    auto *grid = new QwtPlotGrid;
    grid->setMajorPen(QColor(0xDD, 0xDD, 0xDD), 0, Qt::DotLine);
    grid->attach(this);

    m_picker = new Picker(this);
}

void TrendPlot::addChannel(const Channel &channel)
{
    Shown shown { channel, new GappedSeries<QwtPlotCurve>(channel.title),
        new GappedSeries<QwtPlotIntervalCurve>(channel.title), {} };
    QColor bandColor = channel.color;
    bandColor.setAlpha(60);
    shown.band->setPen(QPen(Qt::NoPen));
    shown.band->setBrush(bandColor);
    shown.band->setItemAttribute(QwtPlotItem::Legend, false);
    // One-pixel lines without antialiasing take the painter's fast path: a day of a line that
    // moves every second then repaints within a frame.
    shown.curve->setPen(channel.color, 1);
    for (QwtPlotSeriesItem *item : { static_cast<QwtPlotSeriesItem *>(shown.band),
             static_cast<QwtPlotSeriesItem *>(shown.curve) }) {
        item->setAxes(QwtPlot::xBottom, channel.axis);
        item->attach(this);
    }
    m_rightAxisUsed = m_rightAxisUsed || channel.axis == QwtPlot::yRight;
    m_shown.append(shown);
}

void TrendPlot::showPoints(const Points &points, qint64 fromMs, qint64 toMs)
{
    m_fromMs = fromMs;
    m_toMs = toMs;
    for (Shown &shown : m_shown)
        shown.points = points[shown.channel.id];
    setAxisScale(QwtPlot::xBottom, double(fromMs), double(toMs));
    draw();
}

void TrendPlot::resizeEvent(QResizeEvent *event)
{
    QwtPlot::resizeEvent(event);
    // Paused plots are not shown anew each second; their points must fit the new width now.
    if (event->size().width() != event->oldSize().width())
        draw();
}

void TrendPlot::draw()
{
    const double msPerPixel = double(m_toMs - m_fromMs) / std::max(1, canvas()->width());
    for (Shown &shown : m_shown) {
        const TrendPixels::Drawn drawn
            = TrendPixels::reduce(shown.points, shown.channel.factor, m_fromMs, msPerPixel);
        shown.curve->setSamples(drawn.line);
        shown.curve->setBreaks(drawn.lineBreaks);
        shown.band->setSamples(drawn.band);
        shown.band->setBreaks(drawn.bandBreaks);
    }
    if (!m_rightAxisUsed) {
        updateAxes();
        setAxisScaleDiv(QwtPlot::yRight, axisScaleDiv(QwtPlot::yLeft));
    }
    replot();
    m_picker->refresh();
}

QString TrendPlot::valuesAt(double ms) const
{
    QStringList lines;
    for (const Shown &shown : m_shown) {
        const TrendPoint *point = pointAt(shown.points, ms);
        const auto number = [&shown](float value) {
            return QString::number(value * shown.channel.factor, 'f', shown.channel.decimals);
        };
        QString value = QStringLiteral("-");
        if (point) {
            value = number(point->mean);
            if (point->min != point->max)
                value += QStringLiteral(" (%1 … %2)").arg(number(point->min), number(point->max));
        }
        lines.append(QStringLiteral("%1: %2").arg(shown.channel.title, value));
    }
    return lines.join(QLatin1Char('\n'));
}
