#include "uirealtimerecording.h"

#include "pagewidgets.h"
#include "recordsstatusline.h"

#include "records/realtimerecordingtablemodel.h"

#include <QHBoxLayout>
#include <QPushButton>
#include <QTableView>
#include <QVBoxLayout>

namespace {

const QString Icon = QStringLiteral(":/resource/Icon/RealTime.png");

} // namespace

UiRealTimeRecording::UiRealTimeRecording(QWidget *parent)
    : UiRealTimeRecording(new RealTimeRecordingTableModel, parent)
{ }

UiRealTimeRecording::UiRealTimeRecording(RealTimeRecordingTableModel *model, QWidget *parent)
    : QWidget(parent)
    , m_model(model)
{
    m_model->setParent(this);

    QHBoxLayout *titleRow
        = PageWidgets::heading(this, Icon, QSize(70, 74), tr("Real-Time Recording"));

    m_table = PageWidgets::recordsTable(m_model, this);

    m_record = PageWidgets::button(tr("RECORDING"), QStringLiteral("HistoryDataOperButton"), this);
    m_stop = PageWidgets::button(tr("STOP"), QStringLiteral("HistoryDataOperButton"), this);
    m_save = PageWidgets::button(tr("SAVE"), QStringLiteral("HistoryDataOperButton"), this);
    m_clear = PageWidgets::button(tr("CLEAR"), QStringLiteral("HistoryDataClearButton"), this);
    auto *buttonRow = new QHBoxLayout;
    buttonRow->addWidget(m_record);
    buttonRow->addWidget(m_stop);
    buttonRow->addStretch();
    buttonRow->addWidget(m_save);
    buttonRow->addWidget(m_clear);

    m_status = new RecordsStatusLine(this);

    auto *layout = new QVBoxLayout(this);
    layout->addLayout(titleRow);
    layout->addWidget(m_table);
    layout->addLayout(buttonRow);
    layout->addWidget(m_status);

    connect(m_record, &QPushButton::clicked, this, &UiRealTimeRecording::OnClickRecording);
    connect(m_stop, &QPushButton::clicked, this, &UiRealTimeRecording::OnClickStop);
    connect(m_save, &QPushButton::clicked, this, &UiRealTimeRecording::OnClickSave);
    connect(m_clear, &QPushButton::clicked, m_model,
        &RealTimeRecordingTableModel::OnClearRecordingData);
    connect(m_model, &RealTimeRecordingTableModel::savingDataError, m_status,
        &RecordsStatusLine::OnSavingDataError);
    connect(m_model, &RealTimeRecordingTableModel::savingDataFinished, m_status,
        &RecordsStatusLine::OnSavingDataFinished);
}

void UiRealTimeRecording::Slot_ShowMonitorData(uint devId)
{
    m_devId = devId;
}

void UiRealTimeRecording::OnClickRecording()
{
    m_model->OnStartRecording(int(m_devId));
    m_status->setActivity(tr("Recording BMS %1 every 2 s.").arg(m_devId));
}

void UiRealTimeRecording::OnClickStop()
{
    m_model->OnStopRecording();
    m_status->setActivity(QString());
}

void UiRealTimeRecording::OnClickSave()
{
    const QString path
        = PageWidgets::askCsvPath(this, tr("Save Real Time Data"), QStringLiteral("realTimeData"));
    if (path.isEmpty())
        return;
    m_status->setSaving(path);
    m_model->OnSaveRecordingData(path);
}
