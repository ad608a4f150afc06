#pragma once

#include <QDir>
#include <QFile>
#include <QString>
#include <QTemporaryDir>

#ifdef Q_OS_UNIX
#include <csignal>
#include <sys/resource.h>
#endif

// Ways to make saving fail for real, without a special file system.
namespace FailingFiles {

// Writes that take any file of the process past a size fail from then on, as they do on a full
// disk: the process's file size limit (RLIMIT_FSIZE, which binds root too) with SIGXFSZ
// ignored, so that write() returns an error instead of ending the process. The previous limit
// comes back when the object goes.
class DiskFullAfter
{
public:
    explicit DiskFullAfter(qint64 bytes)
    {
#ifdef Q_OS_UNIX
        m_oldHandler = std::signal(SIGXFSZ, SIG_IGN);
        if (getrlimit(RLIMIT_FSIZE, &m_old) == 0) {
            rlimit limit = m_old;
            limit.rlim_cur = rlim_t(bytes);
            m_active = setrlimit(RLIMIT_FSIZE, &limit) == 0;
        }
#else
        Q_UNUSED(bytes)
#endif
    }
    ~DiskFullAfter()
    {
#ifdef Q_OS_UNIX
        if (m_active)
            setrlimit(RLIMIT_FSIZE, &m_old);
        std::signal(SIGXFSZ, m_oldHandler);
#endif
    }
    bool isActive() const
    {
        return m_active;
    }

private:
    bool m_active = false;
#ifdef Q_OS_UNIX
    rlimit m_old {};
    void (*m_oldHandler)(int) = nullptr;
#endif
};

// A folder where no file can be made: a folder of the test's without write permission, or,
// where permissions do not bind (tests running as root), /proc. Empty when there is none.
inline QString unwritableFolder(const QTemporaryDir &scratch)
{
    const QString folder = scratch.filePath(QStringLiteral("read-only"));
    QDir().mkpath(folder);
    QFile::setPermissions(folder, QFileDevice::ReadOwner | QFileDevice::ExeOwner);
    QFile probe(folder + QStringLiteral("/probe"));
    if (!probe.open(QIODevice::WriteOnly))
        return folder;
    probe.close();
    probe.remove();
    if (QDir(QStringLiteral("/proc")).exists()) {
        QFile procProbe(QStringLiteral("/proc/upper-computer-probe"));
        if (!procProbe.open(QIODevice::WriteOnly))
            return QStringLiteral("/proc");
    }
    return QString();
}

// Files in a folder other than the expected ones: leftovers of a save.
inline QStringList filesIn(const QString &folder)
{
    return QDir(folder).entryList(QDir::Files | QDir::Hidden | QDir::System, QDir::Name);
}

} // namespace FailingFiles
