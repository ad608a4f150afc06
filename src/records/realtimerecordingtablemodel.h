#pragma once

#include "recordingsamples.h"

#include <QAbstractTableModel>
#include <QDateTime>
#include <QMap>
#include <QStringList>
#include <QVector>

#include <functional>

class AbstractSignalValue;
class CsvSaveJob;
class QTimer;

// Real-time recording: every two seconds, while started, one sample of the live values of one
// BMS, read from the signal store, becomes a new last row. Nothing is sent to the BMS. The rows
// grow without limit until cleared, and can be saved as CSV.
//
// Columns: 0 Date, 1 Time, 2 SlaveNo (the BMS id recorded), then 63 signals of the catalogue,
// each shown in fixed notation with the catalogue's decimals; integer signals signed (the
// store keeps -40 degrees wrapped as unsigned).
//
// Rows are kept compactly (RecordingSamples: 264 bytes a sample, about 11 MB for a day) and
// formatted when shown or saved; what is shown and saved is what formatting the store's values
// at sampling time would give. Saving formats and writes on a thread of its own (CsvSaveJob)
// from a snapshot, so recording and the window go on meanwhile.
class RealTimeRecordingTableModel : public QAbstractTableModel
{
    Q_OBJECT
public:
    static constexpr int ColumnCount = 66;
    static constexpr int FirstValueColumn = 3;
    static constexpr int SampleIntervalMs = 2000;

    // How the value column is printed: decimals from the catalogue, and whether the signal is
    // a real (float) one or an integer one.
    struct ValueFormat
    {
        bool real = false;
        int decimals = 0;
    };
    using ValueFormats = std::array<ValueFormat, RecordingSample::ValueCount>;

    explicit RealTimeRecordingTableModel(QObject *parent = nullptr);
    ~RealTimeRecordingTableModel() override;

    // Where values and the catalogue come from; the application's store unless a test gives
    // another. Formats follow the new catalogue; rows already taken are shown with it too.
    void setSignalSource(const AbstractSignalValue *source);
    // The clock samples are stamped with; the local time unless a test gives another.
    void setClock(std::function<QDateTime()> clock);

    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    int columnCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QVariant headerData(
        int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

    static const QStringList &columnNames();
    // The signal that feeds a column, by column, for columns 3 to 65.
    const QMap<int, int> &columnSignals() const { return m_columnSignals; }
    // The cells of one CSV line for a sample.
    static QStringList csvCells(const RecordingSample &sample, const ValueFormats &formats);

    const RecordingSamples &samples() const { return m_samples; }
    const ValueFormats &valueFormats() const { return m_formats; }
    int deviceId() const { return m_deviceId; }
    bool isRecording() const;
    bool isSaving() const;
    QTimer *recordingTimer() const { return m_timer; }

signals:
    void savingDataError(QString error);
    // The file is complete at path.
    void savingDataFinished(QString path);

public slots:
    // Records deviceId from now on, first sample one interval later; earlier rows stay.
    void OnStartRecording(int deviceId);
    void OnStopRecording();
    // Writes the header and every row taken so far; the file is written in the background and
    // the outcome comes as savingDataFinished or savingDataError.
    void OnSaveRecordingData(QString path);
    void OnClearRecordingData();

private slots:
    void OnTimerTimeout();

private:
    void updateFormats();
    static QString valueText(quint32 value, const ValueFormat &format);

    const AbstractSignalValue *m_source = nullptr;
    std::function<QDateTime()> m_clock;
    QMap<int, int> m_columnSignals;
    ValueFormats m_formats {};
    RecordingSamples m_samples;
    int m_deviceId = 0;
    QTimer *m_timer = nullptr;
    QList<CsvSaveJob *> m_saves;
};
