#include "sja1000timing.h"

namespace {

struct Entry
{
    int bitRateKbit;
    Sja1000Timing::Registers registers;
};

constexpr Entry Table[] = {
    { 5, { 0xBF, 0xFF } },
    { 10, { 0x31, 0x1C } },
    { 20, { 0x18, 0x1C } },
    { 40, { 0x87, 0xFF } },
    { 50, { 0x09, 0x1C } },
    { 80, { 0x83, 0xFF } },
    { 100, { 0x04, 0x1C } },
    { 125, { 0x03, 0x1C } },
    { 200, { 0x81, 0xFA } },
    { 250, { 0x01, 0x1C } },
    { 400, { 0x80, 0xFA } },
    { 500, { 0x00, 0x1C } },
    { 666, { 0x80, 0xB6 } },
    { 800, { 0x00, 0x16 } },
    { 1000, { 0x00, 0x14 } },
};

} // namespace

std::optional<Sja1000Timing::Registers> Sja1000Timing::find(int bitRateKbit)
{
    for (const Entry &entry : Table) {
        if (entry.bitRateKbit == bitRateKbit)
            return entry.registers;
    }
    return std::nullopt;
}

int Sja1000Timing::bitRateOf(Registers registers)
{
    const int prescaler = 2 * ((registers.btr0 & 0x3F) + 1);
    const int quanta = 1 + (registers.btr1 & 0x0F) + 1 + ((registers.btr1 >> 4) & 0x07) + 1;
    return ClockHz / (prescaler * quanta) / 1000;
}
