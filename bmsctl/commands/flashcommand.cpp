#include "flashcommand.h"

#include "battery/batteryidentity.h"
#include "battery/batterylist.h"
#include "battery/imagetransfer.h"
#include "bus/buscommandline.h"
#include "bus/bussession.h"
#include "bus/eventwait.h"
#include "cli/console.h"
#include "cli/exitstatus.h"
#include "cli/idlist.h"
#include "cli/interruption.h"
#include "cli/report.h"
#include "cli/table.h"

#include "can/canservice.h"
#include "upgrade/canupgrade.h"
#include "upgrade/firmwareimage.h"
#include "upgrade/imageversion.h"
#include "upgrade/uartimage.h"

#include <QElapsedTimer>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonObject>
#include <QMap>
#include <QSerialPort>

#include <algorithm>

using ExitStatus::Outcome;

namespace {

// One battery before and after the upgrade.
struct Battery
{
    bool expected = false;
    bool heardBefore = false;
    bool answeredBefore = false;
    QString before;
    // Answered the boot request: in its boot loader until a good finish.
    bool inBootLoader = false;
    // Why it left the upgrade after answering the boot request ("refused the erase"), if it did.
    QString whyLeft;
    bool back = false;
    bool answeredAfter = false;
    QString after;
    bool runsImage = false;

