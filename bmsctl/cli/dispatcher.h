#pragma once

#include "cli/command.h"

#include <QCommandLineOption>
#include <QList>
#include <QStringList>

#include <memory>
#include <vector>

class Console;

// Picks the command from the first words of the command line and hands it the rest, with the
// options given before its words that every command takes (the bus options: `bmsctl --bus X
// scan`); answers `bmsctl`, `bmsctl --help`, `bmsctl --version` and `bmsctl params` (a group
// without its action) itself. The overview is made from the commands it is given.
class Dispatcher
{
public:
    // commands: in the order the overview lists them; leadingOptions: those that may come
    // before the command's words.
    Dispatcher(std::vector<std::unique_ptr<Command>> commands,
        const QList<QCommandLineOption> &leadingOptions);
    ~Dispatcher();

    // The arguments after the program's name; returns the exit status.
    int run(const QStringList &arguments, Console &console);
    QString overview() const;

private:
    // How many arguments from `at` on make one of the leading options ("--bus X", "--bus=X",
    // "--verbose"); 0 when the argument there is none of them.
    int leadingOptionLengthAt(const QStringList &arguments, int at) const;

    std::vector<std::unique_ptr<Command>> m_commands;
    QList<QCommandLineOption> m_leadingOptions;
};
