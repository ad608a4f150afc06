#include "decodecommand.h"

#include "cli/commandparser.h"
#include "cli/console.h"
#include "cli/exitstatus.h"
#include "formats/logformat.h"
#include "formats/signalformat.h"

#include "signals/batterybank.h"
#include "signals/signalnames.h"
#include "signals/signalvalues.h"

#include <QElapsedTimer>
#include <QJsonDocument>
#include <QJsonObject>

using ExitStatus::Outcome;

namespace {

constexpr int PayloadSize = 8;
constexpr qint64 MicrosPerSecond = 1000000;
constexpr int OutputBatchChars = 32 * 1024;
constexpr int OutputEveryMs = 100;

QString timeText(qint64 timeUs)
{
    return QStringLiteral("%1.%2")
        .arg(timeUs / MicrosPerSecond)
        .arg(timeUs % MicrosPerSecond, 6, 10, QLatin1Char('0'));
}

// Whether the frame carries the signal whole. A signal grows from its least significant bit
// towards byte 0 (see SignalDefinition), so the byte holding that bit is its last.
bool holds(const QByteArray &data, const SignalDefinition &definition)
{
    return definition.start / 8 < data.size();
}

QString csvField(const QString &text)
{
    if (!text.contains(QLatin1Char(',')) && !text.contains(QLatin1Char('"')))
        return text;
    return QLatin1Char('"') + QString(text).replace(QLatin1Char('"'), QStringLiteral("\"\""))
        + QLatin1Char('"');
}

} // namespace

QString DecodeCommand::summary() const
{
    return QStringLiteral("A traffic log decoded offline (CSV or JSON lines).");
}

int DecodeCommand::run(const QStringList &arguments, Console &console)
{
    CommandParser parser(name(),
        QStringLiteral(
            "Decodes the broadcast frames of a traffic log (%1, told by the extension "
            "or the content) the way the window's signal "
            "store does, and prints every signal they carry: as CSV, one row a signal "
            "(time,id,frame,signal,value,unit), or as JSON lines, one object a frame; a "
            "frame shorter than 8 bytes gives only the signals it holds whole. "
            "Frames that are not broadcasts (command replies, other devices) are "
            "counted, not printed. Lines that do not parse are skipped and named on "
            "standard error, the rest decoded; the status is then 1. The log is read as it "
            "is decoded, so a log of any size is. Needs no bus.")
            .arg(LogFormat::names().join(QStringLiteral(", "))));
    parser.addPositional(
        QStringLiteral("FILE"), QStringLiteral("A traffic log."), QStringLiteral("FILE"));
    parser.setPositionalCount(1, 1);
    const QCommandLineOption format(QStringLiteral("format"),
        QStringLiteral("csv (default) or jsonl."), QStringLiteral("format"), QStringLiteral("csv"));
    parser.addOption(format);
    const int parsed = parser.parse(arguments, console);
    if (parsed >= 0)
        return parsed;
    const QString formatName = parser.value(format).toLower();
    if (formatName != QLatin1String("csv") && formatName != QLatin1String("jsonl"))
        return parser.usageError(
            console, QStringLiteral("--format takes csv or jsonl: %1").arg(parser.value(format)));
    const bool csv = formatName == QLatin1String("csv");

    const QString path = parser.positional().at(0);
    const std::unique_ptr<LogReader> reader = LogFormat::reader(LogFormat::detect(path));
    if (!reader->open(path)) {
        console.error(QStringLiteral("cannot read %1: %2").arg(path, reader->errorString()));
        return ExitStatus::of(Outcome::Failed);
    }

    // A store of its own, fed frame by frame: the values are exactly those the window would
    // hold (floats, wrapped integers), read back signal by signal.
    SignalValues store;
    qint64 decoded = 0;
    qint64 others = 0;
    if (csv)
        console.printLine(QStringLiteral("time,id,frame,signal,value,unit"));
    // The output goes out in batches, a system call for many frames rather than one each; the
    // first frame, and the first a tenth of a second after the last batch, go out at once with
    // what came before them, so that a log on a pipe is decoded as it comes.
    QString batch;
    QElapsedTimer sinceOutput;
    const auto output = [&] {
        console.print(batch);
        batch.clear();
        sinceOutput.start();
    };
    LoggedFrame frame;
    while (reader->next(&frame)) {
        const int devId = int(frame.id & 0xFF);
        const QVector<SignalDefinition> &definitions = store.definitions(frame.id >> 8);
        if (!frame.extended || devId > BatteryBank::MaxDeviceId || definitions.isEmpty()) {
            ++others;
            continue;
        }
        // The store takes 8 bytes; a shorter frame is filled with zeros for it, and only the
        // signals the frame holds are printed: the filling is no value.
        QByteArray data = frame.data;
        data.append(QByteArray(qMax(0, PayloadSize - int(data.size())), '\0'));
        store.OnNewCanFrame(ulong(frame.id), data, 0);
        ++decoded;

        const QString time = timeText(frame.timeUs);
        const QString frameName = SignalNames::frameName(frame.id >> 8);
        QString lines;
        QJsonObject values;
        for (const SignalDefinition &definition : definitions) {
            if (!holds(frame.data, definition))
                continue;
            const QVariant value = store.value(devId, definition.index);
            if (csv) {
                lines += QStringList { time, QString::number(devId), frameName,
                    SignalNames::name(definition.index),
                    SignalFormat::text(store, definition.index, value),
                    csvField(store.unit(definition.index)) }
                             .join(QLatin1Char(','))
                    + QLatin1Char('\n');
            } else {
                values.insert(SignalNames::name(definition.index),
                    SignalFormat::json(store, definition.index, value));
            }
        }
        if (!csv) {
            QJsonObject object;
            object.insert(QStringLiteral("time"), time);
            object.insert(QStringLiteral("id"), devId);
            object.insert(QStringLiteral("frame"), frameName);
            object.insert(QStringLiteral("signals"), values);
            lines = QString::fromUtf8(QJsonDocument(object).toJson(QJsonDocument::Compact))
                + QLatin1Char('\n');
        }
        batch += lines;
        if (batch.size() >= OutputBatchChars || !sinceOutput.isValid()
            || sinceOutput.elapsed() >= OutputEveryMs)
            output();
    }

    output();
    const SkippedLines &skipped = reader->skipped();
    skipped.report(console, path);
    console.note(QStringLiteral("%1: %2 frames decoded, %3 other frames, %4 skipped")
                     .arg(path)
                     .arg(decoded)
                     .arg(others)
                     .arg(skipped.count()));
    if (!reader->errorString().isEmpty()) {
        console.error(QStringLiteral("reading %1 stopped: %2").arg(path, reader->errorString()));
        return ExitStatus::of(Outcome::Failed);
    }
    return ExitStatus::of(skipped.isEmpty() ? Outcome::Done : Outcome::Partial);
}
