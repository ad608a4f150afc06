#pragma once

#include <QtGlobal>

// Who put a frame on the bus, as far as the identifier tells: the frames the PC sends are the
// command requests (the host's address as source, see CommandProtocol) and the firmware
// upgrade's frames (see CanUpgrade); everything else comes from the batteries (broadcasts,
// replies, upgrade answers) or from other devices. One overlap is unavoidable: battery 0 answers
// the upgrade's steps 2 to 5 under the very identifiers the PC sends them with.
class FrameOrigin
{
public:
    static bool sentByHost(quint32 id, bool extended);
};
