#pragma once

#include <prometheus/collectable.h>
#include <prometheus/metric_family.h>

#include <QString>

#include <mutex>
#include <vector>

class BankModel;

// The bank's metrics for Prometheus, as the exporter serves them on /metrics: a snapshot that
// the main thread takes from the bank model (update()) and the library's HTTP threads hand out
// (Collect()), under a lock, so that a scrape never reads the signal store.
//
// Every battery judged gets bms_up (1 while its life counter moves, else 0); the others only the
// batteries online, so that a battery offline leaves no stale values in the store of series.
// Each series carries site and battery (the plain number); cells, sensors and relays are
// labelled too. The gateway's own: the frames heard and the bus load.
class BankMetrics : public prometheus::Collectable
{
public:
    explicit BankMetrics(const QString &site);

    // In the main thread. busLoad: the share of the bus's bit times frames took lately.
    void update(const BankModel &bank, double framesHeard, double busLoad);

    // In the library's threads.
    std::vector<prometheus::MetricFamily> Collect() const override;

private:
    std::string m_site;
    mutable std::mutex m_mutex;
    std::vector<prometheus::MetricFamily> m_snapshot;
};
