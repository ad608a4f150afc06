#include "canbusconfig.h"

#include <QCanBus>
#include <QCanBusDevice>
#include <QCoreApplication>
#include <QFileInfo>
#include <QSettings>

CanBusConfig::CanBusConfig()
    : CanBusConfig(defaultPlugin(), defaultInterface())
{ }

CanBusConfig::CanBusConfig(const QString &plugin, const QString &interfaceName)
    : m_plugin(plugin)
    , m_interfaceName(interfaceName)
{ }

CanBusConfig CanBusConfig::fromFile(const QString &path)
{
    CanBusConfig config;
    // QSettings would happily report defaults for a missing file too, but saying so explicitly
    // keeps it from ever creating one.
    if (!QFileInfo::exists(path))
        return config;
    const QSettings settings(path, QSettings::IniFormat);
    const QString plugin = settings.value(QStringLiteral("plugin")).toString().trimmed();
    const QString interfaceName = settings.value(QStringLiteral("interface")).toString().trimmed();
    if (!plugin.isEmpty())
        config.m_plugin = plugin;
    if (!interfaceName.isEmpty())
        config.m_interfaceName = interfaceName;
    bool ok = false;
    const int serialSpeed = settings.value(QStringLiteral("serialspeed")).toInt(&ok);
    if (ok && serialSpeed > 0)
        config.m_serialSpeed = serialSpeed;
    return config;
}

CanBusConfig CanBusConfig::besideExecutable()
{
    return fromFile(filePathBesideExecutable());
}

QString CanBusConfig::filePathBesideExecutable()
{
    return QCoreApplication::applicationDirPath() + QLatin1Char('/') + fileName();
}

QString CanBusConfig::description() const
{
    return QStringLiteral("%1 %2").arg(m_plugin, m_interfaceName);
}

std::unique_ptr<QCanBusDevice> CanBusConfig::createDevice(QString *errorString) const
{
    QString reason;
    std::unique_ptr<QCanBusDevice> device(
        QCanBus::instance()->createDevice(m_plugin, m_interfaceName, &reason));
    if (!device && reason.isEmpty())
        reason = QStringLiteral("no CAN bus plugin \"%1\"").arg(m_plugin);
    if (errorString)
        *errorString = reason;
    return device;
}

bool CanBusConfig::operator==(const CanBusConfig &other) const
{
    return m_plugin == other.m_plugin && m_interfaceName == other.m_interfaceName
        && m_serialSpeed == other.m_serialSpeed;
}
