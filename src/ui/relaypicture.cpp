#include "relaypicture.h"

#include "relayindex.h"

QString RelayPicture::path(int relay, bool isOn)
{
    switch (relay) {
    case RelayPrecharge:
        return isOn ? QStringLiteral(":/resource/Icon/prechargeon.png")
                    : QStringLiteral(":/resource/Icon/prechargeoff.png");
    case RelayMain2nd:
    case RelayCharge:
    case RelayDischarge:
        return isOn ? QStringLiteral(":/resource/Icon/relayon.png")
                    : QStringLiteral(":/resource/Icon/relayoff.png");
    default:
        return QString();
    }
}

QString RelayPicture::caption(int relay)
{
    switch (relay) {
    case RelayMain2nd:
        return tr("MAIN-2nd");
    case RelayCharge:
        return tr("CHARGE");
    case RelayDischarge:
        return tr("DISCHARGE");
    case RelayPrecharge:
        return tr("PRE-CHG");
    default:
        return QString();
    }
}
