#include "uihistoryevents.h"

#include "records/historyeventmodel.h"

#include <QCoreApplication>
#include <QFileDialog>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QMessageBox>
#include <QProgressBar>
#include <QPushButton>
#include <QTableView>
#include <QVBoxLayout>

namespace {

const QString Icon = QStringLiteral(":/resource/Icon/HisEvent.png");
const QString CsvFilter = QStringLiteral("csv file(*.csv)");

QPushButton *makeButton(const QString &text, const QString &objectName, QWidget *parent)
{
    auto *button = new QPushButton(text, parent);
    button->setObjectName(objectName);
    return button;
}

} // namespace

UiHistoryEvents::UiHistoryEvents(QWidget *parent)
    : UiHistoryEvents(new HistoryEventModel, parent)
{ }

UiHistoryEvents::UiHistoryEvents(HistoryEventModel *model, QWidget *parent)
    : QWidget(parent)
    , m_model(model)
{
    m_model->setParent(this);

    auto *icon = new QWidget(this);
    icon->setFixedSize(57, 60);
    icon->setStyleSheet(QStringLiteral("QWidget{background-image: url(%1)}").arg(Icon));
    auto *title = new QLabel(tr("History Events"), this);
    title->setFont(QFont(QStringLiteral("Microsoft YaHei"), 20, QFont::Bold));
    auto *titleRow = new QHBoxLayout;
    titleRow->addWidget(icon);
    titleRow->addWidget(title);
    titleRow->addStretch();

    m_table = new QTableView(this);
    m_table->setObjectName(QStringLiteral("HistoryDataTable"));
    m_table->setModel(m_model);
    m_table->setAlternatingRowColors(true);
    m_table->horizontalHeader()->setSectionResizeMode(QHeaderView::ResizeToContents);

    m_read = makeButton(tr("READ ALL"), QStringLiteral("HistoryDataOperButton"), this);
    m_progress = new QProgressBar(this);
    m_progress->setObjectName(QStringLiteral("HistoryEventProgress"));
    m_progress->setTextVisible(true);
    m_progress->setFormat(QStringLiteral("%v/%m"));
    m_stop = makeButton(tr("STOP"), QStringLiteral("HistoryDataOperButton"), this);
    m_save = makeButton(tr("SAVE"), QStringLiteral("HistoryDataOperButton"), this);
    m_delete = makeButton(tr("DELETE ALL"), QStringLiteral("HistoryDataClearButton"), this);
    auto *buttonRow = new QHBoxLayout;
    buttonRow->addWidget(m_read);
    buttonRow->addWidget(m_progress);
    buttonRow->addWidget(m_stop);
    buttonRow->addWidget(m_save);
    buttonRow->addStretch();
    buttonRow->addWidget(m_delete);

    m_status = new QLabel(this);
    m_status->setObjectName(QStringLiteral("RecordsStatus"));

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
    connect(
        m_model, &HistoryEventModel::savingDataError, this, &UiHistoryEvents::OnSavingDataError);
    connect(m_model, &HistoryEventModel::savingDataFinished, this,
        &UiHistoryEvents::OnSavingDataFinished);
    connect(
        m_model, &HistoryEventModel::transferChanged, this, &UiHistoryEvents::OnTransferChanged);
}

QString UiHistoryEvents::proposedFileName(const QDateTime &now)
{
    return QCoreApplication::applicationDirPath() + QStringLiteral("/historyEvent.")
        + now.toString(QStringLiteral("yyyyMMddhhmmss"));
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
    m_saveText.clear();
    updateStatus();
    m_model->OnStartRecording(int(m_devId));
}

void UiHistoryEvents::OnClickSave()
{
    const QString path = QFileDialog::getSaveFileName(
        this, tr("Save History Event"), proposedFileName(QDateTime::currentDateTime()), CsvFilter);
    if (path.isEmpty())
        return;
    m_saveText = tr("Saving %1 ...").arg(path);
    updateStatus();
    m_model->OnSaveRecordingData(path);
}

void UiHistoryEvents::OnSavingDataError(QString error)
{
    m_saveText = tr("Not saved.");
    updateStatus();
    QMessageBox::warning(this, tr("Error"), error, QMessageBox::Ok);
}

void UiHistoryEvents::OnSavingDataFinished(QString path)
{
    m_saveText = tr("Saved %1").arg(path);
    updateStatus();
}

void UiHistoryEvents::OnTransferChanged()
{
    const int received = m_model->receivedCount();
    const int expected = m_model->expectedCount();
    switch (m_model->transferState()) {
    case HistoryEventModel::Idle:
        m_transferText.clear();
        break;
    case HistoryEventModel::Reading:
        m_transferText = tr("Reading the history events of BMS %1 ...").arg(m_model->deviceId());
        break;
    case HistoryEventModel::Complete:
        m_transferText = tr("%1 of %2 events read.").arg(received).arg(expected);
        break;
    case HistoryEventModel::Stopped:
        m_transferText = tr("Stopped after %1 of %2 events.").arg(received).arg(expected);
        break;
    case HistoryEventModel::Stalled:
        m_transferText
            = tr("The BMS stopped sending after %1 of %2 events.").arg(received).arg(expected);
        break;
    }
    if (m_model->droppedCount() > 0) {
        m_transferText += QLatin1Char(' ')
            + tr("%1 damaged records dropped, see the log.").arg(m_model->droppedCount());
    }
    if (m_model->wrongBatteryCount() > 0) {
        m_transferText += QLatin1Char(' ')
            + tr("%1 records of other batteries dropped, see the log.")
                  .arg(m_model->wrongBatteryCount());
    }
    updateStatus();
}

void UiHistoryEvents::updateStatus()
{
    QStringList parts;
    for (const QString &part : { m_transferText, m_saveText }) {
        if (!part.isEmpty())
            parts.append(part);
    }
    m_status->setText(parts.join(QStringLiteral("    ")));
}
