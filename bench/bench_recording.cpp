// A day of real-time recording: 43,200 samples (one every 2 s for 24 h) of 66 values.
//
// Figures:
// - storage: the bytes the model holds per sample, as the heap in use grows (glibc's mallinfo2,
//   which sees every allocation, Qt's containers included), and the process's resident set as a
//   cross-check;
//   beside it what a plain table of QVariants (66 per row) costs, for scale;
// - sampling: the GUI thread's time per two-second tick;
// - saving the day to CSV from the page: the time until the file is complete, and the longest
//   the event loop went without serving a 1 ms timer meanwhile (the window's responsiveness),
//   against the same measure on an idle window and against writing the file on the GUI thread.

#include "records/csvsavejob.h"
#include "records/realtimerecordingtablemodel.h"
#include "resource/resources.h"
#include "signals/framekey.h"
#include "signals/signalindex.h"
#include "signals/signalvalues.h"
#include "ui/uirealtimerecording.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QTemporaryDir>
#include <QTimer>
#include <QVariant>
#include <QVector>

#include <cstdio>
#include <malloc.h>

namespace {

constexpr int SamplesPerDay = 24 * 3600 / 2;

// Bytes in use on the heap, every arena and mapped chunk, as glibc counts them.
long long heapInUse()
{
    const struct mallinfo2 info = mallinfo2();
    return (long long)(info.uordblks + info.hblkhd);
}

long long residentBytes()
{
    QFile statm(QStringLiteral("/proc/self/statm"));
    if (!statm.open(QIODevice::ReadOnly))
        return 0;
    const QList<QByteArray> fields = statm.readAll().split(' ');
    return fields.value(1).toLongLong() * 4096;
}

// Live values of a plausible pack for battery 1, as the broadcast frames bring them.
void feed(SignalValues &store)
{
    const auto send = [&store](quint32 key, const QHash<int, double> &values) {
        store.OnNewCanFrame(FrameKey::identifier(key, 1), store.encode(key, values), 0);
    };
    send(FrameKey::PackStatus,
        { { Signal::SumVolt, 52.3 }, { Signal::Curr, -23.4 }, { Signal::SOC, 67.8 },
            { Signal::SOH, 98.5 }, { Signal::SysStatus, 2 } });
    send(FrameKey::Capacity, { { Signal::RemainCapacity, 67.81 } });
    send(FrameKey::CellVoltExtremes,
        { { Signal::MaxCellV, 3.291 }, { Signal::MaxCellVNo, 7 }, { Signal::MinCellV, 3.262 },
            { Signal::MinCellVNo, 12 }, { Signal::DiffVolt, 0.029 } });
    send(FrameKey::TempExtremes,
        { { Signal::MaxCellT, 31 }, { Signal::MaxCellTNo, 3 }, { Signal::MinCellT, 24 },
            { Signal::MinCellTNo, 6 } });
    QHash<int, double> temperatures;
    for (int i = 0; i < 8; ++i)
        temperatures.insert(Signal::Temp1 + i, 24 + i);
    send(FrameKey::Temperatures, temperatures);
    for (int f = 0; f < 4; ++f) {
        QHash<int, double> cells;
        for (int j = 0; j < 4; ++j)
            cells.insert(Signal::Volt1 + 4 * f + j, 3.262 + 0.002 * (4 * f + j));
        send(FrameKey::CellVolts1to4 + 0x100 * quint32(f), cells);
    }
    send(FrameKey::Relays,
        { { Signal::ChargeRelay, 1 }, { Signal::DischargeRelay, 1 }, { Signal::PosRelay, 1 } });
}

// The longest time between two consecutive ticks of a 1 ms timer while it runs.
class StallProbe : public QObject
{
public:
    StallProbe()
    {
        m_timer.setTimerType(Qt::PreciseTimer);
        m_timer.setInterval(1);
        connect(&m_timer, &QTimer::timeout, this, [this] {
            const qint64 now = m_clock.nsecsElapsed();
            if (m_last >= 0)
                m_longestNs = qMax(m_longestNs, now - m_last);
            m_last = now;
        });
    }
    void start()
    {
        m_last = -1;
        m_longestNs = 0;
        m_clock.start();
        m_timer.start();
    }
    double stop()
    {
        m_timer.stop();
        return m_longestNs / 1e6;
    }

private:
    QTimer m_timer;
    QElapsedTimer m_clock;
    qint64 m_last = -1;
    qint64 m_longestNs = 0;
};

// Runs the event loop for a while, sleeping between events as an application's loop does.
void spin(int ms)
{
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

} // namespace

int main(int argc, char *argv[])
{
    qputenv("QT_QPA_PLATFORM",
        qgetenv("QT_QPA_PLATFORM").isEmpty() ? "offscreen" : qgetenv("QT_QPA_PLATFORM"));
    QApplication app(argc, argv);
    Resources::init();
    SignalValues store;
    feed(store);

    // Storage.
    const long long heapBefore = heapInUse();
    const long long rssBefore = residentBytes();
    auto *model = new RealTimeRecordingTableModel;
    model->setSignalSource(&store);
    model->setClock([] { return QDateTime(QDate(2024, 6, 1), QTime(8, 0)); });
    QElapsedTimer clock;
    clock.start();
    for (int i = 0; i < SamplesPerDay; ++i)
        QMetaObject::invokeMethod(model, "OnTimerTimeout");
    const double tickUs = clock.nsecsElapsed() / 1e3 / SamplesPerDay;
    const long long heapBytes = heapInUse() - heapBefore;
    const long long rssBytes = residentBytes() - rssBefore;

    // The same day as rows of 66 QVariants, for scale.
    const long long plainBefore = heapInUse();
    {
        QVector<QVector<QVariant>> plain;
        for (int i = 0; i < SamplesPerDay; ++i) {
            QVector<QVariant> row;
            row << QDate(2024, 6, 1) << QTime(8, 0) << 1;
            for (int k = 3; k < RealTimeRecordingTableModel::ColumnCount; ++k)
                row << store.value(1, model->columnSignals().value(k));
            plain.append(row);
        }
        const long long plainBytes = heapInUse() - plainBefore;
        std::printf("storage of %d samples of %d values\n", SamplesPerDay,
            RealTimeRecordingTableModel::ColumnCount);
        std::printf("  model heap:      %10lld bytes  %7.1f bytes/sample  (%.1f MB)\n", heapBytes,
            double(heapBytes) / SamplesPerDay, heapBytes / 1048576.0);
        std::printf("  model RSS delta: %10lld bytes  %7.1f bytes/sample\n", rssBytes,
            double(rssBytes) / SamplesPerDay);
        std::printf("  blocks held:     %10lld bytes\n", model->samples().storageBytes());
        std::printf("  for scale, QVector<QVariant> rows: %lld bytes, %.1f bytes/sample\n",
            plainBytes, double(plainBytes) / SamplesPerDay);
    }
    std::printf("sampling: %.1f us per tick on the GUI thread\n", tickUs);

    // Saving from the page, with the table on screen.
    UiRealTimeRecording page(model);
    page.resize(1400, 800);
    page.show();
    spin(300);
    StallProbe probe;
    probe.start();
    spin(1000);
    const double idleStallMs = probe.stop();

    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("day.csv"));
    QEventLoop saving;
    QObject::connect(
        model, &RealTimeRecordingTableModel::savingDataFinished, &saving, &QEventLoop::quit);
    QObject::connect(
        model, &RealTimeRecordingTableModel::savingDataError, &saving, [&saving](QString error) {
            std::printf("save failed: %s\n", qPrintable(error));
            saving.quit();
        });
    probe.start();
    clock.restart();
    model->OnSaveRecordingData(path);
    const double slotMs = clock.nsecsElapsed() / 1e6;
    saving.exec();
    const double saveMs = clock.nsecsElapsed() / 1e6;
    const double saveStallMs = probe.stop();
    const qint64 fileBytes = QFileInfo(path).size();

