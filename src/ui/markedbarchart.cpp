#include "markedbarchart.h"

#include <QPainter>
#include <QPalette>

#include <qwt_column_symbol.h>

namespace {

QwtColumnSymbol *columnSymbol(const QColor &color)
{
    auto *symbol = new QwtColumnSymbol(QwtColumnSymbol::Box);
    symbol->setFrameStyle(QwtColumnSymbol::Plain);
    symbol->setLineWidth(1);
    QPalette palette(color);
    palette.setColor(QPalette::Window, color);
    palette.setColor(QPalette::Dark, color.darker(130));
    symbol->setPalette(palette);
    return symbol;
}

// Room between a bar's end and its value.
constexpr int LabelGap = 3;

} // namespace

MarkedBarChart::MarkedBarChart(const QColor &color, int decimals)
    : m_color(color)
    , m_decimals(decimals)
{
    setSymbol(columnSymbol(color));
    // Bars stand one scale unit apart (cells, batteries), each 0.6 of it wide.
    setLayoutPolicy(QwtPlotAbstractBarChart::ScaleSamplesToAxes);
    setLayoutHint(0.6);
}

void MarkedBarChart::setMarks(const QHash<int, QColor> &marks)
{
    m_marks = marks;
}

QColor MarkedBarChart::colorOf(int sampleIndex) const
{
    return m_marks.value(sampleIndex, m_color);
}

QwtColumnSymbol *MarkedBarChart::specialSymbol(int sampleIndex, const QPointF &) const
{
    // Qwt deletes the symbol once the bar is drawn.
    return m_marks.contains(sampleIndex) ? columnSymbol(m_marks.value(sampleIndex)) : nullptr;
}

void MarkedBarChart::drawBar(
    QPainter *painter, int sampleIndex, const QPointF &sample, const QwtColumnRect &rect) const
{
    QwtPlotBarChart::drawBar(painter, sampleIndex, sample, rect);
    const QRectF bar = rect.toRect();
    const QString value = QString::number(sample.y(), 'f', m_decimals);
    painter->save();
    painter->setPen(Qt::black);
    const QFontMetrics metrics(painter->font());
    QRectF label(QPointF(0, 0), QSizeF(metrics.horizontalAdvance(value), metrics.height()));
    if (orientation() == Qt::Horizontal)
        label.moveCenter(QPointF(bar.right() + LabelGap + label.width() / 2, bar.center().y()));
    else
        label.moveCenter(QPointF(bar.center().x(), bar.top() - LabelGap - label.height() / 2));
    painter->drawText(label, Qt::AlignCenter, value);
    painter->restore();
}
