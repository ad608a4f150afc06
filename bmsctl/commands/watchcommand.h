#pragma once

#include "cli/command.h"

// bmsctl watch: the signal store's decoded values as a stream, a row per battery and interval.
class WatchCommand : public Command
{
public:
    static constexpr int DefaultIntervalMs = 1000;

    QStringList words() const override { return { QStringLiteral("watch") }; }
    QString summary() const override;
    int run(const QStringList &arguments, Console &console) override;

    // Shown when --signals is not given.
    static QStringList defaultSignals();
};
