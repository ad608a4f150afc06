#include "processtimezone.h"

#include <QByteArray>
#include <QFile>
#include <QString>

namespace QsLogging {

void ProcessTimeZone::keepTheStartingZone()
{
#if defined(__GLIBC__)
    const QString zoneFile = QStringLiteral("/etc/localtime");
    if (!qEnvironmentVariableIsSet("TZ") && QFile::exists(zoneFile))
        qputenv("TZ", QByteArray(":") + zoneFile.toLatin1());
#endif
}

} // namespace QsLogging
