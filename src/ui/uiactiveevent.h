#pragma once

#include <QDialog>
#include <QList>
#include <QStringList>

class AlarmOnsets;
class QLabel;
class QTableWidget;
class QTimer;

// The list of one battery's active faults, opened from the top bar's counters. It keeps
// showing the battery that was selected when it opened and refreshes every second while open.
//
// Level-2 faults (protections) and active flags come first, then an empty line, then the
// level-1 faults (alarms), so the conditions that stop the pack are read first.
//
// Below that text, the same conditions as a table: the severity in its colour (protection red,
// alarm yellow), the name, and the time each was first seen (from the onsets the top bar keeps,
// setOnsets); or the line "none active" when there is none.
class UiActiveEvent : public QDialog
{
    Q_OBJECT
public:
    static constexpr int RefreshIntervalMs = 1000;

    // names holds the level names in level-list order followed by the flag names in flag-list
    // order.
    UiActiveEvent(int devId, const QList<int> &levelSignals, const QList<int> &flagSignals,
        const QStringList &names, QWidget *parent = nullptr);

    int devId() const { return m_devId; }
    QString eventText() const;
    // onsets must outlive the dialog; without them the time column stays empty.
    void setOnsets(const AlarmOnsets *onsets);
    QTableWidget *eventTable() const { return m_table; }
    QLabel *noneActiveLabel() const { return m_noneActive; }

public slots:
    void OnTimerTimeout();

private:
    void addRow(int signal, const QString &name, bool protection);

    const AlarmOnsets *m_onsets = nullptr;
    int m_devId = 0;
    QStringList m_names;
    QList<int> m_levelSignals;
    QList<int> m_flagSignals;
    QLabel *m_list = nullptr;
    QTableWidget *m_table = nullptr;
    QLabel *m_noneActive = nullptr;
    QTimer *m_timer = nullptr;
};
