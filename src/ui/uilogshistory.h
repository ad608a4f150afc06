#pragma once

#include <QWidget>

class QPushButton;
class QStackedLayout;
class UiHistoryEvents;
class UiPageIndicator;
class UiRealTimeRecording;

// The LOGS HISTORY page: real-time recording (page 0) and history events (page 1) in one
// stack, paged with "<" and ">", and a dot per page below. The selected battery reaches both
// pages through showMonitorData.
class UiLogsHistory : public QWidget
{
    Q_OBJECT
public:
    explicit UiLogsHistory(QWidget *parent = nullptr);

    UiRealTimeRecording *realTimeRecording() const { return m_realTime; }
    UiHistoryEvents *historyEvents() const { return m_events; }
    UiPageIndicator *pageIndicator() const { return m_indicator; }
    QPushButton *previousButton() const { return m_previous; }
    QPushButton *nextButton() const { return m_next; }
    int currentIndex() const;

signals:
    void showMonitorData(uint devId);

private slots:
    void OnClickPreview();
    void OnClickNext();

private:
    UiRealTimeRecording *m_realTime = nullptr;
    UiHistoryEvents *m_events = nullptr;
    QStackedLayout *m_stack = nullptr;
    UiPageIndicator *m_indicator = nullptr;
    QPushButton *m_previous = nullptr;
    QPushButton *m_next = nullptr;
};