    bool leftInBootLoader() const { return inBootLoader && !back; }
    QString beforeText() const
    {
        if (!heardBefore)
            return inBootLoader ? QStringLiteral("(in boot loader)")
                                : QStringLiteral("(not heard)");
        return answeredBefore ? before : QStringLiteral("(no reply)");
    }
    QString afterText() const
    {
        if (!back)
            return inBootLoader ? QStringLiteral("(in boot loader)") : QStringLiteral("(not back)");
        return answeredAfter ? after : QStringLiteral("(no reply)");
    }
    QString result() const
    {
        if (runsImage)
            return QStringLiteral("runs the image");
        QString why = answeredBefore && after == before ? QStringLiteral("unchanged")
                                                        : QStringLiteral("runs another version");
        if (leftInBootLoader())
            why = whyLeft.isEmpty() ? QStringLiteral("left in its boot loader")
                                    : QStringLiteral("left in its boot loader: ") + whyLeft;
        else if (!back)
            why = heardBefore ? QStringLiteral("not back on the bus")
                              : QStringLiteral("not on the bus");
        else if (!answeredAfter)
            why = QStringLiteral("no reply");
        return expected || !whyLeft.isEmpty() ? QStringLiteral("FAILED: ") + why : why;
    }
    void addTo(Report &report, int devId) const
    {
        const auto textOrNull
            = [](bool has, const QString &text) { return has ? QJsonValue(text) : QJsonValue(); };
        report.addRow()
            .cell(QStringLiteral("id"), devId)
            .cell(QStringLiteral("before"), beforeText(), textOrNull(answeredBefore, before))
            .cell(QStringLiteral("after"), afterText(), textOrNull(answeredAfter, after))
            .text(QStringLiteral("result"), result())
            .field(QStringLiteral("back"), back)
            .field(QStringLiteral("leftInBootLoader"), leftInBootLoader())
            .field(QStringLiteral("leftTheUpgrade"), textOrNull(!whyLeft.isEmpty(), whyLeft))
            .field(QStringLiteral("runsImage"), runsImage)
            .field(QStringLiteral("expected"), expected);
    }
};

// The firmware version a battery reports, or false when it does not answer. On a busy bus a
// battery's reply waits behind its own broadcasts, which win the bus over it, and may come too
// late for one read or be lost: the read is repeated for up to VersionReadMs.
bool readVersion(CanService *service, int devId, QString *version)
{
    QElapsedTimer elapsed;
    elapsed.start();
    do {
        QByteArray field;
        if (service->readFirmwareVersion(uchar(devId), field) == 0) {
            *version = BatteryIdentity::fieldText(field);
            return true;
        }
    } while (elapsed.elapsed() < FlashCommand::VersionReadMs && !Interruption::requested());
    return false;
}

// Reads and checks the image as the boot loader is to get it: false, with the reason, for an
// image that must not be sent. *version is the firmware version a battery running it reports.
bool checkImage(
    const QString &path, bool serial, FirmwareImage *image, QString *version, QString *error)
{
    *image = FirmwareImage::read(path, serial ? FirmwareImage::BinImage : FirmwareImage::S19Image);
    switch (image->error) {
    case FirmwareImage::NoError:
        break;
    case FirmwareImage::CannotOpen:
        *error = QFileInfo::exists(path) ? QStringLiteral("cannot read %1").arg(path)
                                         : QStringLiteral("%1: no such file").arg(path);
        return false;
    case FirmwareImage::TooLarge:
        *error = QStringLiteral("%1 is larger than %2 MiB: not a firmware image")
                     .arg(path)
                     .arg(FirmwareImage::MaxFileSize / (1024 * 1024));
        return false;
    case FirmwareImage::TooShort:
        *error = QStringLiteral("%1 is shorter than its %2-byte revision tag")
                     .arg(path)
                     .arg(FirmwareImage::RevisionTagSize);
        return false;
    case FirmwareImage::NoRecord:
        *error = QStringLiteral("%1 holds no S1, S2, S3 or S5 record").arg(path);
        return false;
    case FirmwareImage::BadRecord:
    case FirmwareImage::BadImage:
        *error = QStringLiteral("%1:%2: %3").arg(path).arg(image->badLine).arg(image->badReason);
        return false;
    }
    if (serial && !UartImage::isSendable(image->binData)) {
        *error = QStringLiteral("%1 holds %2 bytes, more than the serial boot loader takes (%3)")
                     .arg(path)
                     .arg(image->binData.size())
                     .arg(UartImage::MaxSize);
        return false;
    }
    if (!serial && image->versionCutLine != 0) {
        *error = QStringLiteral("%1:%2: %3")
                     .arg(path)
                     .arg(image->versionCutLine)
                     .arg(image->versionCutReason);
        return false;
    }
    if (!serial && image->bootVersion.size() < CanUpgrade::BootVersionSize) {
        *error = QStringLiteral("%1: no record loads at an address whose top byte is 08, so the "
                                "image carries no boot version the boot loaders would accept")
                     .arg(path);
        return false;
    }
    *version = BatteryIdentity::fieldText(
        serial ? ImageVersion::ofBin(image->binData) : ImageVersion::ofS19(image->s19Data));
    if (version->isEmpty()) {
        *error = QStringLiteral("%1 carries no firmware version (the %2 bytes after its %3 are "
                                "empty), so whether a battery runs it cannot be told")
                     .arg(path)
                     .arg(ImageVersion::Size)
                     .arg(serial ? QStringLiteral("revision tag") : QStringLiteral("boot version"));
        return false;
    }
    return true;
}

// Every battery heard, and the firmware it runs. A battery in its boot loader is not heard.
QMap<int, Battery> readBefore(BusSession &session, Console &console)
{
    QMap<int, Battery> batteries;
    console.progress(QStringLiteral("flash: listening for batteries"));
    for (int devId : session.selectBatteries({}, nullptr)) {
        console.progress(QStringLiteral("flash: reading the firmware of battery %1").arg(devId));
        Battery &battery = batteries[devId];
        battery.heardBefore = true;
        battery.answeredBefore = readVersion(session.service(), devId, &battery.before);
    }
    return batteries;
}

// Waits up to comeBackMs for the batteries to broadcast again (those heard before or expected;
// the first DiscoveryMs when there are none), then reads the firmware of every battery back,
// newcomers included. A battery leaves its boot loader only on a good finish: those still in
// their boot loaders are not waited for. False when interrupted.
bool readBack(BusSession &session, int comeBackMs, const QString &version,
    QMap<int, Battery> *batteries, Console &console)
{
    // A boot loader answers the upgrade's steps under the battery's number too, but only the
    // running firmware broadcasts.
    BusMonitor &monitor = session.monitor();
    monitor.restart();
    const auto isBack
        = [&monitor](int devId) { return !monitor.traffic(devId).frameKinds.isEmpty(); };
    QList<int> awaited;
    for (auto it = batteries->cbegin(); it != batteries->cend(); ++it) {
        if (!it.value().inBootLoader)
            awaited.append(it.key());
    }
    const auto backCount
        = [&] { return int(std::count_if(awaited.cbegin(), awaited.cend(), isBack)); };
    const EventWait::Result waited = EventWait::until(
        awaited.isEmpty() ? BusSession::DiscoveryMs : comeBackMs,
        [&] { return !awaited.isEmpty() && backCount() == awaited.size(); },
        [&] {
            console.progress(QStringLiteral("flash: waiting for the batteries to come back, %1 of "
                                            "%2 back, %3 s")
                                 .arg(backCount())
                                 .arg(awaited.size())
                                 .arg(monitor.elapsedMs() / 1000));
        });
    if (waited == EventWait::Interrupted)
        return false;

    for (int devId : monitor.devices()) {
        if (isBack(devId))
            (*batteries)[devId].back = true;
    }
    for (auto it = batteries->begin(); it != batteries->end(); ++it) {
        Battery &battery = it.value();
        if (!battery.back)
            continue;
        console.progress(QStringLiteral("flash: reading the firmware of battery %1").arg(it.key()));
        battery.answeredAfter = readVersion(session.service(), it.key(), &battery.after);
        battery.runsImage = battery.answeredAfter && battery.after == version;
    }
    return true;
}

QJsonObject imageJson(const QString &path, const QString &version, const FirmwareImage &image)
{
    QJsonObject json;
    json.insert(QStringLiteral("file"), path);
    json.insert(QStringLiteral("version"), version);
    json.insert(QStringLiteral("revision"), image.revision());
    if (image.kind == FirmwareImage::BinImage)
        json.insert(QStringLiteral("bytes"), image.binData.size());
    else
        json.insert(QStringLiteral("records"), image.s19Data.size());
    return json;
}

// flash --check: what was checked of a good image, without sending it.
void printChecked(const QString &path, const QString &version, const FirmwareImage &image,
    bool json, Console &console)
{
    const bool bin = image.kind == FirmwareImage::BinImage;
    const qint64 size = QFileInfo(path).size();
    if (json) {
        QJsonObject checked = imageJson(path, version, image);
        checked.insert(QStringLiteral("kind"), bin ? QStringLiteral("bin") : QStringLiteral("s19"));
        checked.insert(QStringLiteral("size"), double(size));
        QJsonArray ranges;
        for (const LoadMap::Range &range : image.ranges)
            ranges.append(QJsonObject { { QStringLiteral("first"), double(range.first) },
                { QStringLiteral("last"), double(range.last) } });
        if (!bin)
            checked.insert(QStringLiteral("ranges"), ranges);
        QJsonObject root;
        root.insert(QStringLiteral("image"), checked);
        root.insert(QStringLiteral("good"), true);
        console.printJson(root);
        return;
    }
    Table table({ QStringLiteral("Checked"), QStringLiteral("Found") });
    table.addRow({ QStringLiteral("kind"),
        bin ? QStringLiteral("raw image for the serial boot loader (--serial)")
            : QStringLiteral("S-records for the CAN boot loaders") });
    if (!bin)
        table.addRow({ QStringLiteral("records"),
            QStringLiteral("%1, each verified").arg(image.s19Data.size()) });
    table.addRow({ QStringLiteral("size"), QStringLiteral("%1 bytes").arg(size) });
    // A record far from the rest (a mistyped address) shows as a range of its own.
    if (!bin)
        table.addRow({ QStringLiteral("addresses"), LoadMap::text(image.ranges) });
    // The boot loaders compare the first bytes of the boot version only.
    table.addRow({ bin ? QStringLiteral("revision tag") : QStringLiteral("boot version"),
        bin ? image.revision()
            : FirmwareImage::latin1Text(image.bootVersion.left(CanUpgrade::BootVersionSize)) });
    table.addRow({ QStringLiteral("firmware"), version });
    console.printTable(table);
    console.printLine(
        QStringLiteral("%1 is good: flash would send it.").arg(QFileInfo(path).fileName()));
}

bool portOpens(const QString &name, QString *error)
{
    QSerialPort port(name);
    if (!port.open(QIODevice::ReadWrite)) {
        *error = port.errorString();
        return false;
    }
    port.close();
    return true;
}

} // namespace

