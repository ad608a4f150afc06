#include "fakecontrolcan.h"

#include <algorithm>
#include <cstring>
#include <deque>
#include <mutex>
#include <set>
#include <type_traits>
#include <vector>

// The exports must be callable through the pointer types the program's loader casts them to.
static_assert(std::is_same<decltype(&VCI_OpenDevice), VciOpenDeviceFn>::value, "VCI_OpenDevice");
static_assert(std::is_same<decltype(&VCI_CloseDevice), VciCloseDeviceFn>::value, "VCI_CloseDevice");
static_assert(std::is_same<decltype(&VCI_InitCAN), VciInitCanFn>::value, "VCI_InitCAN");
static_assert(
    std::is_same<decltype(&VCI_SetReference), VciSetReferenceFn>::value, "VCI_SetReference");
static_assert(std::is_same<decltype(&VCI_ClearBuffer), VciClearBufferFn>::value, "VCI_ClearBuffer");
static_assert(std::is_same<decltype(&VCI_StartCAN), VciStartCanFn>::value, "VCI_StartCAN");
static_assert(std::is_same<decltype(&VCI_Transmit), VciTransmitFn>::value, "VCI_Transmit");
static_assert(std::is_same<decltype(&VCI_Receive), VciReceiveFn>::value, "VCI_Receive");
#if !defined(FAKE_CONTROLCAN_OMIT_READ_ERR_INFO)
static_assert(std::is_same<decltype(&VCI_ReadErrInfo), VciReadErrInfoFn>::value, "VCI_ReadErrInfo");
#endif

namespace {

struct FailRange
{
    int function;
    int first;
    int count; // < 0: open-ended
};

struct FakeState
{
    std::mutex mutex;
    std::vector<FakeCall> calls;
    int callsPerFunction[FAKE_FUNCTION_COUNT] = {};
    std::vector<FailRange> failures;
    std::deque<VCI_CAN_OBJ> receiveQueue;
    std::vector<VCI_CAN_OBJ> transmitted;
    std::set<std::pair<std::uint32_t, std::uint32_t>> openDevices; // (type, index)
    std::uint32_t errorCode = 0;
    int errorTimes = 0;
    int errorRecordSize = 8;
};

// Never destroyed: the library may be called from threads that outlive static destruction.
FakeState &state()
{
    static FakeState *const instance = new FakeState;
    return *instance;
}

bool isValidFunction(int function)
{
    return function >= 0 && function < FAKE_FUNCTION_COUNT;
}

// Records a call (with the mutex held) and says whether it is one of those told to fail.
bool recordCall(FakeState &s, FakeCall &call)
{
    const int number = ++s.callsPerFunction[call.function];
    for (const FailRange &range : s.failures) {
        if (range.function == call.function && number >= range.first
            && (range.count < 0 || number < range.first + range.count))
            return true;
    }
    return false;
}

bool isOpen(const FakeState &s, std::uint32_t deviceType, std::uint32_t deviceIndex)
{
    return s.openDevices.count({ deviceType, deviceIndex }) != 0;
}

FakeCall makeCall(
    int function, std::uint32_t deviceType, std::uint32_t deviceIndex, std::uint32_t channel)
{
    FakeCall call;
    std::memset(&call, 0, sizeof call);
    call.function = function;
    call.deviceType = deviceType;
    call.deviceIndex = deviceIndex;
    call.channel = channel;
    return call;
}

std::uint32_t finish(FakeState &s, FakeCall &call, std::uint32_t result)
{
    call.result = result;
    s.calls.push_back(call);
    return result;
}

// The channel calls that need nothing but an open device.
std::uint32_t simpleCall(
    int function, std::uint32_t deviceType, std::uint32_t deviceIndex, std::uint32_t channel)
{
    FakeState &s = state();
    std::lock_guard<std::mutex> lock(s.mutex);
    FakeCall call = makeCall(function, deviceType, deviceIndex, channel);
    const bool fail = recordCall(s, call) || !isOpen(s, deviceType, deviceIndex);
    return finish(s, call, fail ? 0 : VCI_STATUS_OK);
}

} // namespace

