#pragma once

#include "cli/command.h"

// bmsctl params backup: a battery's parameters into a parameter file (ParameterFile).
class ParamsBackupCommand : public Command
{
public:
    QStringList words() const override
    {
        return { QStringLiteral("params"), QStringLiteral("backup") };
    }
    QString summary() const override;
    int run(const QStringList &arguments, Console &console) override;
};
