#include "frameorigin.h"

#include "can/canupgrade.h"
#include "can/commandprotocol.h"

bool FrameOrigin::sentByHost(quint32 id, bool extended)
{
    if (!extended)
        return false;
    // A request is the identifier the service builds from its own code and destination bytes.
    if (id == CommandProtocol::requestId(quint8(id >> 16), quint8(id >> 8)))
        return true;
    for (quint32 upgradeId : { CanUpgrade::RequestBootId, CanUpgrade::InquireBootId,
             CanUpgrade::EraseFlashId, CanUpgrade::DataId, CanUpgrade::FinishId }) {
        if (id == upgradeId)
            return true;
    }
    return false;
}
