#pragma once

#include <QByteArray>
#include <QString>

// A password kept in a file, so that it never stands on a command line: the file's first line,
// without its line end (spaces belong to the password).
namespace PasswordFile {

// False with the reason when the file cannot be read or holds no password. *exposure: a warning
// when others than its owner may read the file (SecretFile::exposure), else empty.
bool read(const QString &path, QByteArray *password, QString *error, QString *exposure);

} // namespace PasswordFile
