#pragma once

#include "settings/parameternametable.h"
#include "settings/thresholdsetting.h"

#include <QString>

// The BMS parameters as bmsctl shows and checks them: the program's parameter set (the same
// setting/threshold.cfg beside the executable that the window and its CAN service use) with each
// parameter's readable name, unit and the values its wire format can carry.
//
// A parameter travels as display value + offset in an unsigned 32-bit register, so the values a
// file may hold are those whose wire value lies in 0 .. 0xFFFFFFFF and that fit the service's
// signed 32-bit display value: 0 .. 2147483647 for offset 0, -40 .. 2147483647 for offset 40.
class ParameterCatalogue
{
public:
    // Loads the parameter set beside the executable.
    ParameterCatalogue();

    // False when the parameter set could not be loaded whole; errorString() says why.
    bool isValid() const { return m_error.isEmpty(); }
    QString errorString() const { return m_error; }

    int count() const;
    const ThresholdSettingItem &item(int position) const;
    // Position of the parameter with this id, or -1.
    int positionOf(quint32 paramId) const;

    // "<group title> / <item name>", e.g. "Cell Over Charge / ALARM".
    QString name(int position) const;
    qint64 minimum(int position) const;
    qint64 maximum(int position) const;

private:
    ThresholdSetting m_setting;
    ParameterNameTable m_names;
    QString m_error;
};
