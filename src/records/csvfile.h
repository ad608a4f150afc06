#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <memory>

class QSaveFile;

// One comma-separated text file, written line by line for the record models: UTF-8 without a
// byte-order mark, the cells of a line joined with "," and the line ended with CR LF.
//
// A cell holding a comma, a double quote, a carriage return or a line feed is written in double
// quotes with each inner quote doubled, as RFC 4180 has it, so that it stays one cell in every
// spreadsheet; every other cell is written exactly as it is.
//
// The file is written beside its path and moved onto the path only by close(), once every line
// is on disk. Until then, and whenever a write failed, whatever the path held stays as it was:
// nobody ever finds half a file where a complete one is expected.
//
// A plain class, one per save, used by one thread at a time.
class CsvFile
{
public:
    CsvFile();
    // Closes a file that is still open, and so saves it (see close()).
    ~CsvFile();

    // Starts a new file for the path (an existing file is replaced when the new one is closed,
    // never appended to). 0, or -1 when the file cannot be created there; the failure is logged.
    int open(const QString &path);
    // Writes one line. 0; -1 when no file is open, or when this or an earlier line of the file
    // could not be written (disk full); both are logged, the second once per file.
    int appendLine(const QStringList &cells);
    // Ends the file: when every line was written it replaces the path, otherwise it is thrown
    // away and the path keeps what it had. 0 when saved (or when nothing was open), -1 when not;
    // a failure is logged. Afterwards no file is open.
    int close();

    bool isOpen() const { return m_file != nullptr; }
    QString path() const { return m_path; }

    // The bytes appendLine() writes for these cells, line end included.
    static QByteArray lineBytes(const QStringList &cells);
    // A cell as it appears in the file: quoted only when it has to be.
    static QString cellText(const QString &cell);

private:
    Q_DISABLE_COPY(CsvFile)

    // Puts everything written so far onto the disk; why the file system refused, or empty.
    QString flushToDisk();

    std::unique_ptr<QSaveFile> m_file;
    QString m_path;
    // Why the first failed write failed; empty while every write succeeded.
    QString m_writeError;
};
