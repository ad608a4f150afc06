#include "uirealtimerecording.h"

#include "records/realtimerecordingtablemodel.h"

#include <QCoreApplication>
#include <QFileDialog>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QTableView>
#include <QVBoxLayout>

namespace {

const QString Icon = QStringLiteral(":/resource/Icon/RealTime.png");
const QString CsvFilter = QStringLiteral("csv file(*.csv)");

QPushButton *makeButton(const QString &text, const QString &objectName, QWidget *parent)
{
    auto *button = new QPushButton(text, parent);
    button->setObjectName(objectName);
    return button;
}

} // namespace

UiRealTimeRecording::UiRealTimeRecording(QWidget *parent)
    : UiRealTimeRecording(new RealTimeRecordingTableModel, parent)
{ }

UiRealTimeRecording::UiRealTimeRecording(RealTimeRecordingTableModel *model, QWidget *parent)
    : QWidget(parent)
    , m_model(model)
{
    m_model->setParent(this);

    auto *icon = new QWidget(this);
    icon->setFixedSize(70, 74);
    icon->setStyleSheet(QStringLiteral("QWidget{background-image: url(%1)}").arg(Icon));
    auto *title = new QLabel(tr("Real-Time Recording"), this);
    title->setFont(QFont(QStringLiteral("Microsoft YaHei"), 20, QFont::Bold));
    auto *titleRow = new QHBoxLayout;
    titleRow->addWidget(icon);
    titleRow->addWidget(title);
    titleRow->addStretch();

    m_table = new QTableView(this);
    m_table->setObjectName(QStringLiteral("HistoryDataTable"));
    m_table->setModel(m_model);
    m_table->setAlternatingRowColors(true);
    QHeaderView *header = m_table->horizontalHeader();
    header->setSectionResizeMode(QHeaderView::ResizeToContents);
    // A day of recording is 43,200 rows: size the columns by the rows in sight, not by a
    // thousand rows at every new sample.
    header->setResizeContentsPrecision(0);

    m_record = makeButton(tr("RECORDING"), QStringLiteral("HistoryDataOperButton"), this);
    m_stop = makeButton(tr("STOP"), QStringLiteral("HistoryDataOperButton"), this);
    m_save = makeButton(tr("SAVE"), QStringLiteral("HistoryDataOperButton"), this);
    m_clear = makeButton(tr("CLEAR"), QStringLiteral("HistoryDataClearButton"), this);
    auto *buttonRow = new QHBoxLayout;
    buttonRow->addWidget(m_record);
    buttonRow->addWidget(m_stop);
    buttonRow->addStretch();
    buttonRow->addWidget(m_save);
    buttonRow->addWidget(m_clear);

    m_status = new QLabel(this);
    m_status->setObjectName(QStringLiteral("RecordsStatus"));

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
    connect(m_model, &RealTimeRecordingTableModel::savingDataError, this,
        &UiRealTimeRecording::OnSavingDataError);
    connect(m_model, &RealTimeRecordingTableModel::savingDataFinished, this,
        &UiRealTimeRecording::OnSavingDataFinished);
}

QString UiRealTimeRecording::proposedFileName(const QDateTime &now)
{
    return QCoreApplication::applicationDirPath() + QStringLiteral("/realTimeData.")
        + now.toString(QStringLiteral("yyyyMMddhhmmss"));
}

void UiRealTimeRecording::Slot_ShowMonitorData(uint devId)
{
    m_devId = devId;
}

void UiRealTimeRecording::OnClickRecording()
{
    m_model->OnStartRecording(int(m_devId));
    m_recordText = tr("Recording BMS %1 every 2 s.").arg(m_devId);
    updateStatus();
}

void UiRealTimeRecording::OnClickStop()
{
    m_model->OnStopRecording();
    m_recordText.clear();
    updateStatus();
}

void UiRealTimeRecording::OnClickSave()
{
    const QString path = QFileDialog::getSaveFileName(
        this, tr("Save Real Time Data"), proposedFileName(QDateTime::currentDateTime()), CsvFilter);
    if (path.isEmpty())
        return;
    m_saveText = tr("Saving %1 ...").arg(path);
    updateStatus();
    m_model->OnSaveRecordingData(path);
}

void UiRealTimeRecording::OnSavingDataError(QString error)
{
    m_saveText = tr("Not saved.");
    updateStatus();
    QMessageBox::warning(this, tr("Error"), error, QMessageBox::Ok);
}

void UiRealTimeRecording::OnSavingDataFinished(QString path)
{
    m_saveText = tr("Saved %1").arg(path);
    updateStatus();
}

void UiRealTimeRecording::updateStatus()
{
    QStringList parts;
    for (const QString &part : { m_recordText, m_saveText }) {
        if (!part.isEmpty())
            parts.append(part);
    }
    m_status->setText(parts.join(QStringLiteral("    ")));
}