QString FlashCommand::summary() const
{
    return QStringLiteral("A firmware image into the batteries (CAN or serial), read back.");
}

int FlashCommand::run(const QStringList &arguments, Console &console)
{
    BusCommandLine line(name(),
        QStringLiteral("Sends a firmware image to the batteries' boot loaders, then reads the "
                       "firmware version of every battery back over CAN and shows which of them "
                       "now run the version the image carries.\n\n"
                       "Over CAN (an .s19 image): the upgrade's frames carry no device address, "
                       "so every battery on the bus enters its boot loader and takes the image: "
                       "it cannot be sent to one battery alone. --expect names the batteries "
                       "that must run the image's version afterwards. Every battery heard "
                       "before and every one --expect names is to answer the boot request, "
                       "which goes out up to %2 times; when one --expect names has not "
                       "answered, the flash stops there, before anything is erased. Every battery "
                       "that answered the boot request is judged at every step: one that refuses "
                       "a step or does not answer it leaves the upgrade, which goes on with the "
                       "others, and the flash fails naming it. A battery that fails to come back "
                       "waits in its boot loader: the image sent again brings it back.\n\n"
                       "Over a serial port (--serial PORT, a .bin image): the battery on the "
                       "cable takes the image; every battery heard on CAN is read back.\n\n"
                       "The image is checked whole before anything is sent (every S-record "
                       "verified; a .bin must hold its revision tag), and must carry the firmware "
                       "version a battery reports once it runs it. Batteries in their boot "
                       "loaders stop broadcasting: those heard before, and those --expect names, "
                       "are given %1 s to come back before they are read. Success: the boot "
                       "loader took the image, and every battery --expect names (without "
                       "--expect: at least one battery) runs its version.")
            .arg(ComeBackMs / 1000)
            .arg(CanUpgrade::MaxTries));
    CommandParser &parser = line.parser();
    parser.addPositional(QStringLiteral("IMAGE"),
        QStringLiteral("The firmware image: .s19 over CAN, .bin over --serial."),
        QStringLiteral("IMAGE"));
    parser.setPositionalCount(1, 1);
    const QCommandLineOption serial(QStringLiteral("serial"),
        QStringLiteral("Send a .bin image over this serial port (COM3, /dev/ttyUSB0) to the "
                       "battery on its cable instead."),
        QStringLiteral("port"));
    const QCommandLineOption expect(QStringLiteral("expect"),
        QStringLiteral("Batteries that must enter their boot loaders and run the image "
                       "afterwards, e.g. 1,2,5-8 (default: at least one must run it)."),
        QStringLiteral("list"));
    const QCommandLineOption check(QStringLiteral("check"),
        QStringLiteral("Only read and verify the image as flash would (a .bin as for --serial) "
                       "and show what was checked; send nothing, open no bus."));
    parser.addOption(serial);
    parser.addOption(expect);
    parser.addOption(check);
    line.addJsonOption();
    int status = line.parse(arguments, console);
    if (status >= 0)
        return status;

    QString error;
    QList<int> expected;
    if (parser.isSet(expect) && !IdList::parse(parser.value(expect), &expected, &error))
        return parser.usageError(console, error);
    const QString path = parser.positional().at(0);
    const bool overSerial = parser.isSet(serial);
    const QString port = parser.value(serial);
    if (overSerial && port.isEmpty())
        return parser.usageError(console, QStringLiteral("--serial takes a port"));
    const QString suffix = QFileInfo(path).suffix().toLower();
    const bool checkOnly = parser.isSet(check);
    if (!overSerial && suffix == QLatin1String("bin") && !checkOnly)
        return parser.usageError(console,
            QStringLiteral("%1 is an image for the serial boot loader: give --serial PORT (over "
                           "CAN an .s19 image goes)")
                .arg(path));
    if (overSerial && suffix == QLatin1String("s19"))
        return parser.usageError(console,
            QStringLiteral("%1 is an image for the CAN boot loaders: leave out --serial (over a "
                           "serial port a .bin image goes)")
                .arg(path));
    status = line.readBusOptions(console);
    if (status >= 0)
        return status;

    FirmwareImage image;
    QString version;
    if (!checkImage(path, overSerial || (checkOnly && suffix == QLatin1String("bin")), &image,
            &version, &error)) {
        console.error(error + QStringLiteral("; nothing sent"));
        return ExitStatus::of(Outcome::Failed);
    }
    if (checkOnly) {
        printChecked(path, version, image, line.json(), console);
        return ExitStatus::of(Outcome::Done);
    }
    if (overSerial && !portOpens(port, &error)) {
        console.error(
            QStringLiteral("cannot open the serial port %1: %2; nothing sent").arg(port, error));
        return ExitStatus::of(Outcome::Failed);
    }
    status = line.openBus(console);
    if (status >= 0)
        return status;
    BusSession &session = line.session();

    QMap<int, Battery> batteries = readBefore(session, console);
    for (int devId : expected)
        batteries[devId].expected = true;

    const ImageTransfer::Outcome sent = overSerial
        ? ImageTransfer::overSerial(port, image.binData, console)
        : ImageTransfer::overCan(session.service(), image, batteries.keys(), expected, console);
    // Those that finished well left their boot loaders.
    for (int devId : sent.leftInBootLoaders)
        batteries[devId].inBootLoader = true;
    for (auto it = sent.notFinished.cbegin(); it != sent.notFinished.cend(); ++it)
        batteries[it.key()].whyLeft = it.value();
    const QString via = overSerial ? port : QStringLiteral("CAN");
    // Said whenever batteries wait in their boot loaders: only the image sent again brings them
    // back, whatever step they were cut off in.
    const auto waitingNote = [&](const QList<int> &devIds) {
        const bool one = devIds.size() == 1;
        const QString flash = sent.result == ImageTransfer::Taken ? QString()
            : sent.eraseAsked ? QStringLiteral(" with erased or half-written flash")
                              : QStringLiteral(" with intact flash");
        return QStringLiteral("%1 %2 in %3%4: sending the image again brings %5 back")
            .arg(BatteryList::named(devIds), one ? "waits" : "wait",
                one ? "its boot loader" : "their boot loaders", flash, one ? "it" : "them");
    };
    if (sent.result == ImageTransfer::Unanswered) {
        QList<int> absent;
        for (int devId : sent.missing) {
            if (expected.contains(devId))
                absent.append(devId);
        }
        console.error(QStringLiteral("%1 (--expect) did not answer the boot request after %2 "
                                     "tries: stopped before the erase, nothing erased")
                          .arg(BatteryList::named(absent))
                          .arg(CanUpgrade::MaxTries));
        if (!sent.leftInBootLoaders.isEmpty())
            console.note(waitingNote(sent.leftInBootLoaders));
        return ExitStatus::of(Outcome::Failed);
    }
    if (sent.result == ImageTransfer::Interrupted) {
        console.error(QStringLiteral("interrupted before the flash was erased: nothing erased or "
                                     "written"));
        if (!sent.leftInBootLoaders.isEmpty())
            console.note(waitingNote(sent.leftInBootLoaders));
        return ExitStatus::of(Outcome::Interrupted);
    }
    if (sent.result == ImageTransfer::Abandoned) {
        console.error(QStringLiteral("upgrade abandoned after the erase: the flash is erased or "
                                     "half-written, the batteries wait in their boot loaders; "
                                     "flash the image again"));
        if (!sent.leftInBootLoaders.isEmpty())
            console.note(waitingNote(sent.leftInBootLoaders));
        return ExitStatus::of(Outcome::Interrupted);
    }
    if (sent.result == ImageTransfer::NotStarted) {
        console.error(sent.reason + QStringLiteral("; nothing sent"));
        return ExitStatus::of(Outcome::Failed);
    }

    if (!readBack(session, FlashCommand::ComeBackMs, version, &batteries, console)) {
        console.error(QStringLiteral("interrupted"));
        return ExitStatus::of(Outcome::Interrupted);
    }

    Report report(QStringLiteral("batteries"),
        { { QStringLiteral("ID"), QStringLiteral("id"), Report::Right },
            { QStringLiteral("Before"), QStringLiteral("before") },
            { QStringLiteral("After"), QStringLiteral("after") },
            { QStringLiteral("Result"), QStringLiteral("result") } });
    QList<int> running;
    QList<int> missing;
    for (auto it = batteries.cbegin(); it != batteries.cend(); ++it) {
        const Battery &battery = it.value();
        if (battery.runsImage)
            running.append(it.key());
        else if (battery.expected)
            missing.append(it.key());
        battery.addTo(report, it.key());
    }
    const bool taken = sent.result == ImageTransfer::Taken;
    const bool succeeded = taken && missing.isEmpty() && !running.isEmpty();

    report.setField(QStringLiteral("image"), imageJson(path, version, image));
    report.setField(
        QStringLiteral("via"), overSerial ? QStringLiteral("serial") : QStringLiteral("can"));
    if (overSerial)
        report.setField(QStringLiteral("port"), port);
    report.setField(QStringLiteral("taken"), taken);
    if (!taken)
        report.setField(QStringLiteral("error"), sent.reason);
    report.setField(QStringLiteral("seconds"), sent.elapsedMs / 1000.0);
    report.setField(QStringLiteral("succeeded"), succeeded);
    report.addLine(QString());
    report.addLine(QStringLiteral("%1 (firmware %2): %3 %4 in %5 s; %6 of %7 batteries run it.")
                       .arg(QFileInfo(path).fileName(), version,
                           taken ? QStringLiteral("sent over") : QStringLiteral("failed over"), via)
                       .arg(sent.elapsedMs / 1000.0, 0, 'f', 1)
                       .arg(running.size())
                       .arg(batteries.size()));
    report.print(console, line.json());

    if (!taken)
        console.error(QStringLiteral("the upgrade over %1 failed: %2").arg(via, sent.reason));
    else if (!missing.isEmpty())
        console.error(
            QStringLiteral("%1 %2 not run the image's version %3")
                .arg(BatteryList::named(missing),
                    missing.size() == 1 ? QStringLiteral("does") : QStringLiteral("do"), version));
    else if (running.isEmpty())
        console.error(QStringLiteral("no battery runs the image's version %1").arg(version));
    QList<int> leftInBootLoaders;
    for (auto it = batteries.cbegin(); it != batteries.cend(); ++it) {
        if (it.value().leftInBootLoader())
            leftInBootLoaders.append(it.key());
    }
    if (!leftInBootLoaders.isEmpty())
        console.note(waitingNote(leftInBootLoaders));
    return ExitStatus::of(succeeded ? Outcome::Done : Outcome::Partial);
}
