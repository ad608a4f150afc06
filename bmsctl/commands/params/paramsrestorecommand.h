#pragma once

#include "cli/command.h"

// bmsctl params restore: a parameter file back into a battery, writing only what differs and
// reading every write back.
class ParamsRestoreCommand : public Command
{
public:
    QStringList words() const override
    {
        return { QStringLiteral("params"), QStringLiteral("restore") };
    }
    QString summary() const override;
    int run(const QStringList &arguments, Console &console) override;
};
