#pragma once

#include <QtGlobal>

#include <optional>

// The bus timing registers BTR0 and BTR1 of the SJA1000 CAN controller with its usual 16 MHz
// clock, by bit rate. The vendor's USBCAN1/2 take them in their init record, and serial-line
// adapters in the s command for a rate that has no S code.
//
// BTR0: synchronisation jump width (bits 7-6) and baud-rate prescaler BRP (bits 5-0); BTR1:
// sampling (bit 7), TSEG2 (bits 6-4) and TSEG1 (bits 3-0). One bit lasts
// (1 + TSEG1+1 + TSEG2+1) time quanta of 2 (BRP+1) clock periods.
class Sja1000Timing
{
public:
    struct Registers
    {
        quint8 btr0;
        quint8 btr1;
    };
    static constexpr int ClockHz = 16000000;

    // The registers for a bit rate in kbit/s, of the rates the program offers (5, 10, 20, 40,
    // 50, 80, 100, 125, 200, 250, 400, 500, 666, 800, 1000); none for another.
    static std::optional<Registers> find(int bitRateKbit);
    // The bit rate the registers give, kbit/s rounded down; 0 for nonsense.
    static int bitRateOf(Registers registers);
};
