#pragma once

#include <QString>
#include <QStringList>

class Console;

// One thing bmsctl does ("scan", "params backup"). The dispatcher picks it by its words and
// hands it the arguments that follow them; it parses them itself (its own --help included),
// prints its result as a Report and returns the exit status of its outcome (ExitStatus::of).
class Command
{
public:
    virtual ~Command() = default;

    // The words that select it: {"scan"} or {"params", "backup"}.
    virtual QStringList words() const = 0;
    // One line for the overview of `bmsctl --help`.
    virtual QString summary() const = 0;
    virtual int run(const QStringList &arguments, Console &console) = 0;

    QString name() const { return words().join(QLatin1Char(' ')); }
};
