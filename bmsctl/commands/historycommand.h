#pragma once

#include "cli/command.h"

// bmsctl history: the batteries' history event logs into CSV files.
class HistoryCommand : public Command
{
public:
    QStringList words() const override { return { QStringLiteral("history") }; }
    QString summary() const override;
    int run(const QStringList &arguments, Console &console) override;
};
