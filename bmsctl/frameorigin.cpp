#include "frameorigin.h"

#include "can/canupgrade.h"
#include "can/commandcodec.h"

bool FrameOrigin::sentByHost(quint32 id, bool extended)
{
    if (!extended)
        return false;
    if (CommandCodec::isRequest(id))
        return true;
    for (quint32 upgradeId : { CanUpgrade::RequestBootId, CanUpgrade::InquireBootId,
             CanUpgrade::EraseFlashId, CanUpgrade::DataId, CanUpgrade::FinishId }) {
        if (id == upgradeId)
            return true;
    }
    return false;
}
