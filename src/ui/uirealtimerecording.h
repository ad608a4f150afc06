#pragma once

#include "recordsstatusline.h"

#include <QWidget>

class QPushButton;
class QTableView;
class RealTimeRecordingTableModel;

// The real-time recording page: RECORDING samples the selected BMS's live values every two
// seconds into the table, STOP ends that, SAVE writes the table as CSV and CLEAR empties it.
// First page of the LOGS HISTORY container. A status line says what is being recorded and how
// the last save went; a failed save is also shown in a warning box.
class UiRealTimeRecording : public QWidget
{
    Q_OBJECT
public:
    explicit UiRealTimeRecording(QWidget *parent = nullptr);
    // A page on a model of the caller's (tests), which it takes over.
    explicit UiRealTimeRecording(RealTimeRecordingTableModel *model, QWidget *parent = nullptr);

    RealTimeRecordingTableModel *model() const { return m_model; }
    QTableView *table() const { return m_table; }
    RecordsStatusLine *statusLabel() const { return m_status; }
    QPushButton *recordButton() const { return m_record; }
    QPushButton *stopButton() const { return m_stop; }
    QPushButton *saveButton() const { return m_save; }
    QPushButton *clearButton() const { return m_clear; }
    int currentDevice() const { return int(m_devId); }

public slots:
    void Slot_ShowMonitorData(uint devId);

private slots:
    void OnClickRecording();
    void OnClickStop();
    void OnClickSave();

private:
    RealTimeRecordingTableModel *m_model = nullptr;
    QTableView *m_table = nullptr;
    RecordsStatusLine *m_status = nullptr;
    QPushButton *m_record = nullptr;
    QPushButton *m_stop = nullptr;
    QPushButton *m_save = nullptr;
    QPushButton *m_clear = nullptr;
    uint m_devId = 0;
};
