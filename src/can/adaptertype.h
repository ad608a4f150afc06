#pragma once

#include <array>

// The USB-CAN adapters the program drives, by the device-type code the vendor's ControlCAN
// functions take as their first argument. USBCAN1 and USBCAN2 take their bit rate as timing
// registers in the init record, USBCAN_E and USBCAN_2E through a reference value (ControlCanBus).
namespace AdapterType {

enum Code : int {
    UsbCan1 = 3,
    UsbCan2 = 4,
    UsbCanE = 20,
    UsbCan2E = 21,
};

struct Entry
{
    Code code;
    const char *name; // as the navigation bar lists it
};

// In the order the navigation bar offers them.
constexpr std::array<Entry, 4> All { {
    { UsbCan1, "USBCAN1" },
    { UsbCan2, "USBCAN2" },
    { UsbCanE, "USBCAN_E" },
    { UsbCan2E, "USBCAN_2E" },
} };

// The one selected at start, and what an unknown choice falls back to.
constexpr Code Default = UsbCan2;

} // namespace AdapterType
