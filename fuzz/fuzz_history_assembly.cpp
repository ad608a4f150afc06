// Frames of a history read-out as they come off the bus, into the CAN service's assembly of
// 78-byte records (HistoryAssembler): 9 bytes a frame, the first choosing the sender (low 5 bits: device number
// 0 to 31, so numbers above 27 come too) and, now and then, another reply code than the
// transfer's (top 3 bits), then the 8 data bytes. Every battery's transfer is started first and
// its read-out closed at the end, as the history page does.
#include "fuzztarget.h"

#include "can/candevice.h"
#include "can/canservice.h"
#include "can/commandprotocol.h"
#include "signals/batterybank.h"

#include <QtEndian>

namespace {

constexpr int FrameBytes = 9;
constexpr quint8 OtherCodes[] = { CommandProtocol::HistoryCount, CommandProtocol::ReadVersion,
    CommandProtocol::ReadParameter, CommandProtocol::ReadTime, 0x46, 0x01, 0x45 };

CanService &service()
{
    // The adapter is never opened: what the service sends is dropped.
    static CanService *const created = new CanService(new CanDevice);
    return *created;
}

int records = 0;
int incomplete = 0;

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    Fuzz::application();
    CanService &canService = service();
    static const bool connected = [&canService] {
        QObject::connect(&canService, &CanService::newData, [](uchar slave, QByteArray record) {
            if (slave >= BatteryBank::DeviceCount
                || record.size() != CommandProtocol::HistoryRecordSize)
                __builtin_trap();
            ++records;
        });
        QObject::connect(&canService, &CanService::incompleteHistoryRecord,
            [](uchar slave, QByteArray record, quint16 missing) {
                if (slave >= BatteryBank::DeviceCount
                    || record.size() != CommandProtocol::HistoryRecordSize || missing == 0
                    || missing > 0x0FFF)
                    __builtin_trap();
                ++incomplete;
            });
        return true;
    }();
    Q_UNUSED(connected)

    for (uchar devId = 0; devId < BatteryBank::DeviceCount; ++devId)
        canService.startHistoryEventTransfer(devId);
    records = 0;
    incomplete = 0;
    int frames = 0;
    for (std::size_t at = 0; at + FrameBytes <= size; at += FrameBytes) {
        const quint8 selector = data[at];
        const quint8 devId = selector & 0x1F;
        const int other = selector >> 5;
        const quint8 code
            = other < 7 ? quint8(CommandProtocol::HistoryTransfer) : OtherCodes[data[at + 1] % 7];
        const QByteArray payload(reinterpret_cast<const char *>(data + at + 1), 8);
        canService.OnNewCanFrame(ulong(CommandProtocol::replyId(code, devId)), payload, 0);
        ++frames;
    }
    for (uchar devId = 0; devId < BatteryBank::DeviceCount; ++devId)
        canService.closeHistoryRecord(devId);

    // Twelve frames a record at most, and no record kept once every read-out is closed: closing
    // again finds nothing to report.
    if ((records + incomplete) > frames)
        __builtin_trap();
    const int reported = incomplete;
    for (uchar devId = 0; devId < BatteryBank::DeviceCount; ++devId)
        canService.closeHistoryRecord(devId);
    if (incomplete != reported)
        __builtin_trap();
    return 0;
}
