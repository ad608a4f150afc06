#pragma once

#include <QByteArray>
#include <QString>

class CanService;

// What a battery says it is: firmware version, serial (battery) code and model code, read
// through the CAN service. A text that did not come is empty and its result code is kept.
struct BatteryIdentity
{
    QString firmware;
    QString serial;
    QString model;
    int firmwareResult = -1;
    int serialResult = -1;
    int modelResult = -1;

    bool answered() const { return firmwareResult == 0 || serialResult == 0 || modelResult == 0; }

    static BatteryIdentity read(CanService *service, int devId);
    // The text of a fixed-size field: up to its first zero byte, blanks trimmed.
    static QString fieldText(const QByteArray &field);
};
