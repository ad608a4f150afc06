#include "uicellvoltagechart.h"

#include "markedbarchart.h"
#include "signals/abstractsignalvalue.h"
#include "signals/signalindex.h"
#include "signals/signalvalues.h"

#include <QDateTime>
#include <QFont>

#include <qwt_plot_grid.h>
#include <qwt_text.h>

#include <algorithm>
#include <cmath>

namespace {

constexpr int CatalogueCells = Signal::Volt32 - Signal::Volt1 + 1;
// The least room above and below the cells, in volts: a bank in perfect balance still shows
// bars of some height and their values.
constexpr double MinimumPadding = 0.005;
// Above this many cells, every second one is numbered on the axis.
constexpr int CellsNumberedEach = 16;
const QSize MinimumSize(360, 160);

} // namespace

const QColor UiCellVoltageChart::Highest(0xE0, 0x40, 0x40);
const QColor UiCellVoltageChart::Lowest(0x30, 0x70, 0xD0);
const QColor UiCellVoltageChart::LastSeen(0xB0, 0xB0, 0xB0);

UiCellVoltageChart::UiCellVoltageChart(QWidget *parent)
    : QwtPlot(parent)
{
    // Not the size hint, which grows with the ticks (see TrendPlot).
    setMinimumSize(MinimumSize);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
    setCanvasBackground(Qt::white);
    setAxisTitle(QwtPlot::yLeft, tr("V"));
    setAxisTitle(QwtPlot::xBottom, tr("Cell"));
    // The bars start just below the lowest cell, so their heights compare only with this scale.
    enableAxis(QwtPlot::yRight);
    QwtText fromMean(tr("From the mean (mV)"));
    QFont font = fromMean.font();
    font.setPointSize(9);
    fromMean.setFont(font);
    setAxisTitle(QwtPlot::yRight, fromMean);
    auto *grid = new QwtPlotGrid;
    grid->enableX(false);
    grid->setMajorPen(QColor(0xDD, 0xDD, 0xDD), 0, Qt::DotLine);
    grid->attach(this);
    m_bars = new MarkedBarChart(QColor(0x3C, 0xC4, 0x72), 3);
    m_bars->attach(this);
}

int UiCellVoltageChart::cellCount(const AbstractSignalValue &store, int devId)
{
    const int reported = store.value(devId, Signal::Count76).toInt();
    return reported >= 1 && reported <= CatalogueCells ? reported : CatalogueCells;
}

void UiCellVoltageChart::showCells(const AbstractSignalValue &store, int devId)
{
    const int count = cellCount(store, devId);
    m_cells.clear();
    int highest = -1;
    int lowest = -1;
    for (int cell = 1; cell <= count; ++cell) {
        const QVariant value = store.value(devId, Signal::Volt1 + cell - 1);
        // Reals arrive as float; anything else is the store's placeholder.
        if (value.userType() != QMetaType::Float)
            continue;
        m_cells.append(QPointF(cell, value.toDouble()));
        const int at = m_cells.size() - 1;
        if (highest < 0 || m_cells.at(at).y() > m_cells.at(highest).y())
            highest = at;
        if (lowest < 0 || m_cells.at(at).y() < m_cells.at(lowest).y())
            lowest = at;
    }

    QHash<int, QColor> marks;
    QString title = tr("Cell voltages");
    if (highest >= 0) {
        const QPointF high = m_cells.at(highest);
        const QPointF low = m_cells.at(lowest);
        const double spread = high.y() - low.y();
        const double padding = std::max(MinimumPadding, spread * 0.6);
        setAxisScale(QwtPlot::yLeft, low.y() - padding, high.y() + padding);
        double sum = 0;
        for (const QPointF &cell : qAsConst(m_cells))
            sum += cell.y();
        const double mean = sum / m_cells.size();
        setAxisScale(
            QwtPlot::yRight, (low.y() - padding - mean) * 1000, (high.y() + padding - mean) * 1000);
        m_bars->setBaseline(low.y() - padding);
        // Every cell at the highest or lowest value, not only the first one found.
        for (int at = 0; highest != lowest && at < m_cells.size(); ++at) {
            if (m_cells.at(at).y() == high.y())
                marks.insert(at, Highest);
            else if (m_cells.at(at).y() == low.y())
                marks.insert(at, Lowest);
        }
        title = tr("Cell voltages: spread %1 mV (highest: cell %2, %3 V; lowest: cell %4, %5 V)")
                    .arg(std::lround(spread * 1000))
                    .arg(int(high.x()))
                    .arg(high.y(), 0, 'f', 3)
                    .arg(int(low.x()))
                    .arg(low.y(), 0, 'f', 3);
    }
    if (store.value(devId, Signal::SysStatus).toUInt() == SignalValues::OfflineStatus) {
        // Not live: every bar grey, and the time they are from.
        for (int at = 0; at < m_cells.size(); ++at)
            marks.insert(at, LastSeen);
        const auto *values = qobject_cast<const SignalValues *>(&store);
        const qint64 lastMs = values ? values->lastLiveMs(devId) : 0;
        title = (lastMs > 0 ? tr("Last seen %1")
                                  .arg(QDateTime::fromMSecsSinceEpoch(lastMs).toString(
                                      QStringLiteral("hh:mm:ss")))
                            : tr("Not heard live"))
            + QStringLiteral(" · ") + title;
    }
    QwtText heading(title);
    QFont font = heading.font();
    font.setPointSize(11);
    font.setBold(true);
    heading.setFont(font);
    setTitle(heading);

    setAxisScale(QwtPlot::xBottom, 0.5, count + 0.5, count > CellsNumberedEach ? 2 : 1);
    m_bars->setMarks(marks);
    m_bars->setSamples(m_cells);
    replot();
}
