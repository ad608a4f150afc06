#pragma once

#include "cli/command.h"

// bmsctl record: raw traffic into a candump log.
class RecordCommand : public Command
{
public:
    QStringList words() const override { return { QStringLiteral("record") }; }
    QString summary() const override;
    int run(const QStringList &arguments, Console &console) override;
};
