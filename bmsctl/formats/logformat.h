#pragma once

#include "formats/logreader.h"
#include "formats/logwriter.h"

#include <QString>
#include <QStringList>

#include <memory>
#include <optional>

// The traffic log formats bmsctl reads and writes, and how a file's format is told: by its
// extension, else by its first bytes.
class LogFormat
{
public:
    enum Kind { Candump, Asc, Trc, Blf };

    // "candump", "asc", "trc", "blf", for options and messages; and back (any case).
    static QString name(Kind kind);
    static std::optional<Kind> fromName(const QString &name);
    static QStringList names();

    // By the file's extension (.log a candump log, .asc, .trc, .blf); none for another one.
    static std::optional<Kind> fromExtension(const QString &path);
    // By the extension, else by the first bytes of the file: "LOGG" a BLF log; a first line that
    // is not blank beginning with ';' a TRC log, with "date", "base", "Begin" or "//" an ASC
    // log; a candump log when nothing else fits or the file cannot be read (opening it then
    // says why).
    static Kind detect(const QString &path);

    static std::unique_ptr<LogReader> reader(Kind kind);
    static std::unique_ptr<LogWriter> writer(Kind kind);
};
