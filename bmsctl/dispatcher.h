#pragma once

#include "command.h"

#include <QStringList>

#include <memory>
#include <vector>

class Console;

// Picks the command from the first words of the command line and hands it the rest, with the
// bus options given before its words (`bmsctl --bus X scan`); answers `bmsctl`, `bmsctl --help`,
// `bmsctl --version` and `bmsctl params` (a group without its action) itself. A command joins
// by one line in the constructor; the overview is made from the commands there.
class Dispatcher
{
public:
    Dispatcher();
    ~Dispatcher();

    // The arguments after the program's name; returns the exit status.
    int run(const QStringList &arguments, Console &console);
    QString overview() const;

private:
    std::vector<std::unique_ptr<Command>> m_commands;
};
