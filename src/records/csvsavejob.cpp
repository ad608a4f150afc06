#include "csvsavejob.h"

#include "csvfile.h"

#include <QThread>

CsvSaveJob::CsvSaveJob(const QString &path, const QStringList &header, int rowCount,
    RowCells rowCells, QObject *parent)
    : QObject(parent)
    , m_path(path)
    , m_header(header)
    , m_rowCount(rowCount)
    , m_rowCells(std::move(rowCells))
{
    qRegisterMetaType<CsvSaveJob::Result>();
}

CsvSaveJob::~CsvSaveJob()
{
    // The thread reads this object's rows and path until it ends.
    if (m_thread)
        m_thread->wait();
}

void CsvSaveJob::start()
{
    if (m_thread)
        return;
    m_thread.reset(
        QThread::create([this] { m_result = write(m_path, m_header, m_rowCount, m_rowCells); }));
    m_thread->setObjectName(QStringLiteral("CsvSaveJob"));
    // QThread::finished comes from the job's thread; the result is taken here, queued.
    connect(m_thread.get(), &QThread::finished, this,
        [this] { emit finished(Result(m_result.load())); });
    m_thread->start(QThread::LowPriority);
}

bool CsvSaveJob::isRunning() const
{
    return m_thread && !m_thread->isFinished();
}

CsvSaveJob::Result CsvSaveJob::write(
    const QString &path, const QStringList &header, int rowCount, const RowCells &rowCells)
{
    CsvFile file;
    if (file.open(path) != 0)
        return OpenFailed;
    // After a failed line the rest is not even formatted: the file will be thrown away.
    bool complete = file.appendLine(header) == 0;
    for (int row = 0; complete && row < rowCount; ++row)
        complete = file.appendLine(rowCells(row)) == 0;
    if (!complete) {
        file.close();
        return WriteFailed;
    }
    return file.close() == 0 ? Saved : WriteFailed;
}
