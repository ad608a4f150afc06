#pragma once

#include <QString>

#include <cstdio>

class QJsonObject;
class Table;

// Where bmsctl's words go. Results go to standard output, as a table for a person or as JSON for
// a script (a Report prints either); messages go to standard error, prefixed with the command
// ("bmsctl scan: ..."); a progress line goes to standard error too, and only when it is a
// terminal, rewritten in place.
class Console
{
public:
    explicit Console(std::FILE *out = stdout, std::FILE *err = stderr);

    // Standard output, as given (a line end is not added) and flushed at once, so that a stream
    // (watch, decode) reaches a pipe line by line.
    void print(const QString &text);
    void printLine(const QString &line) { print(line + QLatin1Char('\n')); }
    void printTable(const Table &table);
    void printJson(const QJsonObject &object);

    // The command whose messages follow ("scan", "params backup").
    void setCommand(const QString &command) { m_command = command; }
    // "bmsctl <command>: <message>" on standard error: what went wrong ...
    void error(const QString &message);
    // ... or what a person should know besides the result (a summary of a stream).
    void note(const QString &message) { error(message); }

    // A progress line on standard error when it is a terminal; nothing otherwise.
    void progress(const QString &text);
    void endProgress();
    bool showsProgress() const { return m_errIsTerminal; }

private:
    void writeErr(const QString &text);

    std::FILE *m_out;
    std::FILE *m_err;
    bool m_errIsTerminal = false;
    int m_progressWidth = 0;
    QString m_command;
};
