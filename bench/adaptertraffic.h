#pragma once

#include "simoptions.h"

#include <QObject>
#include <QString>

#include <memory>

class FakeControlCanClient;

// 28 simulated batteries broadcasting into the fake vendor library's receive queue, as an
// adapter's driver buffers a real bus's frames between two polls: the CPU benchmark's adapter
// case, where no socket wakes the program when a frame arrives. Lives in a thread of its own
// (named AdapterTraffic, so the benchmark can leave it out of the program's figure); start()
// runs there.
class AdapterTraffic : public QObject
{
    Q_OBJECT

public:
    // library: the fake libControlCAN the program loaded, by absolute path.
    explicit AdapterTraffic(const QString &library, QObject *parent = nullptr);
    ~AdapterTraffic() override;

    bool isReady() const;
    QString errorString() const;

public slots:
    void start();

private:
    std::unique_ptr<FakeControlCanClient> m_fake;
    // The batteries play with the simulator's defaults and keep a reference to them.
    SimOptions m_options;
};
