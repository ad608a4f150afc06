#pragma once

#include <QString>

// Where the broker is, as --broker gives it: mqtt://HOST[:PORT] (port 1883) or
// mqtts://HOST[:PORT] (TLS, port 8883). An IPv6 address is written in brackets
// (mqtt://[::1]:1883). Credentials have options of their own and are refused here, so that a
// password never stands on a command line.
struct BrokerAddress
{
    static constexpr int PlainPort = 1883;
    static constexpr int TlsPort = 8883;

    QString host;
    int port = PlainPort;
    bool tls = false;

    // False with the reason when the text is no broker address.
    static bool parse(const QString &text, BrokerAddress *address, QString *error);
    // "mqtts://broker.example:8883", for messages.
    QString text() const;
};
