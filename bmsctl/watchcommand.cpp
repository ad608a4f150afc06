#include "watchcommand.h"

#include "batterylist.h"
#include "buscommandline.h"
#include "bussession.h"
#include "console.h"
#include "eventwait.h"
#include "exitstatus.h"
#include "signalformat.h"

#include "signals/signalnames.h"
#include "signals/signalvalues.h"

#include <QDateTime>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTimer>

namespace {

constexpr int MinIntervalMs = 50;

QString timeText(const QDateTime &time)
{
    return time.toString(Qt::ISODateWithMs);
}

} // namespace

QStringList WatchCommand::defaultSignals()
{
    return { QStringLiteral("SysStatus"), QStringLiteral("SumVolt"), QStringLiteral("Curr"),
        QStringLiteral("SOC"), QStringLiteral("SOH"), QStringLiteral("MaxCellV"),
        QStringLiteral("MinCellV"), QStringLiteral("MaxCellT"), QStringLiteral("MinCellT"),
        QStringLiteral("LifeCounter") };
}

QString WatchCommand::summary() const
{
    return QStringLiteral("Decoded values as a stream (CSV or JSON lines), by signal name.");
}

int WatchCommand::run(const QStringList &arguments, Console &console)
{
    BusCommandLine line(name(),
        QStringLiteral("Prints the values the signal store decodes, one row per battery every "
                       "interval, until --seconds have passed or Ctrl-C. Signals are named as in "
                       "the catalogue (SumVolt, Curr, SOC, Volt1 .. Volt32, Temp1 .. Temp8, ...; "
                       "`bmsctl dbc export` lists them all); case does not matter. A battery "
                       "gets rows once it has been heard."));
    line.addIdsOption(QStringLiteral("Batteries to show"));
    const QCommandLineOption signalNames(QStringLiteral("signals"),
        QStringLiteral("Signal names, comma-separated (default: %1).")
            .arg(defaultSignals().join(QLatin1Char(','))),
        QStringLiteral("names"));
    const QCommandLineOption format(QStringLiteral("format"),
        QStringLiteral("csv (default) or jsonl."), QStringLiteral("format"), QStringLiteral("csv"));
    const QCommandLineOption interval(QStringLiteral("interval"),
        QStringLiteral("Milliseconds between rows (default %1).").arg(DefaultIntervalMs),
        QStringLiteral("ms"), QString::number(DefaultIntervalMs));
    const QCommandLineOption seconds(QStringLiteral("seconds"),
        QStringLiteral("Stop after this many seconds (default: at Ctrl-C)."), QStringLiteral("n"));
    CommandParser &parser = line.parser();
    for (const QCommandLineOption &option : { signalNames, format, interval, seconds })
        parser.addOption(option);
    int status = line.parse(arguments, console);
    if (status >= 0)
        return status;

    const QList<int> &wanted = line.ids();
    QList<int> indices;
    const QStringList names = parser.isSet(signalNames)
        ? parser.value(signalNames).split(QLatin1Char(','), Qt::SkipEmptyParts)
        : defaultSignals();
    for (const QString &signalName : names) {
        const int index = SignalNames::indexOf(signalName);
        if (index < 0)
            return parser.usageError(
                console, QStringLiteral("unknown signal \"%1\"").arg(signalName));
        indices.append(index);
    }
    if (indices.isEmpty())
        return parser.usageError(console, QStringLiteral("no signal to show"));
    const QString formatName = parser.value(format).toLower();
    if (formatName != QLatin1String("csv") && formatName != QLatin1String("jsonl"))
        return parser.usageError(
            console, QStringLiteral("--format takes csv or jsonl: %1").arg(parser.value(format)));
    const bool csv = formatName == QLatin1String("csv");
    bool ok = false;
    const int intervalMs = parser.value(interval).toInt(&ok);
    if (!ok || intervalMs < MinIntervalMs)
        return parser.usageError(console,
            QStringLiteral("--interval takes milliseconds, at least %1: %2")
                .arg(MinIntervalMs)
                .arg(parser.value(interval)));
    int durationMs = -1;
    if (parser.isSet(seconds)) {
        const double value = parser.value(seconds).toDouble(&ok);
        if (!ok || value <= 0)
            return parser.usageError(console,
                QStringLiteral("--seconds takes a number above 0: %1").arg(parser.value(seconds)));
        durationMs = int(value * 1000);
    }
    status = line.openBus(console);
    if (status >= 0)
        return status;
    BusSession &session = line.session();

    const SignalValues &store = *session.store();
    if (csv) {
        QStringList header { QStringLiteral("time"), QStringLiteral("id") };
        for (int index : indices)
            header.append(SignalNames::name(index));
        console.printLine(header.join(QLatin1Char(',')));
    }
    int rows = 0;
    const auto printRows = [&] {
        const QString now = timeText(QDateTime::currentDateTime());
        for (int devId : session.monitor().devices()) {
            if (!wanted.isEmpty() && !wanted.contains(devId))
                continue;
            ++rows;
            if (csv) {
                QStringList cells { now, QString::number(devId) };
                for (int index : indices)
                    cells.append(SignalFormat::text(store, index, store.value(devId, index)));
                console.printLine(cells.join(QLatin1Char(',')));
            } else {
                QJsonObject row;
                row.insert(QStringLiteral("time"), now);
                row.insert(QStringLiteral("id"), devId);
                for (int index : indices)
                    row.insert(SignalNames::name(index),
                        SignalFormat::json(store, index, store.value(devId, index)));
                console.printLine(
                    QString::fromUtf8(QJsonDocument(row).toJson(QJsonDocument::Compact)));
            }
        }
    };
    QTimer timer;
    timer.setInterval(intervalMs);
    QObject::connect(&timer, &QTimer::timeout, printRows);
    timer.start();
    EventWait::until(durationMs, {});
    timer.stop();

    if (rows == 0) {
        console.error(QStringLiteral("no battery%1 heard on %2")
                          .arg(wanted.isEmpty() ? QString() : QStringLiteral(" of those asked for"),
                              line.busOptions().description()));
        return ExitStatus::Failure;
    }
    QList<int> unheard;
    for (int devId : wanted) {
        if (!session.monitor().heard(devId))
            unheard.append(devId);
    }
    if (!unheard.isEmpty()) {
        console.error(QStringLiteral("%1 never heard on %2")
                          .arg(BatteryList::named(unheard), line.busOptions().description()));
        return ExitStatus::Failure;
    }
    return ExitStatus::Success;
}
