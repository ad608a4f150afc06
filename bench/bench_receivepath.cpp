// The whole receive path at the adapter's ceiling: frames handed out by CanDevice's 5 ms poll in
// the CAN worker thread, carried over by the service's frame inbox to the signal store and the
// CAN service in the GUI thread.
//
// The adapter is a provider that always has a full buffer (100 frames per poll, 20,000 frames/s),
// the most the poll can ever deliver. The figures that matter are the GUI thread's: its CPU time
// per frame, what a full 250 kbit/s bus (1,908 extended 8-byte frames/s without stuffing) would
// cost it, and whether it keeps up with the poll's ceiling or falls behind.

#include "bustraffic.h"

#include "can/adaptertype.h"
#include "can/candevice.h"
#include "can/canservice.h"
#include "can/controlcan/controlcanapi.h"
#include "can/controlcan/controlcanbus.h"
#include "log/logger.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QMetaObject>

#include <atomic>
#include <cstdio>
#include <cstring>
#include <ctime>

namespace {

constexpr double FullBus250kFramesPerSecond = 1908.0;
constexpr int FramesPerPoll = CanDevice::ReceiveBufferFrames;
constexpr double PollCeilingFramesPerSecond = FramesPerPoll * 1000.0 / CanDevice::PollIntervalMs;
constexpr int SecondsOfTraffic = 5;
constexpr qint64 TotalFrames = qint64(PollCeilingFramesPerSecond) * SecondsOfTraffic;

double threadCpuSeconds()
{
    timespec now {};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return double(now.tv_sec) + double(now.tv_nsec) / 1e9;
}

// An adapter whose receive buffer is always full, until TotalFrames have been handed out. The
// poll after the last batch posts `finished` to the GUI thread: it queues behind the delivery
// of that batch, so it runs once the GUI thread has worked through all of them.
class FloodApi : public ControlCanApi
{
public:
    FloodApi(const QVector<BusTraffic::Frame> &traffic, QObject *guiContext,
        std::function<void()> finished)
        : m_guiContext(guiContext)
        , m_finished(std::move(finished))
    {
        for (const BusTraffic::Frame &frame : traffic) {
            VCI_CAN_OBJ record {};
            record.ID = quint32(frame.id);
            record.ExternFlag = 1;
            record.DataLen = 8;
            std::memcpy(record.Data, frame.payload.constData(), 8);
            m_records.push_back(record);
        }
    }

    std::uint32_t openDevice(std::uint32_t, std::uint32_t, std::uint32_t) override { return 1; }
    std::uint32_t closeDevice(std::uint32_t, std::uint32_t) override { return 1; }
    std::uint32_t initCan(std::uint32_t, std::uint32_t, std::uint32_t, VCI_INIT_CONFIG *) override
    {
        return 1;
    }
    std::uint32_t setReference(
        std::uint32_t, std::uint32_t, std::uint32_t, std::uint32_t, void *) override
    {
        return 1;
    }
    std::uint32_t clearBuffer(std::uint32_t, std::uint32_t, std::uint32_t) override { return 1; }
    std::uint32_t startCan(std::uint32_t, std::uint32_t, std::uint32_t) override { return 1; }
    std::uint32_t transmit(
        std::uint32_t, std::uint32_t, std::uint32_t, VCI_CAN_OBJ *, std::uint32_t count) override
    {
        return count;
    }
    std::uint32_t receive(std::uint32_t, std::uint32_t, std::uint32_t, VCI_CAN_OBJ *frames,
        std::uint32_t length, std::int32_t) override
    {
        if (m_handedOut >= TotalFrames) {
            if (!m_finishPosted) {
                m_finishPosted = true;
                QMetaObject::invokeMethod(m_guiContext, m_finished, Qt::QueuedConnection);
            }
            return 0;
        }
        if (m_handedOut == 0)
            m_firstPoll.start();
        const std::uint32_t count = std::min<std::uint32_t>(length, FramesPerPoll);
        for (std::uint32_t i = 0; i < count; ++i)
            frames[i] = m_records[size_t(m_next++ % m_records.size())];
        m_handedOut += count;
        if (m_handedOut >= TotalFrames)
            productionMs = m_firstPoll.elapsed();
        return count;
    }
    std::uint32_t readErrInfo(std::uint32_t, std::uint32_t, std::uint32_t, VCI_ERR_INFO *) override
    {
        return 1;
    }
    QString description() const override { return QStringLiteral("flood"); }

    std::atomic<qint64> productionMs { 0 };

private:
    std::vector<VCI_CAN_OBJ> m_records;
    QObject *m_guiContext;
    std::function<void()> m_finished;
    qint64 m_handedOut = 0;
    qint64 m_next = 0;
    bool m_finishPosted = false;
    QElapsedTimer m_firstPoll;
};

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    QsLogging::Logger::instance().setLoggingLevel(QsLogging::OffLevel);

    const QVector<BusTraffic::Frame> traffic = BusTraffic::busTraffic(*SignalValues::instance());
    QElapsedTimer wall;
    double cpuAtStart = 0;
    double guiCpuSeconds = 0;
    qint64 drainedMs = 0;
    auto api = std::make_shared<FloodApi>(traffic, &app, [&] {
        guiCpuSeconds = threadCpuSeconds() - cpuAtStart;
        drainedMs = wall.elapsed();
        app.quit();
    });

    // The service connects the adapter to the store and to itself exactly as in the program.
    auto *service = new CanService(new CanDevice(new ControlCanBus(api)));
    wall.start();
    cpuAtStart = threadCpuSeconds();
    if (service->initService(AdapterType::UsbCan2, 0, true, 0, 250) != 0) {
        std::fprintf(stderr, "bench_receivepath: the adapter did not open\n");
        return 1;
    }
    app.exec();

    const double cpuPerFrameUs = guiCpuSeconds * 1e6 / double(TotalFrames);
    const double shareAt250k = cpuPerFrameUs * FullBus250kFramesPerSecond / 1e6 * 100.0;
    const qint64 lagMs = drainedMs - api->productionMs.load();
    const bool keepsUp = guiCpuSeconds * 1000.0 < double(api->productionMs.load()) && lagMs < 100;

    std::printf(
        "Receive path, adapter poll -> frame inbox -> signal store + CAN service (GUI thread)\n");
    std::printf("  frames handed out by the poll:     %lld in %lld ms (ceiling %.0f frames/s)\n",
        static_cast<long long>(TotalFrames), static_cast<long long>(api->productionMs.load()),
        PollCeilingFramesPerSecond);
    std::printf("  GUI thread done with the last one: %lld ms after the first poll (lag %lld ms)\n",
        static_cast<long long>(drainedMs), static_cast<long long>(lagMs));
    std::printf("  GUI thread CPU time per frame:     %.2f us\n", cpuPerFrameUs);
    std::printf("  a full 250 kbit/s bus (%.0f frames/s) costs the GUI thread %.2f %% of a core "
                "(goal at most 1 %%)\n",
        FullBus250kFramesPerSecond, shareAt250k);
    std::printf(
        "  keeps up with the poll's ceiling:  %s (GUI CPU %.0f ms for %lld ms of traffic)\n",
        keepsUp ? "yes" : "NO", guiCpuSeconds * 1000.0,
        static_cast<long long>(api->productionMs.load()));
    std::fflush(stdout);
    // Like the program, the service and its worker thread are left to the end of the process.
    std::_Exit(0);
}
