#pragma once

#include "cli/command.h"

// bmsctl clock sync: sets batteries' clocks to the PC's time and reads them back.
class ClockSyncCommand : public Command
{
public:
    // A clock read back within this many seconds of the PC's counts as set: the battery keeps
    // whole seconds, and the read-back itself takes up to a reply wait.
    static constexpr int ToleranceSeconds = 2;

    QStringList words() const override
    {
        return { QStringLiteral("clock"), QStringLiteral("sync") };
    }
    QString summary() const override;
    int run(const QStringList &arguments, Console &console) override;
};
