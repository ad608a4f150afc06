#include "brokeraddress.h"

#include <QUrl>

bool BrokerAddress::parse(const QString &text, BrokerAddress *address, QString *error)
{
    const QUrl url(text, QUrl::StrictMode);
    const QString scheme = url.scheme().toLower();
    if (!url.isValid() || (scheme != QLatin1String("mqtt") && scheme != QLatin1String("mqtts"))
        || url.host().isEmpty()) {
        *error = QStringLiteral("--broker takes mqtt://HOST[:PORT] or mqtts://HOST[:PORT]: %1")
                     .arg(text);
        return false;
    }
    if (!url.userInfo().isEmpty()) {
        *error = QStringLiteral("--broker takes no user name or password; use --username and "
                                "--password-file");
        return false;
    }
    if (!url.path().isEmpty() && url.path() != QLatin1String("/")) {
        *error = QStringLiteral("--broker takes no path: %1").arg(text);
        return false;
    }
    const bool tls = scheme == QLatin1String("mqtts");
    const int port = url.port(tls ? TlsPort : PlainPort);
    if (port < 1) {
        *error = QStringLiteral("--broker names no port from 1 to 65535: %1").arg(text);
        return false;
    }
    address->tls = tls;
    address->host = url.host();
    address->port = port;
    return true;
}

QString BrokerAddress::text() const
{
    const QString shownHost
        = host.contains(QLatin1Char(':')) ? QStringLiteral("[%1]").arg(host) : host;
    return QStringLiteral("%1://%2:%3")
        .arg(tls ? QStringLiteral("mqtts") : QStringLiteral("mqtt"), shownHost)
        .arg(port);
}
