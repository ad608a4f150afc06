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
