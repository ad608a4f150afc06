#pragma once

#include "cli/command.h"

// bmsctl convert: a traffic log into another format, frame by frame.
class ConvertCommand : public Command
{
public:
    QStringList words() const override { return { QStringLiteral("convert") }; }
    QString summary() const override;
    int run(const QStringList &arguments, Console &console) override;
};
