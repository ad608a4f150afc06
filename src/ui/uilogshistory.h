#pragma once

#include <QWidget>

// The LOGS HISTORY page (real-time recording and history event read-out). For now an empty
// page; the selected battery reaches its parts through showMonitorData.
class UiLogsHistory : public QWidget
{
    Q_OBJECT
public:
    explicit UiLogsHistory(QWidget *parent = nullptr);

signals:
    void showMonitorData(uint devId);
};
