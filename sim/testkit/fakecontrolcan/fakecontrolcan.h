#pragma once

// A stand-in for the adapter vendor's ControlCAN library, built by the test suite as
// "libControlCAN.so" ("ControlCAN.dll") beside the test executables that use it, so that the
// program's own loader finds and loads it exactly as it would the real one.
//
// It exports the nine VCI_ functions with the vendor's signatures (see can/controlcan/controlcan.h). They
// model only what the program relies on: VCI_OpenDevice opens a (type, index) pair and
// VCI_CloseDevice closes it; every other call fails on a pair that is not open, and otherwise
// succeeds unless told to fail. Every call is recorded with its arguments.
//
// The extra fake_ functions below steer and inspect it. Their state is one per process and
// shared by every handle to the library, so a test can load the same file by absolute path
// (FakeControlCanClient does that) and reach what the loader's handle sees. Reset it in each
// test's init(). All functions are thread-safe.
//
// A 32-bit Windows build would decorate the __stdcall names (_VCI_OpenDevice@12) and need a .def
// file to export them plainly, as the vendor's DLL does; 64-bit builds are unaffected.
//
// Built with FAKE_CONTROLCAN_OMIT_READ_ERR_INFO defined it lacks VCI_ReadErrInfo, to test the
// loader's refusal of an incomplete library.

#include "can/controlcan/controlcan.h"

#if defined(_WIN32)
#define FAKE_CONTROLCAN_EXPORT __declspec(dllexport)
#else
#define FAKE_CONTROLCAN_EXPORT __attribute__((visibility("default")))
#endif

