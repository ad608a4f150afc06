#pragma once

#include <QString>

// A file that holds a secret (a password) is for its owner's eyes: one that its group or every
// user may read gives the secret away on a shared machine. Such a file is still read, since
// refusing would break a running installation, but the user is told the fix.
class SecretFile
{
public:
    // A warning naming the file, who else may read it and the command that mends it; empty when
    // its owner alone may read it, and where files carry no such permissions (Windows).
    static QString exposure(const QString &path, const QString &what);
};
