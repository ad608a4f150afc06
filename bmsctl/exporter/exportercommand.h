#pragma once

#include "cli/command.h"

// bmsctl exporter: the bank's metrics served to Prometheus on /metrics, over the library's own
// HTTP server (prometheus-cpp), while it listens to the bus as bmsctl mqtt does. Read-only: it
// sends nothing on the bus, and serves nothing but the metrics.
class ExporterCommand : public Command
{
public:
    static constexpr const char *DefaultListen = "127.0.0.1:9769";

    QStringList words() const override { return { QStringLiteral("exporter") }; }
    QString summary() const override;
    int run(const QStringList &arguments, Console &console) override;
};
