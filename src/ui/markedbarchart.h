#pragma once

#include <QColor>
#include <QHash>

#include <qwt_plot_barchart.h>

// A bar chart whose bars share one colour except those marked with a colour of their own (the
// highest and lowest cell, the battery that stands apart), each bar with its value written at
// its end.
class MarkedBarChart : public QwtPlotBarChart
{
public:
    MarkedBarChart(const QColor &color, int decimals);

    // Colours by sample index; the bars not named keep the chart's colour.
    void setMarks(const QHash<int, QColor> &marks);
    QColor colorOf(int sampleIndex) const;

    QwtColumnSymbol *specialSymbol(int sampleIndex, const QPointF &sample) const override;

protected:
    void drawBar(QPainter *painter, int sampleIndex, const QPointF &sample,
        const QwtColumnRect &rect) const override;

private:
    QColor m_color;
    int m_decimals;
    QHash<int, QColor> m_marks;
};
