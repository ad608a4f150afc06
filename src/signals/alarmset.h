#pragma once

#include <QList>
#include <QStringList>

#include <array>

class AbstractSignalValue;

// The protection signals the operator is shown, out of the two fault frames every battery
// broadcasts: the two-bit levels of frame 0x20180 (0 none, 1 alarm, 2 protection) and the
// one-bit flags of frame 0x20280 (1 active). The remaining signals of those frames are decoded
// and recorded but not counted: they are either spare or reported by the BMS elsewhere.
//
// Alarms holds each of them once, with its kind and its name. The top bar counts and names them
// from it, and the active-event dialog gets the level list, the flag list and the names drawn
// from it, so the three always agree. Within a kind, the order of Alarms is the order faults
// are listed in; the name list holds the level names first, then the flag names.
class AlarmSet
{
public:
    static constexpr int AlarmLevel = 1;
    static constexpr int ProtectionLevel = 2;
    static constexpr int FlagActive = 1;

    enum Kind {
        Level, // two bits: AlarmLevel or ProtectionLevel
        Flag, // one bit: FlagActive
    };

    struct Alarm
    {
        int signal;
        Kind kind;
        // Untranslated; shown through the top bar's translation context, NameContext.
        const char *name;
    };

    static constexpr const char *NameContext = "UiMainTop";
    static const std::array<Alarm, 21> Alarms;

    // The signals of one kind, in the order of Alarms.
    static QList<int> levelSignals();
    static QList<int> flagSignals();
    // The names of the levels, then those of the flags, translated in NameContext.
    static QStringList names();

    // Level signals at ProtectionLevel plus flags that are active. Any other value, such as a
    // level of 3 that two bits can carry but no BMS means, counts as nothing.
    static int protectionCount(const AbstractSignalValue &store, int devId,
        const QList<int> &levels, const QList<int> &flags);
    // Level signals at AlarmLevel.
    static int alarmCount(const AbstractSignalValue &store, int devId, const QList<int> &levels);
    // The translated names of what protectionCount (level ProtectionLevel) or alarmCount (level
    // AlarmLevel) counts for a battery, in the order of Alarms.
    static QStringList activeNames(const AbstractSignalValue &store, int devId, int level);
};
