#include "passwordfile.h"

#include "cli/secretfile.h"

#include <QFile>

bool PasswordFile::read(
    const QString &path, QByteArray *password, QString *error, QString *exposure)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        *error
            = QStringLiteral("cannot read the password file %1: %2").arg(path, file.errorString());
        return false;
    }
    *exposure = SecretFile::exposure(path, QStringLiteral("the password file"));
    *password = file.readLine();
    while (password->endsWith('\n') || password->endsWith('\r'))
        password->chop(1);
    if (password->isEmpty()) {
        *error = QStringLiteral("the password file %1 holds no password").arg(path);
        return false;
    }
    return true;
}
