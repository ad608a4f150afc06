#pragma once

#include "support/parameterset.h"
#include "support/simprocess.h"

#include "can/canbusconfig.h"
#include "can/candevice.h"
#include "can/canservice.h"
#include "can/qtcanbus/qtcanbus.h"
#include "log/debugoutputdestination.h"
#include "log/destinationfactory.h"
#include "log/logger.h"
#include "signals/signalindex.h"
#include "signals/signalvalues.h"
#include "upgrade/canupgrade.h"

#include <QDir>
#include <QFile>
#include <QtTest>

#include <memory>

// What every end-to-end test does first: the parameter set beside the executable, the
// simulator on the test's own bus, and the bus opened through the program's own service.
namespace E2e {

// USBCAN2 as the navigation bar would open it: device 0, extended ids, channel 0, 250 kbit/s.
inline int openBus(CanService &service)
{
    return service.initService(4, 0, true, 0, 250);
}

// The single service, with the program's CAN upgrade as start-up provides it.
inline int openBus()
{
    static const bool provided = [] {
        CanService::provideUpgradeSession(new CanUpgrade);
        return true;
    }();
    Q_UNUSED(provided)
    return openBus(*CanService::instance());
}

// Starts the simulator with these arguments and opens the bus; the stores then fill in.
// The program's log goes to standard error, so that ctest shows why a run failed.
inline bool startAndOpen(SimProcess &sim, const QStringList &arguments)
{
    QsLogging::Logger &logger = QsLogging::Logger::instance();
    logger.setLoggingLevel(QsLogging::InfoLevel);
    if (!logger.hasDestinationOfType(QsLogging::DebugOutputDestination::Type))
        logger.addDestination(QsLogging::DestinationFactory::MakeDebugOutputDestination());
    if (!ParameterSet::install(ParameterSet::shipped()))
        return false;
    if (!sim.start(arguments)) {
        qWarning("bms-sim did not start: %s", sim.output().constData());
        return false;
    }
    if (openBus() == 0)
        return true;
    // Qt's virtual bus never reports a connection that does not come about; a second attempt
    // tells a slow start of the bus from one that is not there.
    qWarning(
        "the bus did not open at the first attempt; simulator says: %s", sim.output().constData());
    return openBus() == 0;
}

// A CAN service of the test's own, opened on this simulator's bus, for tests that start a
// simulator per case (the single instance stays on the first bus it opened). It shares the
// single signal store; null when the bus does not open.
inline std::unique_ptr<CanService> serviceOn(SimProcess &sim)
{
    auto *bus = new QtCanBus(CanBusConfig(CanBusConfig::defaultPlugin(), sim.interfaceName()));
    std::unique_ptr<CanService> service(new CanService(new CanDevice(bus), new CanUpgrade));
    if (openBus(*service) != 0 && openBus(*service) != 0)
        return nullptr;
    return service;
}

inline bool waitForDevices(const QList<uchar> &devices, int timeoutMs = 10000)
{
    return QTest::qWaitFor(
        [&devices] {
            for (uchar devId : devices) {
                if (!SignalValues::instance()->knownDevices().contains(devId))
                    return false;
            }
            return true;
        },
        timeoutMs);
}

inline int status(int devId)
{
    return SignalValues::instance()->value(devId, Signal::SysStatus).toInt();
}

} // namespace E2e
