#pragma once

#include "cli/command.h"

// bmsctl dbc export: the signal catalogue as a DBC file (DbcWriter).
class DbcExportCommand : public Command
{
public:
    QStringList words() const override
    {
        return { QStringLiteral("dbc"), QStringLiteral("export") };
    }
    QString summary() const override;
    int run(const QStringList &arguments, Console &console) override;
};
