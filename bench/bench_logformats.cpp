// Traffic logs in every format: the throughput of `bmsctl decode` and `bmsctl convert`, in
// frames a second, and the peak memory (resident set) of each run, on a log of a bank's
// broadcasts that this program writes first.
//
//   bench_logformats [FRAMES]   (default 2,000,000 frames, some 100 MB as a candump log; give
//                                22000000 for a candump log of about 1 GB)
//
// Per format: convert from the candump log into it (its writer), convert from it back into
// candump (its reader), and decode it (its reader and the signal store, output to /dev/null).
// A full 1 Mbit/s bus carries at most about 8,000 frames a second (extended, 8 bytes, stuff bits
// at their fewest), so 100 times that is 800,000 frames a second. bmsctl runs as its own process,
// each run timed by the wall clock and measured by wait4()'s peak resident set.

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QTemporaryDir>

#include <cstdio>
#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <vector>

extern char **environ;

namespace {

constexpr double FullBusFramesPerSecond = 8000.0;

struct Run
{
    bool ok = false;
    double seconds = 0;
    long peakKb = 0;
};

// bmsctl with these arguments, standard output to /dev/null.
Run runBmsctl(const QStringList &arguments)
{
    QList<QByteArray> storage { QByteArray(BMSCTL_PATH) };
    for (const QString &argument : arguments)
        storage.append(argument.toLocal8Bit());
    std::vector<char *> argv;
    for (QByteArray &argument : storage)
        argv.push_back(argument.data());
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    QElapsedTimer clock;
    clock.start();
    pid_t pid = 0;
    Run run;
    if (posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ) != 0)
        return run;
    int status = 0;
    struct rusage usage = {};
    wait4(pid, &status, 0, &usage);
    run.seconds = clock.nsecsElapsed() / 1e9;
    run.peakKb = usage.ru_maxrss;
    run.ok = WIFEXITED(status) && WEXITSTATUS(status) == 0;
    posix_spawn_file_actions_destroy(&actions);
    return run;
}

void print(const char *what, const char *format, qint64 frames, const Run &run, double candumpRate)
{
    const double rate = frames / run.seconds;
    std::printf("%-8s %-8s %8.2f s %12.0f frames/s %7.2f x candump %8.0f x full bus %8ld KiB%s\n",
        what, format, run.seconds, rate, candumpRate > 0 ? rate / candumpRate : 1.0,
        rate / FullBusFramesPerSecond, run.peakKb, run.ok ? "" : "  FAILED");
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    const qint64 frames = argc > 1 ? QByteArray(argv[1]).toLongLong() : 2000000;
    QTemporaryDir dir;
    const QString candump = dir.filePath(QStringLiteral("bank.log"));
    {
        // 28 batteries (devices 0 to 27), each frame 100 us after the one before.
        QFile log(candump);
        log.open(QIODevice::WriteOnly);
        QByteArray lines;
        for (qint64 i = 0; i < frames; ++i) {
            const qint64 timeUs = 1700000000000000 + i * 100;
            char line[64];
            lines += QByteArray(line,
                std::snprintf(line, sizeof line, "(%lld.%06lld) can0 %08X#0212%02XD03E8FA002\n",
                    timeUs / 1000000, timeUs % 1000000, unsigned(0x02008000 + i % 28),
                    unsigned(i % 256)));
            if (lines.size() > (1 << 20)) {
                log.write(lines);
                lines.clear();
            }
        }
        log.write(lines);
    }
    std::printf("%lld frames, the candump log %.0f MB\n", frames, QFileInfo(candump).size() / 1e6);

    double candumpDecode = 0;
    double candumpConvert = 0;
    const Run decode = runBmsctl({ QStringLiteral("decode"), candump });
    candumpDecode = frames / decode.seconds;
    print("decode", "candump", frames, decode, candumpDecode);
    const Run copy = runBmsctl({ QStringLiteral("convert"), candump,
        dir.filePath(QStringLiteral("copy.log")), QStringLiteral("--overwrite") });
    candumpConvert = frames / copy.seconds;
    print("convert", "candump", frames, copy, candumpConvert);
    QFile::remove(dir.filePath(QStringLiteral("copy.log")));

    for (const char *format : { "asc", "trc", "blf" }) {
        const QString file = dir.filePath(QStringLiteral("bank.") + QLatin1String(format));
        const Run to = runBmsctl({ QStringLiteral("convert"), candump, file });
        print("to", format, frames, to, candumpConvert);
        const Run from = runBmsctl({ QStringLiteral("convert"), file,
            dir.filePath(QStringLiteral("back.log")), QStringLiteral("--overwrite") });
        print("from", format, frames, from, candumpConvert);
        const Run decoded = runBmsctl({ QStringLiteral("decode"), file });
        print("decode", format, frames, decoded, candumpDecode);
        std::printf("         %s file: %.0f MB\n", format, QFileInfo(file).size() / 1e6);
        QFile::remove(file);
    }
    return 0;
}
