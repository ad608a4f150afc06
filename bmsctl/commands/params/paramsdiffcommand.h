#pragma once

#include "cli/command.h"

// bmsctl params diff: what differs between two parameter files.
class ParamsDiffCommand : public Command
{
public:
    QStringList words() const override
    {
        return { QStringLiteral("params"), QStringLiteral("diff") };
    }
    QString summary() const override;
    int run(const QStringList &arguments, Console &console) override;
};
