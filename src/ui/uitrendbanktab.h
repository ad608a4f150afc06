#pragma once

#include <QWidget>

class BankTableModel;
class CanService;
class MarkedBarChart;
class QLabel;
class QSortFilterProxyModel;
class QTableView;
class QwtPlot;
class SignalValues;

// The Trends window's Bank tab: every battery heard, one row each, sortable by every column,
// with what stands apart from the bank marked (BankTableModel) and the bank summed up below;
// beside it the state of charge of every battery as a bar, the batteries that stand apart
// marked the same way and those offline grey. Clicking a row asks for that battery
// (batteryClicked).
//
// While the pointer is over the rows, they keep their order: a row does not move away under the
// engineer's click. The table sorts again as the pointer leaves.
class UiTrendBankTab : public QWidget
{
    Q_OBJECT
public:
    static const QColor Outlier;
    static const QColor Offline;

    UiTrendBankTab(const SignalValues *store, const CanService *service, QWidget *parent = nullptr);

    BankTableModel *model() const { return m_model; }
    QSortFilterProxyModel *proxy() const { return m_proxy; }
    QTableView *table() const { return m_table; }
    const MarkedBarChart *socBars() const { return m_socBars; }
    QLabel *summary() const { return m_summary; }
    bool isHoldingOrder() const;

signals:
    void batteryClicked(int devId);

public slots:
    void refresh();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void showSocBars();

    BankTableModel *m_model = nullptr;
    QSortFilterProxyModel *m_proxy = nullptr;
    QTableView *m_table = nullptr;
    QLabel *m_summary = nullptr;
    QwtPlot *m_socPlot = nullptr;
    MarkedBarChart *m_socBars = nullptr;
};
