#pragma once

#include <QString>
#include <QWidget>

// The firmware upgrade page. For now an empty page that remembers the selected battery and
// the serial port chosen in the top bar.
class UiFirmware : public QWidget
{
    Q_OBJECT
public:
    explicit UiFirmware(QWidget *parent = nullptr);

    int currentDevice() const { return m_devId; }
    QString comPort() const { return m_comPort; }

public slots:
    void OnNewComPort(QString comPort);
    void Slot_ShowMonitorData(uint devId);

private:
    int m_devId = -1;
    QString m_comPort;
};
