#include "channelnumber.h"

int ChannelNumber::of(const QString &interfaceName)
{
    int digits = 0;
    while (digits < interfaceName.size() && digits < 5
        && interfaceName.at(interfaceName.size() - 1 - digits).isDigit())
        ++digits;
    bool ok = false;
    const int index = interfaceName.right(digits).toInt(&ok);
    return ok && index < MaxChannel ? index + 1 : 1;
}

QString ChannelNumber::interfaceName(int channel)
{
    return QStringLiteral("can%1").arg(qMax(1, channel) - 1);
}
