#pragma once

#include <QWidget>

class BankTableModel;
class CanService;
class MarkedBarChart;
class QSortFilterProxyModel;
class QTableView;
class QwtPlot;
class SignalValues;

// The Trends window's Bank tab: every battery heard, one row each, sortable by every column,
// with the state of charge and the cell voltage spread that stand furthest from the bank's
// median marked; beside it the state of charge of every battery as a bar, the battery that
// stands apart marked the same way and those offline grey. Clicking a row asks for that battery
// (batteryClicked).
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

signals:
    void batteryClicked(int devId);

public slots:
    void refresh();

private:
    void showSocBars();

    BankTableModel *m_model = nullptr;
    QSortFilterProxyModel *m_proxy = nullptr;
    QTableView *m_table = nullptr;
    QwtPlot *m_socPlot = nullptr;
    MarkedBarChart *m_socBars = nullptr;
};
