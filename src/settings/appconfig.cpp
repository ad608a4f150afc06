#include "appconfig.h"

#include <QCoreApplication>
#include <QFile>
#include <QSettings>

namespace {

// The value of a top-level key as it stands in the file, for values that the INI format reads
// as something other than one text. Top-level keys sit in [General], or before any section in a
// file written by hand.
QString rawValue(const QString &key)
{
    QFile file(AppConfig::filePath());
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text))
        return QString();
    bool topLevel = true;
    while (!file.atEnd()) {
        const QString line = QString::fromUtf8(file.readLine()).trimmed();
        if (line.startsWith(QLatin1Char('['))) {
            topLevel = line.compare(QLatin1String("[General]"), Qt::CaseInsensitive) == 0;
            continue;
        }
        const int equals = line.indexOf(QLatin1Char('='));
        if (topLevel && equals > 0 && line.left(equals).trimmed() == key)
            return line.mid(equals + 1).trimmed();
    }
    return QString();
}

QString readValue(const QString &key)
{
    QSettings settings(AppConfig::filePath(), QSettings::IniFormat);
    const QVariant value = settings.value(key);
    // A value written by hand with a comma in it ("Pack A, Rack 2") reads as a list, which
    // would turn into an empty text and be repaired over the user's value.
    if (value.userType() == QMetaType::QStringList)
        return rawValue(key);
    return value.toString();
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

bool AppConfig::readAllPages()
{
    return readValue(QStringLiteral("pages")) == QLatin1String("all");
}

QString AppConfig::version()
{
    // From the project version in CMakeLists.txt (src/settings/CMakeLists.txt writes it).
    return QStringLiteral(UPPER_VERSION_TEXT);
}

QString AppConfig::windowTitle()
{
    return QStringLiteral("%1 %2").arg(readTitle(), version());
}
