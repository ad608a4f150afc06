#include "thresholdsetting.h"

#include "log/logger.h"

#include <QCoreApplication>
#include <QFile>
#include <QStringList>
#include <QTextStream>

namespace {

constexpr int FieldCount = 9;

// The file is edited by hand. A field that is not a number reads as 0 rather than failing the
// load: one typo should not take the whole parameter set away. Blanks around a number are
// tolerated like the blanks around the unit.
quint32 toUnsigned(const QString &field)
{
    bool ok = false;
    const quint32 value = field.trimmed().toUInt(&ok, 10);
    return ok ? value : 0;
}

qint32 toSigned(const QString &field)
{
    bool ok = false;
    const qint32 value = field.trimmed().toInt(&ok, 10);
    return ok ? value : 0;
}

ThresholdSettingItem itemFromFields(const QStringList &fields)
{
    ThresholdSettingItem item;
    item.number = toUnsigned(fields.at(0));
    item.groupIndex = toUnsigned(fields.at(1));
    item.groupNameId = toUnsigned(fields.at(2));
    item.rowIndex = toUnsigned(fields.at(3));
    item.nameId = toUnsigned(fields.at(4));
    item.unit = fields.at(5).trimmed();
    item.defaultValue = toSigned(fields.at(6));
    item.paramId = toUnsigned(fields.at(7));
    item.offset = toUnsigned(fields.at(8));
    return item;
}

void registerItemType()
{
    // Pages receive items through queued signals, which need the type registered by name.
    static const int id = qRegisterMetaType<ThresholdSettingItem>("ThresholdSettingItem");
    Q_UNUSED(id)
}

} // namespace

ThresholdSetting::ThresholdSetting(QObject *parent)
    : QObject(parent)
{
    registerItemType();
    // The result is only of interest to the log, which loadSetting() already wrote.
    loadSetting(filePath());
}

QString ThresholdSetting::filePath()
{
    return QCoreApplication::applicationDirPath() + QStringLiteral("/setting/threshold.cfg");
}

int ThresholdSetting::loadSetting(const QString &path)
{
    m_items.clear();

    QFile file(path);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text)) {
        QLOG_ERROR() << "ThresholdSetting::loadSetting: failed to open config file:" << path;
        return LoadOpenFailed;
    }

    QTextStream stream(&file);
    stream.setCodec("UTF-8");
    while (!stream.atEnd()) {
        const QString line = stream.readLine().trimmed();
        // An empty line closes the table: whatever follows it is notes, not parameters.
        if (line.isEmpty())
            break;
        const QStringList fields = line.split(QLatin1Char(','), Qt::KeepEmptyParts);
        if (fields.size() != FieldCount) {
            QLOG_ERROR() << "ThresholdSetting::loadSetting: load setting file error:" << line;
            return LoadFormatError;
        }
        m_items.append(itemFromFields(fields));
    }
    return LoadOk;
}

int ThresholdSetting::indexOfParam(uchar id) const
{
    const int count = qMin(m_items.size(), ParameterCount);
    for (int i = 0; i < count; ++i) {
        if (m_items.at(i).paramId == id)
            return i;
    }
    return -1;
}
