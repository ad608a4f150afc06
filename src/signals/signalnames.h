#pragma once

#include <QString>
#include <QStringList>

// The names of the catalogue's signals and frame kinds as text, for tools that address values by
// name (command lines, exported databases, decoded logs). A signal's name is the name of its
// Signal::Index enumerator, which is a plain identifier (SumVolt, ChargeHiTemp, Volt16); the
// flags that have no enumerator of their own are Flags5Bit<b> and Flags6Bit<b>. Frame kinds are
// named after their FrameKey enumerator (PackStatus, CellVolts1to4).
class SignalNames
{
public:
    // Empty for an index outside the catalogue.
    static QString name(int index);
    // All names, indexed by signal index.
    static const QStringList &names();
    // The index of a name, compared without regard to case and surrounding blanks; -1 if none.
    static int indexOf(const QString &name);
    // Empty for a key outside the catalogue.
    static QString frameName(quint32 frameKey);
};
