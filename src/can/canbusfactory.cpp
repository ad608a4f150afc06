#include "canbusfactory.h"

#include "controlcan/controlcanbus.h"
#include "controlcan/controlcanlibrary.h"
#include "log/logger.h"
#include "qtcanbus/qtcanbus.h"
#include "slcan/slcanbus.h"

#include <QCoreApplication>
#include <QFileInfo>

namespace {

std::optional<CanBusConfig> &chosenBusSetting()
{
    static std::optional<CanBusConfig> bus;
    return bus;
}

} // namespace

CanBus *CanBusFactory::create()
{
    if (const std::optional<CanBusConfig> &bus = chosenBusSetting()) {
        CanBus *chosen = create(*bus);
        QLOG_INFO() << "CanBusFactory::create: using the chosen bus," << chosen->description();
        return chosen;
    }

    const QStringList candidates = libraryCandidates();
    QString reason;
    std::shared_ptr<ControlCanApi> library = ControlCanLibrary::load(candidates, &reason);
    if (library) {
        QLOG_INFO() << "CanBusFactory::create: using" << library->description();
        return new ControlCanBus(std::move(library));
    }

    // No library at all is the normal case away from Windows; a library that is there but
    // unusable deserves a warning.
    const bool besideExecutable = QFileInfo::exists(candidates.constFirst());
    if (besideExecutable) {
        QLOG_WARN() << "CanBusFactory::create: cannot use the ControlCAN library, reason:"
                    << reason;
    } else {
        QLOG_INFO() << "CanBusFactory::create: no ControlCAN library, reason:" << reason;
    }
    CanBus *configured = create(CanBusConfig::besideExecutable());
    QLOG_INFO() << "CanBusFactory::create: using" << configured->description();
    return configured;
}

CanBus *CanBusFactory::create(const CanBusConfig &config)
{
    if (config.plugin() == CanBusConfig::slcanPlugin())
        return new SlcanBus(config);
    return new QtCanBus(config);
}

QStringList CanBusFactory::libraryCandidates()
{
    const QString fileName = ControlCanLibrary::platformFileName();
    // QLibrary adds the platform's prefix and suffix to a bare name.
    return { QCoreApplication::applicationDirPath() + QLatin1Char('/') + fileName,
        QStringLiteral("ControlCAN") };
}

void CanBusFactory::setChosenBus(const std::optional<CanBusConfig> &bus)
{
    chosenBusSetting() = bus;
}

std::optional<CanBusConfig> CanBusFactory::chosenBus()
{
    return chosenBusSetting();
}
