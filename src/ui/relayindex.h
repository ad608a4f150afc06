#pragma once

#include <QMetaType>

// The four relays a battery lets the host switch, numbered as the relay command numbers them.
enum RelayIndex {
    RelayMain2nd = 0,
    RelayCharge = 1,
    RelayDischarge = 2,
    RelayPrecharge = 3,
};

Q_DECLARE_METATYPE(RelayIndex)
