#pragma once

#include "recordsstatusline.h"

#include <QWidget>

class HistoryEventModel;
class QProgressBar;
class QPushButton;
class QTableView;

// The history events page: reads the selected BMS's history event log out (READ ALL), shows
// it, saves it as CSV (SAVE) and deletes it on the BMS (DELETE ALL). Second page of the LOGS
// HISTORY container.
//
// Besides the progress bar, a status line says how the read-out went (complete, stopped,
// stalled, and how many damaged records were dropped) and how the last save went; a failed
// save is also shown in a warning box.
class UiHistoryEvents : public QWidget
{
    Q_OBJECT
public:
    explicit UiHistoryEvents(QWidget *parent = nullptr);
    // A page on a model of the caller's (tests), which it takes over.
    explicit UiHistoryEvents(HistoryEventModel *model, QWidget *parent = nullptr);

    HistoryEventModel *model() const { return m_model; }
    QTableView *table() const { return m_table; }
    QProgressBar *progressBar() const { return m_progress; }
    RecordsStatusLine *statusLabel() const { return m_status; }
    QPushButton *readButton() const { return m_read; }
    QPushButton *stopButton() const { return m_stop; }
    QPushButton *saveButton() const { return m_save; }
    QPushButton *deleteButton() const { return m_delete; }
    int currentDevice() const { return int(m_devId); }

public slots:
    void Slot_ShowMonitorData(uint devId);
    void OnSetMaximum(int max);

private slots:
    void OnClickRead();
    void OnClickSave();
    void OnTransferChanged();

private:
    HistoryEventModel *m_model = nullptr;
    QTableView *m_table = nullptr;
    QProgressBar *m_progress = nullptr;
    RecordsStatusLine *m_status = nullptr;
    QPushButton *m_read = nullptr;
    QPushButton *m_stop = nullptr;
    QPushButton *m_save = nullptr;
    QPushButton *m_delete = nullptr;
    uint m_devId = 0;
};
