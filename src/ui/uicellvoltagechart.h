#pragma once

#include <QVector>

#include <qwt_plot.h>

class AbstractSignalValue;
class MarkedBarChart;

// The cells of one battery side by side, live from the signal store: a bar per cell voltage
// (Volt1 to VoltN), the highest marked red and the lowest blue (every cell at that value), and
// the spread between the two written above them. The scale is fitted to the cells so that a few
// millivolts show; since the bars then start just below the lowest cell, the right axis reads
// each cell's distance from the cells' mean in mV. Cells whose voltage has not arrived yet get
// no bar. While the battery is offline, its bars are the last seen: all grey, the title starting
// with the time they were last heard.
class UiCellVoltageChart : public QwtPlot
{
    Q_OBJECT
public:
    static const QColor Highest;
    static const QColor Lowest;
    static const QColor LastSeen;

    explicit UiCellVoltageChart(QWidget *parent = nullptr);

    // The cells a battery reports having (Count76) when the catalogue has that many voltages;
    // otherwise every cell voltage of the catalogue.
    static int cellCount(const AbstractSignalValue &store, int devId);

    void showCells(const AbstractSignalValue &store, int devId);

    // As last shown: the cells with a voltage, by number from 1, and which bars are marked.
    const QVector<QPointF> &cells() const { return m_cells; }
    const MarkedBarChart *bars() const { return m_bars; }

private:
    MarkedBarChart *m_bars = nullptr;
    QVector<QPointF> m_cells;
};
