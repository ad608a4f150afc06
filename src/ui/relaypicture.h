#pragma once

#include <QString>

// The artwork that shows a relay closed or open, for every widget that draws relays. The
// pre-charge relay has pictures of its own (a relay with its resistor); the other three share
// the plain relay pictures. Relays are numbered as the relay command numbers them (RelayIndex).
class RelayPicture
{
public:
    // The resource path of the picture for the relay in that state; empty for a number outside
    // 0..3, which has no picture.
    static QString path(int relay, bool isOn);
};
