#include "secretfile.h"

#include <QFileInfo>
#include <QStringList>

QString SecretFile::exposure(const QString &path, const QString &what)
{
#ifdef Q_OS_UNIX
    const QFileDevice::Permissions permissions = QFileInfo(path).permissions();
    QStringList readers;
    if (permissions & QFileDevice::ReadGroup)
        readers.append(QStringLiteral("its group"));
    if (permissions & QFileDevice::ReadOther)
        readers.append(QStringLiteral("every user"));
    if (readers.isEmpty())
        return QString();
    return QStringLiteral("%1 %2 may be read by %3: make it yours alone with chmod 600 %2")
        .arg(what, path, readers.join(QStringLiteral(" and ")));
#else
    Q_UNUSED(path)
    Q_UNUSED(what)
    return QString();
#endif
}