extern "C" {

// Function numbers for fake_calls(), fake_fail() and FakeCall::function.
enum FakeFunction {
    FAKE_OPEN_DEVICE = 0,
    FAKE_CLOSE_DEVICE,
    FAKE_INIT_CAN,
    FAKE_SET_REFERENCE,
    FAKE_CLEAR_BUFFER,
    FAKE_START_CAN,
    FAKE_TRANSMIT,
    FAKE_RECEIVE,
    FAKE_READ_ERR_INFO,
    FAKE_FUNCTION_COUNT
};

// One recorded call. Fields a function does not take stay zero.
struct FakeCall
{
    int function;
    std::uint32_t deviceType;
    std::uint32_t deviceIndex;
    std::uint32_t channel;
    // VCI_OpenDevice: reserved; VCI_SetReference: reference type; VCI_Transmit: count;
    // VCI_Receive: length; VCI_ReadErrInfo: the error code it reported.
    std::uint32_t argument;
    std::int32_t waitTime; // VCI_Receive
    std::uint32_t reference; // VCI_SetReference: the 32-bit value its data pointer points at
    VCI_INIT_CONFIG config; // VCI_InitCAN: the record passed
    VCI_CAN_OBJ frame; // VCI_Transmit: the first frame passed
    std::uint32_t result; // what the fake returned
};

// Forgets every call, failure, queued frame and error code.
FAKE_CONTROLCAN_EXPORT void fake_reset(void);

// Calls of one function since the last reset.
FAKE_CONTROLCAN_EXPORT int fake_calls(int function);
// All calls since the last reset, in order; fake_call() copies the one at position (0-based)
// and returns 1, or returns 0 when there is none.
FAKE_CONTROLCAN_EXPORT int fake_call_count(void);
FAKE_CONTROLCAN_EXPORT int fake_call(int position, FakeCall *call);
// The most recent call of one function; 0 when it was not called.
FAKE_CONTROLCAN_EXPORT int fake_last_call(int function, FakeCall *call);

// Makes calls number first .. first + count - 1 of one function fail (numbered from 1 since
// the last reset); count < 0 makes every call from first on fail. A failing call returns 0
// (VCI_Receive: 0xFFFFFFFF) and does nothing else; it is still recorded. Later settings add to
// earlier ones.
FAKE_CONTROLCAN_EXPORT void fake_fail(int function, int first, int count);

// Frames for VCI_Receive to hand out, in order, as many per call as its length allows.
FAKE_CONTROLCAN_EXPORT void fake_queue_receive(const VCI_CAN_OBJ *frames, std::uint32_t count);
// Queued frames not yet handed out.
FAKE_CONTROLCAN_EXPORT int fake_pending_receive(void);

// VCI_ReadErrInfo reports code for its next `times` calls (times < 0: until changed), then 0.
FAKE_CONTROLCAN_EXPORT void fake_set_error(std::uint32_t code, int times);
// How many bytes VCI_ReadErrInfo fills in (8 after a reset, the record's own size); more plays
// a library whose record is larger than the program's.
FAKE_CONTROLCAN_EXPORT void fake_set_error_record_size(int bytes);

// Frames VCI_Transmit accepted since the last reset; fake_transmitted() copies the one at
// position (0-based) and returns 1, or returns 0 when there is none.
FAKE_CONTROLCAN_EXPORT int fake_transmitted_count(void);
FAKE_CONTROLCAN_EXPORT int fake_transmitted(int position, VCI_CAN_OBJ *frame);

// The vendor's nine entry points.
FAKE_CONTROLCAN_EXPORT std::uint32_t CONTROLCAN_CALL VCI_OpenDevice(
    std::uint32_t deviceType, std::uint32_t deviceIndex, std::uint32_t reserved);
FAKE_CONTROLCAN_EXPORT std::uint32_t CONTROLCAN_CALL VCI_CloseDevice(
    std::uint32_t deviceType, std::uint32_t deviceIndex);
FAKE_CONTROLCAN_EXPORT std::uint32_t CONTROLCAN_CALL VCI_InitCAN(std::uint32_t deviceType,
    std::uint32_t deviceIndex, std::uint32_t channel, VCI_INIT_CONFIG *config);
FAKE_CONTROLCAN_EXPORT std::uint32_t CONTROLCAN_CALL VCI_SetReference(std::uint32_t deviceType,
    std::uint32_t deviceIndex, std::uint32_t channel, std::uint32_t referenceType, void *data);
FAKE_CONTROLCAN_EXPORT std::uint32_t CONTROLCAN_CALL VCI_ClearBuffer(
    std::uint32_t deviceType, std::uint32_t deviceIndex, std::uint32_t channel);
FAKE_CONTROLCAN_EXPORT std::uint32_t CONTROLCAN_CALL VCI_StartCAN(
    std::uint32_t deviceType, std::uint32_t deviceIndex, std::uint32_t channel);
FAKE_CONTROLCAN_EXPORT std::uint32_t CONTROLCAN_CALL VCI_Transmit(std::uint32_t deviceType,
    std::uint32_t deviceIndex, std::uint32_t channel, VCI_CAN_OBJ *frames, std::uint32_t count);
FAKE_CONTROLCAN_EXPORT std::uint32_t CONTROLCAN_CALL VCI_Receive(std::uint32_t deviceType,
    std::uint32_t deviceIndex, std::uint32_t channel, VCI_CAN_OBJ *frames, std::uint32_t length,
    std::int32_t waitTime);
#if !defined(FAKE_CONTROLCAN_OMIT_READ_ERR_INFO)
FAKE_CONTROLCAN_EXPORT std::uint32_t CONTROLCAN_CALL VCI_ReadErrInfo(std::uint32_t deviceType,
    std::uint32_t deviceIndex, std::uint32_t channel, VCI_ERR_INFO *errorInfo);
#endif
}

// The control functions as pointers, for a test that reaches them through QLibrary.
extern "C" {
typedef void (*FakeResetFn)(void);
typedef int (*FakeCallsFn)(int function);
typedef int (*FakeCallCountFn)(void);
typedef int (*FakeCallFn)(int position, FakeCall *call);
typedef int (*FakeLastCallFn)(int function, FakeCall *call);
typedef void (*FakeFailFn)(int function, int first, int count);
typedef void (*FakeQueueReceiveFn)(const VCI_CAN_OBJ *frames, std::uint32_t count);
typedef int (*FakePendingReceiveFn)(void);
typedef void (*FakeSetErrorFn)(std::uint32_t code, int times);
typedef void (*FakeSetErrorRecordSizeFn)(int bytes);
typedef int (*FakeTransmittedCountFn)(void);
typedef int (*FakeTransmittedFn)(int position, VCI_CAN_OBJ *frame);
}
