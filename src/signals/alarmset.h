#pragma once

#include <QList>

class AbstractSignalValue;

// The protection signals the operator is shown, out of the two fault frames every battery
// broadcasts: the two-bit levels of frame 0x20180 (0 none, 1 alarm, 2 protection) and the
// one-bit flags of frame 0x20280 (1 active). The remaining signals of those frames are decoded
// and recorded but not counted: they are either spare or reported by the BMS elsewhere.
//
// The order of both lists is the order faults are listed in, and the order of the names the
// top bar gives them (level names first, then flag names).
class AlarmSet
{
public:
    static constexpr int AlarmLevel = 1;
    static constexpr int ProtectionLevel = 2;
    static constexpr int FlagActive = 1;

    static QList<int> levelSignals();
    static QList<int> flagSignals();

    // Level signals at ProtectionLevel plus flags that are active. Any other value, such as a
    // level of 3 that two bits can carry but no BMS means, counts as nothing.
    static int protectionCount(const AbstractSignalValue &store, int devId,
        const QList<int> &levels, const QList<int> &flags);
    // Level signals at AlarmLevel.
    static int alarmCount(const AbstractSignalValue &store, int devId, const QList<int> &levels);
};
