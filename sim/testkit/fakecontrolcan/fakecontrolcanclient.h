#pragma once

#include "fakecontrolcan.h"

#include "can/canframe.h"

#include <QList>

#include <QLibrary>
#include <QString>

#include <cstring>
#include <vector>

// The test's side of the fake vendor library: loads the same file the program's loader loads
// (by absolute path, so both handles share the fake's one state) and resolves the fake_
// control functions documented in fakecontrolcan.h.
class FakeControlCanClient
{
public:
    explicit FakeControlCanClient(const QString &path)
        : m_library(path)
    {
        if (!m_library.load()) {
            m_errorString = m_library.errorString();
            return;
        }
        const bool complete = resolve("fake_reset", m_reset) && resolve("fake_calls", m_calls)
            && resolve("fake_call_count", m_callCount) && resolve("fake_call", m_call)
            && resolve("fake_last_call", m_lastCall) && resolve("fake_fail", m_fail)
            && resolve("fake_queue_receive", m_queueReceive)
            && resolve("fake_pending_receive", m_pendingReceive)
            && resolve("fake_set_error", m_setError)
            && resolve("fake_set_error_record_size", m_setErrorRecordSize)
            && resolve("fake_transmitted_count", m_transmittedCount)
            && resolve("fake_transmitted", m_transmitted);
        if (!complete)
            m_errorString = m_library.errorString();
        m_loaded = complete;
    }

    bool isLoaded() const { return m_loaded; }
    QString errorString() const { return m_errorString; }
    QString fileName() const { return m_library.fileName(); }

    void reset() { m_reset(); }
    int calls(FakeFunction function) const { return m_calls(function); }
    std::vector<FakeCall> allCalls() const
    {
        std::vector<FakeCall> result(static_cast<std::size_t>(m_callCount()));
        for (std::size_t i = 0; i < result.size(); ++i)
            m_call(static_cast<int>(i), &result[i]);
        return result;
    }
    // The functions called, in order, leaving out the poll's VCI_Receive and VCI_ReadErrInfo.
    std::vector<int> callSequenceWithoutPolling() const
    {
        std::vector<int> sequence;
        for (const FakeCall &call : allCalls()) {
            if (call.function != FAKE_RECEIVE && call.function != FAKE_READ_ERR_INFO)
                sequence.push_back(call.function);
        }
        return sequence;
    }
    bool lastCall(FakeFunction function, FakeCall *call) const
    {
        return m_lastCall(function, call) != 0;
    }
    void fail(FakeFunction function, int first, int count) { m_fail(function, first, count); }
    void failNext(FakeFunction function, int count = 1)
    {
        m_fail(function, calls(function) + 1, count);
    }
    void queueReceive(const VCI_CAN_OBJ &frame) { m_queueReceive(&frame, 1); }
    void queueReceive(const std::vector<VCI_CAN_OBJ> &frames)
    {
        m_queueReceive(frames.data(), static_cast<std::uint32_t>(frames.size()));
    }
    int pendingReceive() const { return m_pendingReceive(); }
    void setError(std::uint32_t code, int times) { m_setError(code, times); }
    void setErrorRecordSize(int bytes) { m_setErrorRecordSize(bytes); }
    int transmittedCount() const { return m_transmittedCount(); }
    VCI_CAN_OBJ transmitted(int position) const
    {
        VCI_CAN_OBJ frame {};
        m_transmitted(position, &frame);
        return frame;
    }

    // The same in the program's own frame type, for the tests above the vendor's adapters: a
    // received frame with its length and data as given, a transmitted one as sent.
    void queueReceive(const CanFrame &frame)
    {
        VCI_CAN_OBJ record {};
        record.ID = frame.id;
        record.ExternFlag = frame.extended ? 1 : 0;
        record.RemoteFlag = frame.remote ? 1 : 0;
        record.DataLen = static_cast<std::uint8_t>(qMin(frame.data.size(), 8));
        std::memcpy(record.Data, frame.data.constData(), record.DataLen);
        queueReceive(record);
    }
    void queueReceive(const QList<CanFrame> &frames)
    {
        for (const CanFrame &frame : frames)
            queueReceive(frame);
    }
    CanFrame transmittedFrame(int position) const
    {
        const VCI_CAN_OBJ record = transmitted(position);
        CanFrame frame;
        frame.id = record.ID;
        frame.extended = record.ExternFlag != 0;
        frame.remote = record.RemoteFlag != 0;
        frame.data
            = QByteArray(reinterpret_cast<const char *>(record.Data), qMin<int>(record.DataLen, 8));
        return frame;
    }

private:
    template <typename Function> bool resolve(const char *name, Function &function)
    {
        function = reinterpret_cast<Function>(m_library.resolve(name));
        return function != nullptr;
    }

    QLibrary m_library;
    QString m_errorString;
    bool m_loaded = false;
    FakeResetFn m_reset = nullptr;
    FakeCallsFn m_calls = nullptr;
    FakeCallCountFn m_callCount = nullptr;
    FakeCallFn m_call = nullptr;
    FakeLastCallFn m_lastCall = nullptr;
    FakeFailFn m_fail = nullptr;
    FakeQueueReceiveFn m_queueReceive = nullptr;
    FakePendingReceiveFn m_pendingReceive = nullptr;
    FakeSetErrorFn m_setError = nullptr;
    FakeSetErrorRecordSizeFn m_setErrorRecordSize = nullptr;
    FakeTransmittedCountFn m_transmittedCount = nullptr;
    FakeTransmittedFn m_transmitted = nullptr;
};
