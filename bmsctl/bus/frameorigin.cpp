#include "frameorigin.h"

#include "can/commandcodec.h"
#include "upgrade/canbootframe.h"

bool FrameOrigin::sentByHost(quint32 id, bool extended)
{
    if (!extended)
        return false;
    return CommandCodec::isRequest(id) || CanBootFrame::isHostFrame(id);
}
