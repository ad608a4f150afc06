#include "logformat.h"

#include "formats/ascline.h"
#include "formats/asclogwriter.h"
#include "formats/blflogreader.h"
#include "formats/blflogwriter.h"
#include "formats/candumplogreader.h"
#include "formats/candumplogwriter.h"
#include "formats/linecodeclogreader.h"
#include "formats/textlogreader.h"
#include "formats/trcline.h"
#include "formats/trclogwriter.h"

#include <QFile>
#include <QFileInfo>

namespace {

struct Entry
{
    LogFormat::Kind kind;
    const char *name;
    const char *extension;
};

constexpr Entry Entries[] = {
    { LogFormat::Candump, "candump", "log" },
    { LogFormat::Asc, "asc", "asc" },
    { LogFormat::Trc, "trc", "trc" },
    { LogFormat::Blf, "blf", "blf" },
};

} // namespace

QString LogFormat::name(Kind kind)
{
    for (const Entry &entry : Entries) {
        if (entry.kind == kind)
            return QString::fromLatin1(entry.name);
    }
    return {};
}

std::optional<LogFormat::Kind> LogFormat::fromName(const QString &name)
{
    for (const Entry &entry : Entries) {
        if (name.compare(QLatin1String(entry.name), Qt::CaseInsensitive) == 0)
            return entry.kind;
    }
    return std::nullopt;
}

QStringList LogFormat::names()
{
    QStringList names;
    for (const Entry &entry : Entries)
        names.append(QString::fromLatin1(entry.name));
    return names;
}

std::optional<LogFormat::Kind> LogFormat::fromExtension(const QString &path)
{
    const QString suffix = QFileInfo(path).suffix();
    for (const Entry &entry : Entries) {
        if (suffix.compare(QLatin1String(entry.extension), Qt::CaseInsensitive) == 0)
            return entry.kind;
    }
    return std::nullopt;
}

LogFormat::Kind LogFormat::detect(const QString &path)
{
    if (const std::optional<Kind> kind = fromExtension(path))
        return *kind;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return Candump;
    if (file.peek(4) == "LOGG")
        return Blf;
    QByteArray line;
    while (line.isEmpty() && !file.atEnd())
        line = file.readLine(TextLogReader::MaxLineBytes).trimmed();
    if (line.startsWith(';'))
        return Trc;
    for (const char *start : { "date ", "base ", "Begin ", "//" }) {
        if (line.startsWith(start))
            return Asc;
    }
    return Candump;
}

std::unique_ptr<LogReader> LogFormat::reader(Kind kind)
{
    switch (kind) {
    case Asc:
        return std::make_unique<LineCodecLogReader<AscLine>>();
    case Trc:
        return std::make_unique<LineCodecLogReader<TrcLine>>();
    case Blf:
        return std::make_unique<BlfLogReader>();
    case Candump:
        break;
    }
    return std::make_unique<CandumpLogReader>();
}

std::unique_ptr<LogWriter> LogFormat::writer(Kind kind)
{
    switch (kind) {
    case Asc:
        return std::make_unique<AscLogWriter>();
    case Trc:
        return std::make_unique<TrcLogWriter>();
    case Blf:
        return std::make_unique<BlfLogWriter>();
    case Candump:
        break;
    }
    return std::make_unique<CandumpLogWriter>();
}
