#include "busoptions.h"

#include "cli/commandparser.h"

#include "can/adaptertype.h"

#include <QStringList>

namespace {

// The command line's name of an adapter type: its name in the window, in lower case with
// hyphens ("USBCAN_2E" is usbcan-2e).
QString optionName(const AdapterType::Entry &entry)
{
    return QString::fromLatin1(entry.name).toLower().replace(QLatin1Char('_'), QLatin1Char('-'));
}

// "usbcan1, usbcan2 (default), usbcan-e, usbcan-2e" and the like, the last joined by the word
// given.
QString optionNames(const QString &lastJoin, bool markDefault)
{
    QStringList names;
    for (const AdapterType::Entry &entry : AdapterType::All) {
        names << optionName(entry);
        if (markDefault && entry.code == AdapterType::Default)
            names.last() += QStringLiteral(" (default)");
    }
    const QString last = names.takeLast();
    return names.join(QStringLiteral(", ")) + lastJoin + last;
}

QString defaultOptionName()
{
    for (const AdapterType::Entry &entry : AdapterType::All) {
        if (entry.code == AdapterType::Default)
            return optionName(entry);
    }
    return QString();
}

constexpr int MaxBitrateKbit = 1000;

} // namespace

QString BusOptions::description() const
{
    if (bus)
        return bus->description();
    return QStringLiteral("the ControlCAN adapter or the bus of canbus.ini");
}

BusOptions::Parser::Parser()
    : m_bus(QStringLiteral("bus"),
        QStringLiteral("The CAN bus as PLUGIN:INTERFACE, e.g. socketcan:can0, slcan:/dev/ttyACM0 "
                       "(a serial-line adapter) or virtualcan:tcp://127.0.0.1:24600/can0 "
                       "(default: the vendor's ControlCAN library when present, else canbus.ini "
                       "beside bmsctl)."),
        QStringLiteral("plugin:interface"))
    , m_bitrate(QStringLiteral("bitrate"),
          QStringLiteral("Bit rate in kbit/s (default 250): programmed into a ControlCAN or "
                         "serial-line adapter, and the base of the bus load."),
          QStringLiteral("kbit"), QString::number(DefaultBitrateKbit))
    , m_adapter(QStringLiteral("adapter"),
          QStringLiteral("ControlCAN adapter type: %1.")
              .arg(optionNames(QStringLiteral(", "), true)),
          QStringLiteral("type"), defaultOptionName())
    , m_verbose(QStringLiteral("verbose"), QStringLiteral("Show the log on standard error."))
{ }

void BusOptions::Parser::addTo(CommandParser &parser) const
{
    for (const QCommandLineOption &option : options())
        parser.addOption(option);
}

QList<QCommandLineOption> BusOptions::Parser::options() const
{
    return { m_bus, m_bitrate, m_adapter, m_verbose };
}

bool BusOptions::Parser::read(
    const CommandParser &parser, BusOptions *options, QString *error) const
{
    BusOptions read;
    if (parser.isSet(m_bus)) {
        const QString text = parser.value(m_bus);
        const int colon = text.indexOf(QLatin1Char(':'));
        if (colon <= 0 || colon == text.size() - 1) {
            *error
                = QStringLiteral("--bus takes PLUGIN:INTERFACE, e.g. socketcan:can0: %1").arg(text);
            return false;
        }
        read.bus = CanBusConfig(text.left(colon), text.mid(colon + 1));
    }
    bool ok = false;
    read.bitrateKbit = parser.value(m_bitrate).toInt(&ok);
    if (!ok || read.bitrateKbit <= 0 || read.bitrateKbit > MaxBitrateKbit) {
        *error = QStringLiteral("--bitrate takes kbit/s from 1 to %1: %2")
                     .arg(MaxBitrateKbit)
                     .arg(parser.value(m_bitrate));
        return false;
    }
    const QString adapter = parser.value(m_adapter).toLower();
    read.adapterType = -1;
    for (const AdapterType::Entry &entry : AdapterType::All) {
        if (adapter == optionName(entry))
            read.adapterType = entry.code;
    }
    if (read.adapterType < 0) {
        *error = QStringLiteral("--adapter takes %1: %2")
                     .arg(optionNames(QStringLiteral(" or "), false), parser.value(m_adapter));
        return false;
    }
    read.verbose = parser.isSet(m_verbose);
    *options = read;
    return true;
}
