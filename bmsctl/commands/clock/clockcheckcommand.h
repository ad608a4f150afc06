#pragma once

#include "cli/command.h"

// bmsctl clock check: how far each battery's clock is from the PC's.
class ClockCheckCommand : public Command
{
public:
    QStringList words() const override
    {
        return { QStringLiteral("clock"), QStringLiteral("check") };
    }
    QString summary() const override;
    int run(const QStringList &arguments, Console &console) override;
};
