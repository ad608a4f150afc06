#include "uilogshistory.h"

#include "uihistoryevents.h"
#include "uipageindicator.h"
#include "uirealtimerecording.h"

#include <QHBoxLayout>
#include <QPushButton>
#include <QStackedLayout>
#include <QVBoxLayout>

namespace {

enum Page { RealTimePage = 0, EventsPage = 1, PageCount = 2 };

} // namespace

UiLogsHistory::UiLogsHistory(QWidget *parent)
    : QWidget(parent)
{
    m_realTime = new UiRealTimeRecording(this);
    m_events = new UiHistoryEvents(this);
    m_stack = new QStackedLayout;
    m_stack->addWidget(m_realTime);
    m_stack->addWidget(m_events);

    m_previous = new QPushButton(QStringLiteral("<"), this);
    m_previous->setObjectName(QStringLiteral("ParameterNextButton"));
    m_next = new QPushButton(QStringLiteral(">"), this);
    m_next->setObjectName(QStringLiteral("ParameterNextButton"));
    auto *row = new QHBoxLayout;
    row->addWidget(m_previous);
    row->addLayout(m_stack, 1);
    row->addWidget(m_next);

    m_indicator = new UiPageIndicator(PageCount, this);
    auto *layout = new QVBoxLayout(this);
    layout->addLayout(row, 1);
    layout->addWidget(m_indicator);

    connect(m_previous, &QPushButton::clicked, this, &UiLogsHistory::OnClickPreview);
    connect(m_next, &QPushButton::clicked, this, &UiLogsHistory::OnClickNext);
    connect(this, &UiLogsHistory::showMonitorData, m_realTime,
        &UiRealTimeRecording::Slot_ShowMonitorData);
    connect(
        this, &UiLogsHistory::showMonitorData, m_events, &UiHistoryEvents::Slot_ShowMonitorData);
}

int UiLogsHistory::currentIndex() const
{
    return m_stack->currentIndex();
}

void UiLogsHistory::OnClickPreview()
{
    m_stack->setCurrentIndex(RealTimePage);
    m_indicator->setCurrentIndex(RealTimePage);
}

void UiLogsHistory::OnClickNext()
{
    m_stack->setCurrentIndex(EventsPage);
    m_indicator->setCurrentIndex(EventsPage);
}