    // For comparison: the same file written on the GUI thread.
    const QString inline_ = dir.filePath(QStringLiteral("inline.csv"));
    const RecordingSamples snapshot = model->samples();
    const RealTimeRecordingTableModel::ValueFormats formats = model->valueFormats();
    clock.restart();
    CsvSaveJob::write(inline_, RealTimeRecordingTableModel::columnNames(), snapshot.size(),
        [&](int row) { return RealTimeRecordingTableModel::csvCells(snapshot.at(row), formats); });
    const double inlineMs = clock.nsecsElapsed() / 1e6;
    QFile saved(path);
    QFile written(inline_);
    const bool same = saved.open(QIODevice::ReadOnly) && written.open(QIODevice::ReadOnly)
        && saved.readAll() == written.readAll();

    std::printf(
        "saving the day to CSV (%lld bytes, %d lines)\n", (long long)fileBytes, SamplesPerDay + 1);
    std::printf("  OnSaveRecordingData returns after %.2f ms\n", slotMs);
    std::printf("  file complete after              %.0f ms\n", saveMs);
    std::printf("  longest event-loop stall meanwhile %.1f ms (idle window: %.1f ms)\n",
        saveStallMs, idleStallMs);
    std::printf("  for comparison, written on the GUI thread: %.0f ms of stall (same bytes: %s)\n",
        inlineMs, same ? "yes" : "NO");
    return 0;
}
