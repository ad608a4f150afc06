#include "trendplot.h"

#include <QEvent>
#include <QPen>
#include <QResizeEvent>

#include <qwt_date.h>
#include <qwt_date_scale_draw.h>
#include <qwt_date_scale_engine.h>
#include <qwt_legend.h>
#include <qwt_picker_machine.h>
#include <qwt_plot_grid.h>
#include <qwt_plot_marker.h>
#include <qwt_plot_picker.h>
#include <qwt_scale_draw.h>
#include <qwt_scale_widget.h>

#include <algorithm>
#include <cmath>
#include <limits>

namespace {

// Wide enough for the labels of every axis of the tab ("-100.0", "3.650").
constexpr double AxisExtent = 52;
const QColor TrackerBackground(255, 255, 255, 225);
const QSize MinimumSize(360, 180);
// Room above and below the values shown, as a share of their range.
constexpr double ValuePadding = 0.08;

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
        connect(this, QOverload<const QPointF &>::of(&QwtPlotPicker::moved), plot,
            [plot](const QPointF &position) { emit plot->pointerAt(position.x()); });
        plot->canvas()->installEventFilter(this);
    }

    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (watched == m_plot->canvas() && event->type() == QEvent::Leave)
            emit m_plot->pointerAt(qQNaN());
        return QwtPlotPicker::eventFilter(watched, event);
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
    TrendPlot *m_plot;
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

    m_timeMark = new QwtPlotMarker;
    m_timeMark->setLineStyle(QwtPlotMarker::VLine);
    m_timeMark->setLabelAlignment(Qt::AlignRight | Qt::AlignTop);
    m_timeMark->setLinePen(QColor(0x60, 0x60, 0x60), 1, Qt::DashLine);
    m_timeMark->setVisible(false);
    m_timeMark->attach(this);

    m_picker = new Picker(this);
}

void TrendPlot::markTime(double ms)
{
    const bool shown = !std::isnan(ms);
    if (!shown && !m_timeMark->isVisible())
        return;
    m_timeMark->setVisible(shown);
    if (shown) {
        // The values there, as this plot's own read-out would show them.
        m_timeMark->setXValue(ms);
        QwtText values(valuesAt(ms));
        values.setBackgroundBrush(TrackerBackground);
        values.setRenderFlags(Qt::AlignLeft);
        m_timeMark->setLabel(values);
    }
    replot();
}

bool TrendPlot::isTimeMarked() const
{
    return m_timeMark->isVisible();
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
    updateAxisTitles();
}

void TrendPlot::updateAxisTitles()
{
    if (!m_rightAxisUsed)
        return;
    for (QwtPlot::Axis axis : { QwtPlot::yLeft, QwtPlot::yRight }) {
        QStringList titles;
        QColor color = Qt::black;
        for (const Shown &shown : qAsConst(m_shown)) {
            if (shown.channel.axis != axis)
                continue;
            titles.append(shown.channel.title);
            color = titles.size() == 1 ? shown.channel.color : QColor(Qt::black);
        }
        QwtText title(titles.join(QStringLiteral(" / ")));
        title.setColor(color);
        QFont font = title.font();
        font.setPointSize(9);
        title.setFont(font);
        setAxisTitle(axis, title);
    }
}

void TrendPlot::fitAxis(QwtPlot::Axis axis, const QVector<TrendPixels::Drawn> &drawn)
{
    double low = std::numeric_limits<double>::infinity();
    double high = -low;
    for (int i = 0; i < m_shown.size(); ++i) {
        if (m_shown.at(i).channel.axis != axis)
            continue;
        for (const QPointF &point : drawn.at(i).line) {
            low = std::min(low, point.y());
            high = std::max(high, point.y());
        }
        for (const QwtIntervalSample &band : drawn.at(i).band) {
            low = std::min(low, band.interval.minValue());
            high = std::max(high, band.interval.maxValue());
        }
    }
    if (!(low <= high)) {
        setAxisAutoScale(axis);
        return;
    }
    // A flat line still gets room: a hundredth of its value, or 0.01.
    const double room
        = high > low ? (high - low) * ValuePadding : std::max(std::abs(low) * 0.01, 0.01);
    setAxisScale(axis, low - room, high + room);
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
    QVector<TrendPixels::Drawn> drawn;
    for (Shown &shown : m_shown) {
        drawn.append(TrendPixels::reduce(shown.points, shown.channel.factor, m_fromMs, msPerPixel));
        shown.curve->setSamples(drawn.last().line);
        shown.curve->setBreaks(drawn.last().lineBreaks);
        shown.band->setSamples(drawn.last().band);
        shown.band->setBreaks(drawn.last().bandBreaks);
    }
    fitAxis(QwtPlot::yLeft, drawn);
    if (m_rightAxisUsed) {
        fitAxis(QwtPlot::yRight, drawn);
    } else {
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
