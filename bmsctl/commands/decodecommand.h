#pragma once

#include "cli/command.h"

// bmsctl decode: a candump log decoded offline, signal by signal.
class DecodeCommand : public Command
{
public:
    QStringList words() const override { return { QStringLiteral("decode") }; }
    QString summary() const override;
    int run(const QStringList &arguments, Console &console) override;
};
