#include "imageversion.h"

#include "srecord.h"

#include <QVector>

QByteArray ImageVersion::ofBin(const QByteArray &binData)
{
    QByteArray version = binData.mid(BinTagSize, Size);
    version.append(QByteArray(Size - version.size(), '\0'));
    return version;
}

QByteArray ImageVersion::ofS19(const QStringList &s19Data)
{
    QVector<SRecord> records;
    bool anchored = false;
    quint32 start = 0;
    for (const QString &line : s19Data) {
        SRecord record;
        const QByteArray text = line.toLatin1();
        if (!SRecord::parse(text, &record).isEmpty() || record.type < '1' || record.type > '3')
            continue;
        if (!anchored && text.mid(4, 2) == "08") {
            anchored = true;
            start = record.address + BootVersionSize;
        }
        records.append(record);
    }
    QByteArray version(Size, '\0');
    if (!anchored)
        return version;
    for (const SRecord &record : qAsConst(records)) {
        for (int i = 0; i < Size; ++i) {
            const quint64 address = quint64(start) + quint64(i);
            if (address >= record.address && address < quint64(record.address) + record.data.size())
                version[i] = record.data.at(int(address - record.address));
        }
    }
    return version;
}
