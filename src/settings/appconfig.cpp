#include "appconfig.h"

#include <QCoreApplication>
#include <QSettings>

namespace {

QString readValue(const QString &key)
{
    QSettings settings(AppConfig::filePath(), QSettings::IniFormat);
    return settings.value(key).toString();
}

void writeValue(const QString &key, const QString &value)
{
    QSettings settings(AppConfig::filePath(), QSettings::IniFormat);
    settings.setValue(key, value);
}

// "1" switches a feature on; any other value is repaired to "0".
bool readSwitch(const QString &key, const QString &value)
{
    if (value == QLatin1String("1"))
        return true;
    writeValue(key, QStringLiteral("0"));
    return false;
}

} // namespace

QString AppConfig::filePath()
{
    return QCoreApplication::applicationDirPath() + QStringLiteral("/config.txt");
}

bool AppConfig::readChineseLanguage()
{
    const QString key = QStringLiteral("language");
    return readSwitch(key, readValue(key).toLower());
}

QString AppConfig::readTitle()
{
    const QString key = QStringLiteral("title");
    QString title = readValue(key);
    if (title.isEmpty()) {
        title = QStringLiteral("ZELKOR_Upper_Computer");
        writeValue(key, title);
    }
    return title;
}

bool AppConfig::readProductEntry()
{
    const QString key = QStringLiteral("product");
    return readSwitch(key, readValue(key));
}

QString AppConfig::version()
{
    return QStringLiteral("V1.03.12");
}

QString AppConfig::windowTitle()
{
    return QStringLiteral("%1 %2").arg(readTitle(), version());
}
