#pragma once

#include <QByteArray>
#include <QtGlobal>

// One frame as the host sends it or a battery answers: the 29-bit identifier and the data.
struct CanFrame
{
    quint32 id = 0;
    QByteArray data;

    bool operator==(const CanFrame &other) const { return id == other.id && data == other.data; }
    bool operator!=(const CanFrame &other) const { return !(*this == other); }
};
