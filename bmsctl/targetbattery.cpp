#include "targetbattery.h"

#include "bussession.h"
#include "console.h"
#include "interruption.h"

bool TargetBattery::reach(
    BusSession &session, int devId, Console &console, BatteryIdentity *identity)
{
    console.progress(QStringLiteral("looking for battery %1").arg(devId));
    if (!session.waitForBattery(devId)) {
        if (Interruption::requested()) {
            console.error(
                QStringLiteral("interrupted while looking for battery %1; nothing written")
                    .arg(devId));
            return false;
        }
        console.error(QStringLiteral("battery %1 is not on the bus (heard in %2 s: %3)")
                          .arg(devId)
                          .arg(BusSession::DiscoveryMs / 1000)
                          .arg(session.heardList()));
        return false;
    }
    *identity = BatteryIdentity::read(session.service(), devId);
    if (identity->serialResult != 0) {
        console.error(QStringLiteral("battery %1 is on the bus but does not answer (offline?): no "
                                     "reply to the serial code request")
                          .arg(devId));
        return false;
    }
    return true;
}
