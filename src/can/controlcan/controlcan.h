#pragma once

// The adapter vendor's C interface, declared here from the record layouts and call signatures
// the program relies on; no vendor header is used. The library itself is loaded at run time
// (ControlCanLibrary) or replaced by a fake in tests, so nothing
// here is linked against.
//
// Every integer crossing the boundary is 32 bits wide on every platform (the vendor's DWORD and
// UINT), except VCI_Receive's wait time, which is a signed 32-bit int. Success is 1.

#include <cstddef>
#include <cstdint>

#if defined(_WIN32)
#define CONTROLCAN_CALL __stdcall
#else
#define CONTROLCAN_CALL
#endif

// Acceptance filter and bit timing for VCI_InitCAN. Timing0/Timing1 are the SJA1000-style bus
// timing registers used by USBCAN1/2; USBCAN_E/2E take their bit rate through VCI_SetReference
// and ignore them.
struct VCI_INIT_CONFIG
{
    std::uint32_t AccCode;
    std::uint32_t AccMask;
    std::uint32_t Reserved;
    std::uint8_t Filter;
    std::uint8_t Timing0;
    std::uint8_t Timing1;
    std::uint8_t Mode;
};

// One CAN frame, received or to be sent. TimeStamp is the adapter's clock; Data always has room
// for 8 bytes whatever DataLen says.
struct VCI_CAN_OBJ
{
    std::uint32_t ID;
    std::uint32_t TimeStamp;
    std::uint8_t TimeFlag;
    std::uint8_t SendType;
    std::uint8_t RemoteFlag;
    std::uint8_t ExternFlag;
    std::uint8_t DataLen;
    std::uint8_t Data[8];
    std::uint8_t Reserved[3];
};

// The adapter's error state; ErrCode 0 means no error. The program only reads ErrCode.
struct VCI_ERR_INFO
{
    std::uint32_t ErrCode;
    std::uint8_t Passive_ErrData[3];
    std::uint8_t ArLost_ErrData;
    // Not the vendor's: room for a library that fills in a larger record than the eight bytes
    // above, which would otherwise overwrite the caller's stack.
    std::uint8_t Spare[56];
};

// A mismatch here would corrupt memory inside the vendor library, so fail the build instead.
static_assert(sizeof(VCI_INIT_CONFIG) == 16, "VCI_INIT_CONFIG must match the vendor layout");
static_assert(
    offsetof(VCI_INIT_CONFIG, Filter) == 12, "VCI_INIT_CONFIG must match the vendor layout");
static_assert(sizeof(VCI_CAN_OBJ) == 24, "VCI_CAN_OBJ must match the vendor layout");
static_assert(offsetof(VCI_CAN_OBJ, DataLen) == 12, "VCI_CAN_OBJ must match the vendor layout");
static_assert(offsetof(VCI_CAN_OBJ, Data) == 13, "VCI_CAN_OBJ must match the vendor layout");
static_assert(
    offsetof(VCI_ERR_INFO, Passive_ErrData) == 4, "VCI_ERR_INFO must match the vendor layout");
static_assert(
    offsetof(VCI_ERR_INFO, ArLost_ErrData) == 7, "VCI_ERR_INFO must match the vendor layout");
static_assert(offsetof(VCI_ERR_INFO, Spare) == 8, "VCI_ERR_INFO must match the vendor layout");

// The nine entry points, in the vendor's argument order: device type, device index, then the
// channel where the call takes one.
extern "C" {
typedef std::uint32_t(CONTROLCAN_CALL *VciOpenDeviceFn)(
    std::uint32_t deviceType, std::uint32_t deviceIndex, std::uint32_t reserved);
typedef std::uint32_t(CONTROLCAN_CALL *VciCloseDeviceFn)(
    std::uint32_t deviceType, std::uint32_t deviceIndex);
typedef std::uint32_t(CONTROLCAN_CALL *VciInitCanFn)(std::uint32_t deviceType,
    std::uint32_t deviceIndex, std::uint32_t channel, VCI_INIT_CONFIG *config);
typedef std::uint32_t(CONTROLCAN_CALL *VciSetReferenceFn)(std::uint32_t deviceType,
    std::uint32_t deviceIndex, std::uint32_t channel, std::uint32_t referenceType, void *data);
typedef std::uint32_t(CONTROLCAN_CALL *VciClearBufferFn)(
    std::uint32_t deviceType, std::uint32_t deviceIndex, std::uint32_t channel);
typedef std::uint32_t(CONTROLCAN_CALL *VciStartCanFn)(
    std::uint32_t deviceType, std::uint32_t deviceIndex, std::uint32_t channel);
typedef std::uint32_t(CONTROLCAN_CALL *VciTransmitFn)(std::uint32_t deviceType,
    std::uint32_t deviceIndex, std::uint32_t channel, VCI_CAN_OBJ *frames, std::uint32_t count);
typedef std::uint32_t(CONTROLCAN_CALL *VciReceiveFn)(std::uint32_t deviceType,
    std::uint32_t deviceIndex, std::uint32_t channel, VCI_CAN_OBJ *frames, std::uint32_t length,
    std::int32_t waitTime);
typedef std::uint32_t(CONTROLCAN_CALL *VciReadErrInfoFn)(std::uint32_t deviceType,
    std::uint32_t deviceIndex, std::uint32_t channel, VCI_ERR_INFO *errorInfo);
}

// What every call returns on success.
constexpr std::uint32_t VCI_STATUS_OK = 1;
// What a failed VCI_Receive may return: the vendor signals errors as -1 in an unsigned result,
// which is why the receive count is read as signed.
constexpr std::uint32_t VCI_RECEIVE_ERROR = 0xFFFFFFFFu;
