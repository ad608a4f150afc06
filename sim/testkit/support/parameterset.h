#pragma once

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QString>

// The program reads its parameter set from setting/threshold.cfg beside the executable; a test
// puts the file it wants there before anything loads it.
namespace ParameterSet {

inline QString installedPath()
{
    return QCoreApplication::applicationDirPath() + QStringLiteral("/setting/threshold.cfg");
}

// The set shipped with the program.
inline QString shipped()
{
    return QStringLiteral(UPPER_SOURCE_DIR "/dist/setting/threshold.cfg");
}

// Copies source into place; an empty source leaves no file at all.
inline bool install(const QString &source)
{
    QDir().mkpath(QCoreApplication::applicationDirPath() + QStringLiteral("/setting"));
    QFile::remove(installedPath());
    return source.isEmpty() || QFile::copy(source, installedPath());
}

} // namespace ParameterSet
