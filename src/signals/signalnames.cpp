#include "signalnames.h"

#include "signals/framekey.h"
#include "signals/signalindex.h"

#include <QHash>
#include <QMetaEnum>

#include <limits>

namespace {

constexpr int FlagsPerFrame = 32;

const QStringList &allNames()
{
    static const QStringList names = [] {
        const QMetaEnum signalIndex = QMetaEnum::fromType<Signal::Index>();
        QStringList list;
        for (int index = 0; index < Signal::Flags5Bit0; ++index)
            list.append(QString::fromLatin1(signalIndex.valueToKey(index)));
        // Only the first and last flag of each flag frame have enumerators of their own.
        for (int b = 0; b < FlagsPerFrame; ++b)
            list.append(QStringLiteral("Flags5Bit%1").arg(b));
        for (int b = 0; b < FlagsPerFrame; ++b)
            list.append(QStringLiteral("Flags6Bit%1").arg(b));
        return list;
    }();
    return names;
}

const QHash<QString, int> &indexByLowerName()
{
    static const QHash<QString, int> byName = [] {
        QHash<QString, int> hash;
        const QStringList &names = allNames();
        for (int i = 0; i < names.size(); ++i)
            hash.insert(names.at(i).toLower(), i);
        return hash;
    }();
    return byName;
}

} // namespace

QString SignalNames::name(int index)
{
    return allNames().value(index);
}

const QStringList &SignalNames::names()
{
    return allNames();
}

int SignalNames::indexOf(const QString &name)
{
    return indexByLowerName().value(name.trimmed().toLower(), -1);
}

QString SignalNames::frameName(quint32 frameKey)
{
    // Every key of the catalogue fits an int, and no enumerator is negative.
    if (frameKey > quint32(std::numeric_limits<int>::max()))
        return QString();
    return QString::fromLatin1(QMetaEnum::fromType<FrameKey::Key>().valueToKey(int(frameKey)));
}
