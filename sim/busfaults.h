#pragma once

#include <QCommandLineOption>
#include <QList>
#include <QString>

class QCommandLineParser;

// The simulator's faults of the bus traffic itself, beside those of SimOptions:
//
//   --duplicate-replies   every reply of a fault pack goes out twice, back to back
//   --reply-as N          a fault pack answers under device number N (0 to 255) instead of its
//                         own, as a battery with a wrong address setting would; its broadcasts
//                         keep its own number
//   --stray-packs LIST    batteries under device numbers 28 to 255, which the host must ignore:
//                         they broadcast like the others and answer what is addressed to them
//   --burst FACTOR        broadcast frames at FACTOR times the frame rate the bus carries (the
//                         8-byte extended frames of 131 bits a second that --bitrate allows), as
//                         an adapter buffer draining at once or a bus faster than its setting
//                         would deliver them; the frames repeat the batteries' latest
//                         broadcasts and pass by the bus's capacity model
//   --burst-after S       ... starting S seconds after start (default 0)
//   --burst-for S         ... for S seconds (default: for good)
struct BusFaults
{
    bool duplicateReplies = false;
    int replyAs = -1; // -1: every battery answers under its own number
    QList<int> strayPacks;
    double burstFactor = 0.0; // 0: no burst
    double burstAfterS = 0.0;
    double burstForS = 1e12;

    static QList<QCommandLineOption> commandLineOptions();
    bool read(const QCommandLineParser &parser, QString *error);

    // Whether the burst runs at this many seconds after start.
    bool bursting(double seconds) const
    {
        return burstFactor > 0.0 && seconds >= burstAfterS && seconds < burstAfterS + burstForS;
    }
};