extern "C" {

void fake_reset(void)
{
    FakeState &s = state();
    std::lock_guard<std::mutex> lock(s.mutex);
    s.calls.clear();
    std::fill(std::begin(s.callsPerFunction), std::end(s.callsPerFunction), 0);
    s.failures.clear();
    s.receiveQueue.clear();
    s.transmitted.clear();
    s.openDevices.clear();
    s.errorCode = 0;
    s.errorTimes = 0;
    s.errorRecordSize = 8;
}

int fake_calls(int function)
{
    if (!isValidFunction(function))
        return 0;
    FakeState &s = state();
    std::lock_guard<std::mutex> lock(s.mutex);
    return s.callsPerFunction[function];
}

int fake_call_count(void)
{
    FakeState &s = state();
    std::lock_guard<std::mutex> lock(s.mutex);
    return static_cast<int>(s.calls.size());
}

int fake_call(int position, FakeCall *call)
{
    FakeState &s = state();
    std::lock_guard<std::mutex> lock(s.mutex);
    if (!call || position < 0 || position >= static_cast<int>(s.calls.size()))
        return 0;
    *call = s.calls[static_cast<std::size_t>(position)];
    return 1;
}

int fake_last_call(int function, FakeCall *call)
{
    FakeState &s = state();
    std::lock_guard<std::mutex> lock(s.mutex);
    for (auto it = s.calls.rbegin(); it != s.calls.rend(); ++it) {
        if (it->function == function) {
            if (call)
                *call = *it;
            return 1;
        }
    }
    return 0;
}

void fake_fail(int function, int first, int count)
{
    if (!isValidFunction(function))
        return;
    FakeState &s = state();
    std::lock_guard<std::mutex> lock(s.mutex);
    s.failures.push_back({ function, first, count });
}

void fake_queue_receive(const VCI_CAN_OBJ *frames, std::uint32_t count)
{
    if (!frames)
        return;
    FakeState &s = state();
    std::lock_guard<std::mutex> lock(s.mutex);
    s.receiveQueue.insert(s.receiveQueue.end(), frames, frames + count);
}

int fake_pending_receive(void)
{
    FakeState &s = state();
    std::lock_guard<std::mutex> lock(s.mutex);
    return static_cast<int>(s.receiveQueue.size());
}

void fake_set_error(std::uint32_t code, int times)
{
    FakeState &s = state();
    std::lock_guard<std::mutex> lock(s.mutex);
    s.errorCode = code;
    s.errorTimes = times;
}

void fake_set_error_record_size(int bytes)
{
    FakeState &s = state();
    std::lock_guard<std::mutex> lock(s.mutex);
    s.errorRecordSize = bytes;
}

int fake_transmitted_count(void)
{
    FakeState &s = state();
    std::lock_guard<std::mutex> lock(s.mutex);
    return static_cast<int>(s.transmitted.size());
}

int fake_transmitted(int position, VCI_CAN_OBJ *frame)
{
    FakeState &s = state();
    std::lock_guard<std::mutex> lock(s.mutex);
    if (!frame || position < 0 || position >= static_cast<int>(s.transmitted.size()))
        return 0;
    *frame = s.transmitted[static_cast<std::size_t>(position)];
    return 1;
}

std::uint32_t CONTROLCAN_CALL VCI_OpenDevice(
    std::uint32_t deviceType, std::uint32_t deviceIndex, std::uint32_t reserved)
{
    FakeState &s = state();
    std::lock_guard<std::mutex> lock(s.mutex);
    FakeCall call = makeCall(FAKE_OPEN_DEVICE, deviceType, deviceIndex, 0);
    call.argument = reserved;
    if (recordCall(s, call))
        return finish(s, call, 0);
    s.openDevices.insert({ deviceType, deviceIndex });
    return finish(s, call, VCI_STATUS_OK);
}

std::uint32_t CONTROLCAN_CALL VCI_CloseDevice(std::uint32_t deviceType, std::uint32_t deviceIndex)
{
    FakeState &s = state();
    std::lock_guard<std::mutex> lock(s.mutex);
    FakeCall call = makeCall(FAKE_CLOSE_DEVICE, deviceType, deviceIndex, 0);
    if (recordCall(s, call) || !isOpen(s, deviceType, deviceIndex))
        return finish(s, call, 0);
    s.openDevices.erase({ deviceType, deviceIndex });
    return finish(s, call, VCI_STATUS_OK);
}

std::uint32_t CONTROLCAN_CALL VCI_InitCAN(std::uint32_t deviceType, std::uint32_t deviceIndex,
    std::uint32_t channel, VCI_INIT_CONFIG *config)
{
    FakeState &s = state();
    std::lock_guard<std::mutex> lock(s.mutex);
    FakeCall call = makeCall(FAKE_INIT_CAN, deviceType, deviceIndex, channel);
    if (config)
        call.config = *config;
    const bool fail = recordCall(s, call) || !config || !isOpen(s, deviceType, deviceIndex);
    return finish(s, call, fail ? 0 : VCI_STATUS_OK);
}

std::uint32_t CONTROLCAN_CALL VCI_SetReference(std::uint32_t deviceType, std::uint32_t deviceIndex,
    std::uint32_t channel, std::uint32_t referenceType, void *data)
{
    FakeState &s = state();
    std::lock_guard<std::mutex> lock(s.mutex);
    FakeCall call = makeCall(FAKE_SET_REFERENCE, deviceType, deviceIndex, channel);
    call.argument = referenceType;
    if (data)
        std::memcpy(&call.reference, data, sizeof call.reference);
    const bool fail = recordCall(s, call) || !data || !isOpen(s, deviceType, deviceIndex);
    return finish(s, call, fail ? 0 : VCI_STATUS_OK);
}

std::uint32_t CONTROLCAN_CALL VCI_ClearBuffer(
    std::uint32_t deviceType, std::uint32_t deviceIndex, std::uint32_t channel)
{
    return simpleCall(FAKE_CLEAR_BUFFER, deviceType, deviceIndex, channel);
}

std::uint32_t CONTROLCAN_CALL VCI_StartCAN(
    std::uint32_t deviceType, std::uint32_t deviceIndex, std::uint32_t channel)
{
    return simpleCall(FAKE_START_CAN, deviceType, deviceIndex, channel);
}

std::uint32_t CONTROLCAN_CALL VCI_Transmit(std::uint32_t deviceType, std::uint32_t deviceIndex,
    std::uint32_t channel, VCI_CAN_OBJ *frames, std::uint32_t count)
{
    FakeState &s = state();
    std::lock_guard<std::mutex> lock(s.mutex);
    FakeCall call = makeCall(FAKE_TRANSMIT, deviceType, deviceIndex, channel);
    call.argument = count;
    if (frames && count > 0)
        call.frame = frames[0];
    if (recordCall(s, call) || !frames || !isOpen(s, deviceType, deviceIndex))
        return finish(s, call, 0);
    s.transmitted.insert(s.transmitted.end(), frames, frames + count);
    return finish(s, call, count);
}

std::uint32_t CONTROLCAN_CALL VCI_Receive(std::uint32_t deviceType, std::uint32_t deviceIndex,
    std::uint32_t channel, VCI_CAN_OBJ *frames, std::uint32_t length, std::int32_t waitTime)
{
    FakeState &s = state();
    std::lock_guard<std::mutex> lock(s.mutex);
    FakeCall call = makeCall(FAKE_RECEIVE, deviceType, deviceIndex, channel);
    call.argument = length;
    call.waitTime = waitTime;
    if (recordCall(s, call) || !frames || !isOpen(s, deviceType, deviceIndex))
        return finish(s, call, VCI_RECEIVE_ERROR);
    std::uint32_t filled = 0;
    while (filled < length && !s.receiveQueue.empty()) {
        frames[filled++] = s.receiveQueue.front();
        s.receiveQueue.pop_front();
    }
    return finish(s, call, filled);
}

#if !defined(FAKE_CONTROLCAN_OMIT_READ_ERR_INFO)
std::uint32_t CONTROLCAN_CALL VCI_ReadErrInfo(std::uint32_t deviceType, std::uint32_t deviceIndex,
    std::uint32_t channel, VCI_ERR_INFO *errorInfo)
{
    FakeState &s = state();
    std::lock_guard<std::mutex> lock(s.mutex);
    FakeCall call = makeCall(FAKE_READ_ERR_INFO, deviceType, deviceIndex, channel);
    if (recordCall(s, call) || !errorInfo || !isOpen(s, deviceType, deviceIndex))
        return finish(s, call, 0);
    std::memset(errorInfo, 0, static_cast<std::size_t>(s.errorRecordSize));
    if (s.errorTimes != 0) {
        errorInfo->ErrCode = s.errorCode;
        if (s.errorTimes > 0)
            --s.errorTimes;
    }
    call.argument = errorInfo->ErrCode;
    return finish(s, call, VCI_STATUS_OK);
}
#endif
}
