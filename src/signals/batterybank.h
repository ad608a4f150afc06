#pragma once

// The batteries of one bank share a CAN bus. Each is addressed by its device number, the low
// byte of every identifier it sends; the bank has room for DeviceCount of them, numbered 0 to
// MaxDeviceId, and frames from higher numbers belong to no battery. Everything that counts,
// checks or lists batteries (the signal store, the CAN service, the pages, the simulator and
// bmsctl) takes the numbers from here.
namespace BatteryBank {

constexpr int DeviceCount = 28;
constexpr int MaxDeviceId = DeviceCount - 1;

} // namespace BatteryBank
