#include "simoptions.h"

#include "slcanadapter.h"

#include "optionreaders.h"

#include "can/canbusconfig.h"
#include "signals/batterybank.h"
#include "signals/signalindex.h"

#include <QCommandLineParser>
#include <QCoreApplication>

#include <limits>

const QStringList SimOptions::BootSteps { QStringLiteral("request"), QStringLiteral("inquire"),
    QStringLiteral("erase"), QStringLiteral("data"), QStringLiteral("finish"),
    QStringLiteral("version"), QStringLiteral("prepare"), QStringLiteral("start"),
    QStringLiteral("end"), QStringLiteral("crc") };

bool SimOptions::parse(const QCoreApplication &app, SimOptions *options, QString *error)
{
    return parseArguments(app.arguments(), options, error);
}

bool SimOptions::parseArguments(const QStringList &arguments, SimOptions *options, QString *error)
{
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "Plays battery management systems on a CAN bus: broadcasts their live values and answers "
        "the host's commands."));
    parser.addHelpOption();
    const QCommandLineOption plugin(QStringLiteral("plugin"),
        QStringLiteral(
            "QtSerialBus plugin (default: canbus.ini beside the program, else virtualcan)."),
        QStringLiteral("name"));
    const QCommandLineOption interfaceName(QStringLiteral("interface"),
        QStringLiteral("Bus interface, e.g. can0 or tcp://127.0.0.1:24500/can0."),
        QStringLiteral("name"));
    const QCommandLineOption packs(QStringLiteral("packs"),
        QStringLiteral("Device numbers of the batteries to play (default 1,2,3,12)."),
        QStringLiteral("list"), QStringLiteral("1,2,3,12"));
    const QCommandLineOption speed(QStringLiteral("speed"),
        QStringLiteral("Simulated seconds per real second for charge and discharge (default 30)."),
        QStringLiteral("factor"), QStringLiteral("30"));
    const QCommandLineOption seed(QStringLiteral("seed"),
        QStringLiteral("Random seed (default 1)."), QStringLiteral("n"), QStringLiteral("1"));
    const QCommandLineOption faultPacks(QStringLiteral("fault-packs"),
        QStringLiteral("Inject the faults below into these batteries only (default: all)."),
        QStringLiteral("list"));
    const QCommandLineOption dropReplies(QStringLiteral("drop-replies"),
        QStringLiteral("Share of replies never sent, 0 to 1."), QStringLiteral("share"));
    const QCommandLineOption replyDelay(QStringLiteral("reply-delay"),
        QStringLiteral("Send every reply this many milliseconds late."), QStringLiteral("ms"));
    const QCommandLineOption badCrc(QStringLiteral("bad-crc"),
        QStringLiteral("Share of history records sent with a wrong CRC, 0 to 1."),
        QStringLiteral("share"));
    const QCommandLineOption freezeLife(QStringLiteral("freeze-life"),
        QStringLiteral("Never move the life counter (the host then judges the battery offline)."));
    const QCommandLineOption silentAfter(QStringLiteral("silent-after"),
        QStringLiteral("Go silent this many seconds after start ..."), QStringLiteral("s"));
    const QCommandLineOption silentFor(QStringLiteral("silent-for"),
        QStringLiteral("... for this many seconds (default: for good)."), QStringLiteral("s"));
    const QCommandLineOption force(QStringLiteral("force"),
        QStringLiteral("Broadcast signals with fixed values, e.g. 35=1,16=2 (signal index=value)."),
        QStringLiteral("list"));
    const QCommandLineOption verbose(QStringLiteral("verbose"),
        QStringLiteral("Print every request received and every reply sent (of the upgrade's "
                       "image data, only refusals), and the bus's load every second."));
    const QCommandLineOption bitRate(QStringLiteral("bitrate"),
        QStringLiteral("The bus's bit rate (default 250000). Frames wait in their sender's "
                       "transmit queue, the lowest identifier goes first; a frame that finds its "
                       "queue full is dropped and counted."),
        QStringLiteral("bit/s"), QStringLiteral("250000"));
    const QCommandLineOption hostQueue(QStringLiteral("host-queue"),
        QStringLiteral("Frames the host's adapter queues for the bus (default %1).")
            .arg(options->hostQueue),
        QStringLiteral("frames"));
    const QCommandLineOption batteryQueue(QStringLiteral("battery-queue"),
        QStringLiteral("Frames each battery queues for the bus (default %1).")
            .arg(options->batteryQueue),
        QStringLiteral("frames"));
    const QCommandLineOption bootVersion(QStringLiteral("boot-version"),
        QStringLiteral("What the boot loaders answer as their version (default ZK100)."),
        QStringLiteral("text"), QStringLiteral("ZK100"));
    const QCommandLineOption uart(QStringLiteral("uart"),
        QStringLiteral("Also play the first battery's serial boot loader on a pseudo-terminal "
                       "(its path is printed)."));
    const QCommandLineOption bootRefuse(QStringLiteral("boot-refuse"),
        QStringLiteral("The boot loader refuses this step: %1.")
            .arg(BootSteps.join(QStringLiteral(", "))),
        QStringLiteral("step"));
    const QCommandLineOption bootSilent(
        QStringLiteral("boot-silent"), QStringLiteral("The boot loader never answers."));
    const QCommandLineOption bootCorrupt(QStringLiteral("boot-corrupt"),
        QStringLiteral("The boot loader answers with wrong bytes."));
    const QCommandLineOption bootIgnoreRequests(QStringLiteral("boot-ignore-requests"),
        QStringLiteral("The boot loader ignores the first n boot requests."), QStringLiteral("n"));
    const QCommandLineOption uartGarbage(QStringLiteral("uart-garbage"),
        QStringLiteral("Noise on the serial line before every reply."));
    const QCommandLineOption uartSplit(QStringLiteral("uart-split"),
        QStringLiteral("Every serial reply split over several writes."));
    const QCommandLineOption uartHangUpAt(QStringLiteral("uart-hangup-at"),
        QStringLiteral("The serial line goes dead (the pseudo-terminal closes) when this block "
                       "of the image arrives, 1 for the start frame."),
        QStringLiteral("block"));
    const QCommandLineOption slcan(QStringLiteral("slcan"),
        QStringLiteral("Play the bank behind a serial-line (slcan) CAN adapter on a "
                       "pseudo-terminal (its path is printed) instead of joining a bus."));
    const QCommandLineOption slcanFault(QStringLiteral("slcan-fault"),
        QStringLiteral("The slcan adapter misbehaves: %1.")
            .arg(SlcanAdapter::Faults.join(QStringLiteral(", "))),
        QStringLiteral("fault"));
    parser.addOptions({ plugin, interfaceName, packs, speed, seed, faultPacks, dropReplies,
        replyDelay, badCrc, freezeLife, silentAfter, silentFor, force, verbose, bitRate, hostQueue,
        batteryQueue, bootVersion, uart, bootRefuse, bootSilent, bootCorrupt, bootIgnoreRequests,
        uartGarbage, uartSplit, uartHangUpAt, slcan, slcanFault });
    parser.addOptions(HistoryOptions::commandLineOptions());
    parser.addOptions(BusFaults::commandLineOptions());
    parser.process(arguments);

    const CanBusConfig config = CanBusConfig::besideExecutable();
    options->plugin = parser.isSet(plugin) ? parser.value(plugin) : config.plugin();
    options->interfaceName
        = parser.isSet(interfaceName) ? parser.value(interfaceName) : config.interfaceName();
    using namespace OptionReaders;
    if (!readIdList(parser.value(packs), 0, BatteryBank::MaxDeviceId, &options->packs, error))
        return false;
    if (options->packs.isEmpty()) {
        *error = QStringLiteral("no battery to play");
        return false;
    }
    options->speed = parser.value(speed).toDouble();
    if (options->speed <= 0.0) {
        *error = QStringLiteral("the speed must be above 0");
        return false;
    }
    options->seed = parser.value(seed).toUInt();
    options->verbose = parser.isSet(verbose);
    if (!readInt(parser, bitRate.names().constFirst(), 1000, 1000000,
            QStringLiteral("1000 to 1000000 bit/s"), &options->bitRate, error))
        return false;
    const QString queueDepth = QStringLiteral("1 to 100000 frames");
    if (!readInt(parser, hostQueue.names().constFirst(), 1, 100000, queueDepth, &options->hostQueue,
            error)
        || !readInt(parser, batteryQueue.names().constFirst(), 1, 100000, queueDepth,
            &options->batteryQueue, error))
        return false;
    options->freezeLife = parser.isSet(freezeLife);
    if (parser.isSet(faultPacks)
        && !readIdList(
            parser.value(faultPacks), 0, BatteryBank::MaxDeviceId, &options->faultPacks, error))
        return false;
    const QString share = QStringLiteral("a share from 0 to 1");
    if (!readDouble(
            parser, dropReplies.names().constFirst(), 0.0, 1.0, share, &options->dropReplies, error)
        || !readDouble(
            parser, badCrc.names().constFirst(), 0.0, 1.0, share, &options->badCrc, error))
        return false;
    if (parser.isSet(replyDelay))
        options->replyDelayMs = qMax(0, parser.value(replyDelay).toInt());
    if (parser.isSet(silentAfter)) {
        options->silentAfterS = parser.value(silentAfter).toDouble();
        options->silentForS = parser.isSet(silentFor) ? parser.value(silentFor).toDouble() : 1e12;
    }
    options->bootVersion = parser.value(bootVersion).toLatin1();
    options->uart = parser.isSet(uart);
    options->bootRefuse = parser.value(bootRefuse);
    if (parser.isSet(bootRefuse) && !BootSteps.contains(options->bootRefuse)) {
        *error = QStringLiteral("--boot-refuse takes one of %1: %2")
                     .arg(BootSteps.join(QStringLiteral(", ")), options->bootRefuse);
        return false;
    }
    options->bootSilent = parser.isSet(bootSilent);
    options->bootCorrupt = parser.isSet(bootCorrupt);
    if (!readInt(parser, bootIgnoreRequests.names().constFirst(), 0,
            std::numeric_limits<int>::max(), QStringLiteral("a count from 0 on"),
            &options->bootIgnoreRequests, error))
        return false;
    options->slcan = parser.isSet(slcan) || parser.isSet(slcanFault);
    options->slcanFault = parser.value(slcanFault);
    if (parser.isSet(slcanFault) && !SlcanAdapter::Faults.contains(options->slcanFault)) {
        *error = QStringLiteral("--slcan-fault takes one of %1: %2")
                     .arg(SlcanAdapter::Faults.join(QStringLiteral(", ")), options->slcanFault);
        return false;
    }
    options->uartGarbage = parser.isSet(uartGarbage);
    options->uartSplit = parser.isSet(uartSplit);
    if (!readInt(parser, uartHangUpAt.names().constFirst(), 1, std::numeric_limits<int>::max(),
            QStringLiteral("a block number from 1 on"), &options->uartHangUpAt, error))
        return false;
    if (!options->history.read(parser, error) || !options->bus.read(parser, error))
        return false;
    for (const QString &pair : parser.value(force).split(QLatin1Char(','), Qt::SkipEmptyParts)) {
        const QStringList parts = pair.split(QLatin1Char('='));
        bool indexOk = false;
        bool valueOk = false;
        const int index = parts.value(0).toInt(&indexOk);
        const double value = parts.value(1).toDouble(&valueOk);
        if (parts.size() != 2 || !indexOk || !valueOk || index < 0 || index >= Signal::Count) {
            *error = QStringLiteral("--force takes signal index=value pairs: %1").arg(pair);
            return false;
        }
        options->forcedSignals.insert(index, value);
    }
    return true;
}
