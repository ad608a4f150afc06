#pragma once

#include "cli/command.h"

// bmsctl replay: a candump log back onto the bus, with its own timing.
class ReplayCommand : public Command
{
public:
    QStringList words() const override { return { QStringLiteral("replay") }; }
    QString summary() const override;
    int run(const QStringList &arguments, Console &console) override;
};
