#pragma once

#include <QWidget>

// The engineering page behind the login (manual relay control). For now an empty page that
// remembers which battery is selected.
class UiParameter : public QWidget
{
    Q_OBJECT
public:
    explicit UiParameter(QWidget *parent = nullptr);

    int currentDevice() const { return m_devId; }

public slots:
    void Slot_ShowMonitorData(uint devId);

private:
    int m_devId = -1;
};
