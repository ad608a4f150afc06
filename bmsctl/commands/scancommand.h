#pragma once

#include "cli/command.h"

// bmsctl scan: listens to the bus for a while and reports every battery heard (identity, clock
// drift, life counter, the broadcast frame kinds it sends) and the bus load.
class ScanCommand : public Command
{
public:
    static constexpr int DefaultSeconds = 5;

    QStringList words() const override { return { QStringLiteral("scan") }; }
    QString summary() const override;
    int run(const QStringList &arguments, Console &console) override;
};
