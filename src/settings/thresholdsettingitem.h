#pragma once

#include <QMetaType>
#include <QString>

// One BMS parameter as described by a line of setting/threshold.cfg. The fields are declared in
// the order of the file's columns so that the parser and the file read alike.
//
// Display and wire values relate as wire = display + offset and display = wire - offset, both in
// 32-bit two's-complement arithmetic: the offset lets signed quantities such as temperatures
// travel in the BMS's unsigned registers.
struct ThresholdSettingItem
{
    quint32 number = 0; // item number; kept for the record, nothing reads it
    quint32 groupIndex = 0; // 0-based parameter group
    quint32 groupNameId = 0; // id of the group title in the parameter name table
    quint32 rowIndex = 0; // 0-based position inside the group
    quint32 nameId = 0; // id of the item name in the parameter name table
    QString unit;
    qint32 defaultValue = 0; // factory default in display units
    // The wire carries one byte; the whole field is compared so that an item with an id above
    // 255 never matches a received id instead of matching its low byte.
    quint32 paramId = 0;
    quint32 offset = 0;
};

Q_DECLARE_METATYPE(ThresholdSettingItem)
