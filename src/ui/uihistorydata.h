#pragma once

#include <QWidget>

class HistoryDataModel;
class QTableView;

// The lifetime statistics page of the selected battery (HistoryDataModel): hours in each
// temperature band and above 0.6C, how often limits and relays had to protect the pack, the
// energy discharged and the rated capacity.
class UiHistoryData : public QWidget
{
    Q_OBJECT
public:
    explicit UiHistoryData(QWidget *parent = nullptr);

    HistoryDataModel *model() const { return m_model; }
    QTableView *table() const { return m_table; }
    int currentDevice() const;

public slots:
    void Slot_ShowMonitorData(uint devId);

private:
    HistoryDataModel *m_model = nullptr;
    QTableView *m_table = nullptr;
};
