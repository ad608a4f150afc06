#pragma once

#include <QByteArray>
#include <QMetaType>
#include <QtGlobal>

// One CAN frame, sent or received, as every part of the program above the adapters sees it:
// the identifier (29 bits when extended, 11 otherwise), up to 8 data bytes (none for a remote
// frame, which asks for data), and for a received frame the adapter's time stamp in units of
// 100 us, wrapping at 32 bits. The program's own traffic is all extended data frames, hence the
// defaults. Frames compare equal by what goes on the wire; the time stamp is not part of it.
struct CanFrame
{
    static constexpr int MaxDataLength = 8;

    quint32 id = 0;
    QByteArray data;
    bool extended = true;
    bool remote = false;
    quint32 timeStamp = 0;

    bool operator==(const CanFrame &other) const
    {
        return id == other.id && data == other.data && extended == other.extended
            && remote == other.remote;
    }
    bool operator!=(const CanFrame &other) const { return !(*this == other); }
};

Q_DECLARE_METATYPE(CanFrame)
