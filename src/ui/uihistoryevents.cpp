#include "uihistoryevents.h"

#include "pagewidgets.h"
#include "recordsstatusline.h"

#include "records/historyeventmodel.h"
#include "records/historyreadout.h"

#include <QHBoxLayout>
#include <QMessageBox>
#include <QProgressBar>
#include <QPushButton>
#include <QTableView>
#include <QVBoxLayout>

namespace {

const QString Icon = QStringLiteral(":/resource/Icon/HisEvent.png");

} // namespace

UiHistoryEvents::UiHistoryEvents(QWidget *parent)
    : UiHistoryEvents(new HistoryEventModel, parent)
{ }

UiHistoryEvents::UiHistoryEvents(HistoryEventModel *model, QWidget *parent)
    : QWidget(parent)
    , m_model(model)
{
    m_model->setParent(this);

    QHBoxLayout *titleRow = PageWidgets::heading(this, Icon, QSize(57, 60), tr("History Events"));

    m_table = PageWidgets::recordsTable(m_model, this);

    m_read = PageWidgets::button(tr("READ ALL"), QStringLiteral("HistoryDataOperButton"), this);
    m_progress = new QProgressBar(this);
    m_progress->setObjectName(QStringLiteral("HistoryEventProgress"));
    m_progress->setTextVisible(true);
    m_progress->setFormat(QStringLiteral("%v/%m"));
    m_stop = PageWidgets::button(tr("STOP"), QStringLiteral("HistoryDataOperButton"), this);
    m_save = PageWidgets::button(tr("SAVE"), QStringLiteral("HistoryDataOperButton"), this);
    m_delete
        = PageWidgets::button(tr("DELETE ALL"), QStringLiteral("HistoryDataClearButton"), this);
    auto *buttonRow = new QHBoxLayout;
    buttonRow->addWidget(m_read);
    buttonRow->addWidget(m_progress);
    buttonRow->addWidget(m_stop);
    buttonRow->addWidget(m_save);
    buttonRow->addStretch();
    buttonRow->addWidget(m_delete);

    m_status = new RecordsStatusLine(this);

    auto *layout = new QVBoxLayout(this);
    layout->addLayout(titleRow);
    layout->addWidget(m_table);
    layout->addLayout(buttonRow);
    layout->addWidget(m_status);

    connect(m_read, &QPushButton::clicked, this, &UiHistoryEvents::OnClickRead);
    connect(m_stop, &QPushButton::clicked, m_model, &HistoryEventModel::OnStopRecording);
    connect(m_save, &QPushButton::clicked, this, &UiHistoryEvents::OnClickSave);
    connect(m_delete, &QPushButton::clicked, m_model, &HistoryEventModel::OnClearRecordingData);
    connect(m_model, &HistoryEventModel::newProgressRange, this, &UiHistoryEvents::OnSetMaximum);
    connect(m_model, &HistoryEventModel::newProgressValue, m_progress, &QProgressBar::setValue);
    connect(m_model, &HistoryEventModel::savingDataError, m_status,
        &RecordsStatusLine::OnSavingDataError);
    connect(m_model, &HistoryEventModel::savingDataFinished, m_status,
        &RecordsStatusLine::OnSavingDataFinished);
    connect(
        m_model->readout(), &HistoryReadout::changed, this, &UiHistoryEvents::OnTransferChanged);
}

void UiHistoryEvents::Slot_ShowMonitorData(uint devId)
{
    m_devId = devId;
}

void UiHistoryEvents::OnSetMaximum(int max)
{
    if (max != 0) {
        m_progress->setRange(0, max);
        return;
    }
    QMessageBox::information(this, tr("Info"), tr("No history event in the BMS."), QMessageBox::Ok);
}

void UiHistoryEvents::OnClickRead()
{
    // A save of the rows read before is no news about the rows about to be read.
    m_status->clearSave();
    m_model->OnStartRecording(int(m_devId));
}

void UiHistoryEvents::OnClickSave()
{
    const QString path
        = PageWidgets::askCsvPath(this, tr("Save History Event"), QStringLiteral("historyEvent"));
    if (path.isEmpty())
        return;
    m_status->setSaving(path);
    m_model->OnSaveRecordingData(path);
}

void UiHistoryEvents::OnTransferChanged()
{
    const HistoryReadout *readout = m_model->readout();
    const int received = readout->receivedCount();
    const int expected = readout->expectedCount();
    QString text;
    switch (readout->state()) {
    case HistoryReadout::Idle:
        break;
    case HistoryReadout::Reading:
        text = tr("Reading the history events of BMS %1 ...").arg(readout->deviceId());
        break;
    case HistoryReadout::Complete:
        text = tr("%1 of %2 events read.").arg(received).arg(expected);
        break;
    case HistoryReadout::Stopped:
        text = tr("Stopped after %1 of %2 events.").arg(received).arg(expected);
        break;
    case HistoryReadout::Stalled:
        text = tr("The BMS stopped sending after %1 of %2 events.").arg(received).arg(expected);
        break;
    }
    if (readout->droppedCount() > 0) {
        text += QLatin1Char(' ')
            + tr("%1 damaged records dropped, see the log.").arg(readout->droppedCount());
    }
    if (readout->wrongBatteryCount() > 0) {
        text += QLatin1Char(' ')
            + tr("%1 records of other batteries dropped, see the log.")
                  .arg(readout->wrongBatteryCount());
    }
    m_status->setActivity(text);
}
