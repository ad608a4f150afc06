#pragma once

#include <QWidget>

// The lifetime statistics page of the selected battery. For now an empty page that remembers
// which battery is selected.
class UiHistoryData : public QWidget
{
    Q_OBJECT
public:
    explicit UiHistoryData(QWidget *parent = nullptr);

    int currentDevice() const { return m_devId; }

public slots:
    void Slot_ShowMonitorData(uint devId);

private:
    int m_devId = -1;
};
