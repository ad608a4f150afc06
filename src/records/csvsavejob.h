#pragma once

#include <QObject>
#include <QString>
#include <QStringList>

#include <atomic>
#include <functional>
#include <memory>

class QThread;

// One CSV file written from rows that no longer change, on a thread of its own, so that saving
// a day of recording does not freeze the window: formatting the cells, writing them and
// syncing the file to disk all happen away from the GUI thread, which only takes the result.
//
// The rows reach the thread as a function that gives the cells of row i. It runs on the job's
// thread, so it must read only data of its own: the models hand it a copy of their rows (an
// implicitly shared copy, so nothing is copied until the model changes its own).
//
// Threads: the job object, start() and finished() belong to the thread that made it (the GUI
// thread); write() runs on the job's thread. Destroying a job waits until its file is done.
class CsvSaveJob : public QObject
{
    Q_OBJECT
public:
    enum Result {
        Saved = 0,
        OpenFailed = -1, // no file could be made at the path
        WriteFailed = -2, // it could, but a line or the final move failed (disk full, ...)
    };
    Q_ENUM(Result)

    using RowCells = std::function<QStringList(int row)>;

    CsvSaveJob(const QString &path, const QStringList &header, int rowCount, RowCells rowCells,
        QObject *parent = nullptr);
    ~CsvSaveJob() override;

    QString path() const { return m_path; }
    int rowCount() const { return m_rowCount; }
    // Starts the save; finished() follows once, from the event loop. Only the first call counts.
    void start();
    bool isRunning() const;

    // The whole save, in the calling thread: the header, then every row, through a CsvFile
    // (whose failures are logged).
    static Result write(
        const QString &path, const QStringList &header, int rowCount, const RowCells &rowCells);

signals:
    void finished(CsvSaveJob::Result result);

private:
    Q_DISABLE_COPY(CsvSaveJob)

    const QString m_path;
    const QStringList m_header;
    const int m_rowCount;
    const RowCells m_rowCells;
    std::unique_ptr<QThread> m_thread;
    std::atomic<int> m_result { Saved };
};
