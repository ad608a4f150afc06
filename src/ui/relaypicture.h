#pragma once

#include <QCoreApplication>
#include <QString>

// How every widget that draws relays shows one: its picture closed or open, and its caption.
// The pre-charge relay has pictures of its own (a relay with its resistor); the other three share
// the plain relay pictures. Relays are numbered as the relay command numbers them (RelayIndex).
class RelayPicture
{
    Q_DECLARE_TR_FUNCTIONS(RelayPicture)

public:
    // The resource path of the picture for the relay in that state; empty for a number outside
    // 0..3, which has no picture.
    static QString path(int relay, bool isOn);
    // The translated name shown under the picture; empty for a number outside 0..3.
    static QString caption(int relay);
};
