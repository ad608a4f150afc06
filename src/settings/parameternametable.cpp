#include "parameternametable.h"

#include "resource/resources.h"

#include <QFile>
#include <QTextCodec>

ParameterNameTable::ParameterNameTable()
{
    Resources::init();
    load(resourcePath());
}

ParameterNameTable::ParameterNameTable(const QString &path)
{
    load(path);
}

void ParameterNameTable::load(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return;
    // GB2312 bytes never fall in the ASCII range, so without the codec the English column still
    // reads right.
    QTextCodec *codec = QTextCodec::codecForName("GB2312");
    const QString text
        = codec ? codec->toUnicode(file.readAll()) : QString::fromLatin1(file.readAll());
    const QStringList lines = text.split(QLatin1Char('\n'));
    // The first line is the header; entries are numbered by position after it.
    for (int i = 1; i < lines.size(); ++i) {
        const QString line = lines.at(i).trimmed();
        if (line.isEmpty())
            continue;
        const QStringList fields = line.split(QLatin1Char(','));
        m_entries.append({ fields.value(1).trimmed(), fields.value(2).trimmed() });
    }
}

QString ParameterNameTable::english(quint32 id) const
{
    return id >= 1 && id <= quint32(m_entries.size()) ? m_entries.at(int(id - 1)).english
                                                      : QString();
}

QString ParameterNameTable::chinese(quint32 id) const
{
    return id >= 1 && id <= quint32(m_entries.size()) ? m_entries.at(int(id - 1)).chinese
                                                      : QString();
}
