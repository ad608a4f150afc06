#pragma once

#include <QCommandLineOption>
#include <QCommandLineParser>
#include <QString>
#include <QStringList>

class Console;

// A command's own command line: its options and positional arguments, its --help, and the
// verdict on what was given. Wraps QCommandLineParser without letting it end the process: help
// goes to standard output with status 0, a bad command line to standard error with status 2.
class CommandParser
{
public:
    // name: the command's words ("params backup"); description: what --help says first.
    CommandParser(const QString &name, const QString &description);

    void addOption(const QCommandLineOption &option);
    void addPositional(const QString &name, const QString &description, const QString &syntax);
    // How many positional arguments are needed and allowed.
    void setPositionalCount(int minimum, int maximum);

    // Parses the arguments that follow the command's words. Returns -1 when the command is to
    // run; otherwise the exit status to end with (help printed: 0; a fault printed: 2).
    int parse(const QStringList &arguments, Console &console);

    const QCommandLineParser &parser() const { return m_parser; }
    bool isSet(const QCommandLineOption &option) const { return m_parser.isSet(option); }
    QString value(const QCommandLineOption &option) const { return m_parser.value(option); }
    QStringList positional() const { return m_parser.positionalArguments(); }

    // Prints "<message>; see bmsctl <name> --help" and returns the usage status, for faults
    // found after parse() (a value that does not make sense).
    int usageError(Console &console, const QString &message) const;
    QString helpText() const;

private:
    QString m_name;
    QCommandLineParser m_parser;
    QCommandLineOption m_help;
    int m_minimumPositional = 0;
    int m_maximumPositional = 0;
};
