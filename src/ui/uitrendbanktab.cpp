#include "uitrendbanktab.h"

#include "markedbarchart.h"
#include "records/banktablemodel.h"

#include <QEvent>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QSortFilterProxyModel>
#include <QTableView>
#include <QVBoxLayout>

#include <qwt_plot.h>
#include <qwt_plot_grid.h>

#include <algorithm>
#include <numeric>

const QColor UiTrendBankTab::Outlier(0xF0, 0x90, 0x20);
const QColor UiTrendBankTab::Offline(0xB0, 0xB0, 0xB0);

namespace {

constexpr int SocPlotWidth = 360;
constexpr int SocPlotMinimumHeight = 300;
// Beyond 100 %, room for the value of a full battery.
constexpr double SocAxisEnd = 112;

} // namespace

UiTrendBankTab::UiTrendBankTab(
    const SignalValues *store, const CanService *service, QWidget *parent)
    : QWidget(parent)
{
    m_model = new BankTableModel(store, service, this);
    m_proxy = new QSortFilterProxyModel(this);
    m_proxy->setSourceModel(m_model);
    m_proxy->setSortRole(BankTableModel::SortRole);

    m_table = new QTableView(this);
    m_table->setModel(m_proxy);
    m_table->setSortingEnabled(true);
    m_table->sortByColumn(BankTableModel::Id, Qt::AscendingOrder);
    m_table->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_table->setSelectionMode(QAbstractItemView::SingleSelection);
    m_table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_table->setAlternatingRowColors(true);
    m_table->verticalHeader()->hide();
    m_table->verticalHeader()->setDefaultSectionSize(26);
    m_table->horizontalHeader()->setSectionResizeMode(QHeaderView::ResizeToContents);
    m_table->horizontalHeader()->setStretchLastSection(true);
    m_table->viewport()->installEventFilter(this);
    m_summary = new QLabel(this);
    m_summary->setObjectName(QStringLiteral("TrendBankSummary"));
    m_summary->setWordWrap(true);
    m_summary->setTextInteractionFlags(Qt::TextSelectableByMouse);

    m_socPlot = new QwtPlot(this);
    m_socPlot->setTitle(tr("State of charge (%)"));
    m_socPlot->setCanvasBackground(Qt::white);
    m_socPlot->setFixedWidth(SocPlotWidth);
    m_socPlot->setMinimumHeight(SocPlotMinimumHeight);
    m_socPlot->setAxisScale(QwtPlot::xBottom, 0, SocAxisEnd, 20);
    m_socPlot->setAxisTitle(QwtPlot::yLeft, tr("ID"));
    auto *grid = new QwtPlotGrid;
    grid->enableY(false);
    grid->setMajorPen(QColor(0xDD, 0xDD, 0xDD), 0, Qt::DotLine);
    grid->attach(m_socPlot);
    m_socBars = new MarkedBarChart(QColor(0x3C, 0xC4, 0x72), 1);
    m_socBars->setOrientation(Qt::Horizontal);
    m_socBars->attach(m_socPlot);

    auto *rows = new QVBoxLayout;
    rows->addWidget(m_table, 1);
    rows->addWidget(m_summary);
    auto *layout = new QHBoxLayout(this);
    layout->addLayout(rows, 1);
    layout->addWidget(m_socPlot);

    connect(m_table, &QTableView::clicked, this, [this](const QModelIndex &index) {
        emit batteryClicked(index.data(BankTableModel::DeviceIdRole).toInt());
    });
}

bool UiTrendBankTab::isHoldingOrder() const
{
    return !m_proxy->dynamicSortFilter();
}

void UiTrendBankTab::refresh()
{
    m_model->refresh();
    m_summary->setText(m_model->summary());
    showSocBars();
}

bool UiTrendBankTab::eventFilter(QObject *watched, QEvent *event)
{
    // Sorting again as the pointer leaves puts the rows where the values now say.
    if (watched == m_table->viewport()) {
        if (event->type() == QEvent::Enter)
            m_proxy->setDynamicSortFilter(false);
        else if (event->type() == QEvent::Leave)
            m_proxy->setDynamicSortFilter(true);
    }
    return QWidget::eventFilter(watched, event);
}

void UiTrendBankTab::showSocBars()
{
    // One bar per battery at its id, lowest id on top; a battery without a state of charge yet
    // has none.
    QVector<int> rows(m_model->rowCount());
    std::iota(rows.begin(), rows.end(), 0);
    std::sort(rows.begin(), rows.end(),
        [this](int a, int b) { return m_model->deviceId(a) < m_model->deviceId(b); });
    QVector<QPointF> samples;
    QHash<int, QColor> marks;
    for (int row : qAsConst(rows)) {
        const QModelIndex soc = m_model->index(row, BankTableModel::StateOfCharge);
        const QVariant value = soc.data(BankTableModel::SortRole);
        if (!value.isValid())
            continue;
        if (!m_model->index(row, BankTableModel::Online).data(BankTableModel::SortRole).toBool())
            marks.insert(samples.size(), Offline);
        else if (soc.data(BankTableModel::IsOutlierRole).toBool())
            marks.insert(samples.size(), Outlier);
        samples.append(QPointF(m_model->deviceId(row), value.toDouble()));
    }
    m_socBars->setMarks(marks);
    m_socBars->setSamples(samples);
    if (!samples.isEmpty()) {
        // From the top down, in the table's order.
        m_socPlot->setAxisScale(
            QwtPlot::yLeft, samples.last().x() + 0.5, samples.first().x() - 0.5, 1);
    }
    m_socPlot->replot();
}
