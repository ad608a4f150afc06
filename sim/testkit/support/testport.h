#pragma once

#include <QHostAddress>
#include <QRandomGenerator>
#include <QTcpServer>

// A local port for a test's own virtual bus, chosen at run time so that test runs side by side
// on one machine do not meet on one bus. Ports are drawn below 32768: above it the system hands
// out the outgoing ends of connections, which could take the port between the choice and the
// bus's listen. The port is free when chosen; the bus then listens on it.
namespace TestPort {

inline quint16 pick()
{
    for (int attempt = 0; attempt < 200; ++attempt) {
        const auto port = quint16(QRandomGenerator::global()->bounded(20000, 32000));
        QTcpServer probe;
        if (probe.listen(QHostAddress::LocalHost, port))
            return port;
    }
    return 0;
}

} // namespace TestPort
