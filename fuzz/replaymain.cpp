// Feeds every file of the given corpus folders (or single files) to the fuzz target once: the
// test suite's replay of what the fuzzers found and of the seeds. A finding that still crashes
// aborts under the sanitizers.
#include "fuzztarget.h"

#include <QDirIterator>
#include <QFileInfo>
#include <QStringList>

#include <cstdio>

int main(int argc, char *argv[])
{
    QStringList files;
    for (int i = 1; i < argc; ++i) {
        const QString path = QString::fromLocal8Bit(argv[i]);
        if (QFileInfo(path).isDir()) {
            QDirIterator it(path, QDir::Files, QDirIterator::Subdirectories);
            while (it.hasNext())
                files << it.next();
        } else {
            files << path;
        }
    }
    files.sort();
    if (files.isEmpty()) {
        std::fprintf(stderr, "no corpus files given\n");
        return 1;
    }
    for (const QString &path : qAsConst(files)) {
        QFile file(path);
        if (!file.open(QIODevice::ReadOnly)) {
            std::fprintf(stderr, "cannot read %s\n", qPrintable(path));
            return 1;
        }
        const QByteArray input = file.readAll();
        LLVMFuzzerTestOneInput(
            reinterpret_cast<const std::uint8_t *>(input.constData()), std::size_t(input.size()));
    }
    std::printf("replayed %d inputs\n", int(files.size()));
    return 0;
}
