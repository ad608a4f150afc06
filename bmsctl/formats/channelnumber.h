#pragma once

#include <QString>

// The bus a frame was logged on. A candump log names the interface ("can0"); the other formats
// number their channels from 1. Channel n is interface "can<n-1>" and back, so that a log
// converted from one format to another and back keeps its buses apart; an interface name
// without a number at its end counts as channel 1.
class ChannelNumber
{
public:
    static constexpr int MaxChannel = 65535;

    // 1-based.
    static int of(const QString &interfaceName);
    static QString interfaceName(int channel);
};
