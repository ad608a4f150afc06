#pragma once

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <cstddef>
#include <cstdint>

// What every fuzz target shares. A target defines LLVMFuzzerTestOneInput; under ./fuzz.sh it is
// driven by libFuzzer, in the test suite by replaymain.cpp over its seed corpus.
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size);

namespace Fuzz {

// The application object the program's classes expect, made once per process.
inline QCoreApplication &application()
{
    static int argc = 1;
    static char name[] = "fuzz";
    static char *argv[] = { name, nullptr };
    static QCoreApplication *const app = new QCoreApplication(argc, argv);
    return *app;
}

// A scratch folder for inputs that the code under test reads from files.
inline QString scratchFile(const QString &name)
{
    static QTemporaryDir *const dir = new QTemporaryDir;
    return dir->filePath(name);
}

inline void writeFile(const QString &path, const std::uint8_t *data, std::size_t size)
{
    QFile file(path);
    if (file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        file.write(reinterpret_cast<const char *>(data), qint64(size));
}

} // namespace Fuzz
