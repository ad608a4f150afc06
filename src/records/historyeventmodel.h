#pragma once

#include <QAbstractTableModel>
#include <QStringList>
#include <QVector>

class CanService;
class CsvSaveJob;
class HistoryReadout;
struct HistoryRecord;

// The history event log of one BMS as the history events page shows it: a row of 47 cells
// (HistoryRecordText) for every record its read-out (HistoryReadout) takes, saved as CSV on
// request. Rows already read stay until the next read-out has started or the log is deleted.
//
// Everything runs on the GUI thread, except the CSV writing (CsvSaveJob).
class HistoryEventModel : public QAbstractTableModel
{
    Q_OBJECT
public:
    explicit HistoryEventModel(QObject *parent = nullptr);
    // A model on a CAN service of the caller's (tests); the application's otherwise.
    explicit HistoryEventModel(CanService *service, QObject *parent = nullptr);
    ~HistoryEventModel() override;

    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    int columnCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QVariant headerData(
        int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

    const QStringList &row(int row) const { return m_rows.at(row); }
    // How the read-out goes: its battery, state and counts.
    HistoryReadout *readout() const { return m_readout; }
    bool isSaving() const;

signals:
    void savingDataError(QString error);
    // The file is complete at path.
    void savingDataFinished(QString path);
    void newProgressRange(int range);
    void newProgressValue(int value);

public slots:
    void OnStartRecording(int deviceId);
    void OnStopRecording();
    // Writes the header and every row as they are now; the file is written in the background
    // and the outcome comes as savingDataFinished or savingDataError.
    void OnSaveRecordingData(QString path);
    void OnClearRecordingData();

private slots:
    void OnAnnounced(int count);
    void OnRecordRead(const HistoryRecord &record);
    void removeAllRows();

private:
    HistoryReadout *m_readout = nullptr;
    QVector<QStringList> m_rows;
    QList<CsvSaveJob *> m_saves;
};
