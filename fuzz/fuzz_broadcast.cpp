// Broadcast frames as they come off the bus: 4 identifier bytes (big-endian), 1 length byte and
// up to 8 data bytes per frame, as many frames as the input holds.
#include "fuzztarget.h"

#include "signals/signalindex.h"
#include "signals/signalvalues.h"

#include <QtEndian>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    Fuzz::application();
    SignalValues store;
    std::size_t at = 0;
    while (at + 5 <= size) {
        const quint32 id = qFromBigEndian<quint32>(data + at);
        const std::size_t length = qMin<std::size_t>(data[at + 4] % 9, size - at - 5);
        const QByteArray payload(reinterpret_cast<const char *>(data + at + 5), int(length));
        at += 5 + length;
        store.OnNewCanFrame(ulong(id), payload, 0);
    }
    for (uchar devId : store.knownDevices()) {
        for (int index = 0; index <= Signal::Count; ++index)
            store.value(devId, index);
    }
    return 0;
}
