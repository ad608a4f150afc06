#pragma once

#include <QWidget>

// The manufacturing page (device number, codes, pass and fail counts). For now an empty page that
// remembers which battery is selected.
class UiManufacturing : public QWidget
{
    Q_OBJECT
public:
    explicit UiManufacturing(QWidget *parent = nullptr);

    int currentDevice() const { return m_devId; }

public slots:
    void Slot_ShowMonitorData(uint devId);

private:
    int m_devId = -1;
};
