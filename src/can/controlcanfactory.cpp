#include "controlcanfactory.h"

#include "canbusconfig.h"
#include "canbuscontrolcan.h"
#include "controlcanlibrary.h"
#include "log/logger.h"

#include <QCoreApplication>
#include <QFileInfo>

namespace {

std::optional<CanBusConfig> &chosenBusSetting()
{
    static std::optional<CanBusConfig> bus;
    return bus;
}

} // namespace

std::shared_ptr<ControlCanApi> ControlCanFactory::create()
{
    if (const std::optional<CanBusConfig> &bus = chosenBusSetting()) {
        auto substitute = std::make_shared<CanBusControlCan>(*bus);
        QLOG_INFO() << "ControlCanFactory::create: using the chosen bus,"
                    << substitute->description();
        return substitute;
    }

    const QStringList candidates = libraryCandidates();
    QString reason;
    std::shared_ptr<ControlCanApi> library = ControlCanLibrary::load(candidates, &reason);
    if (library) {
        QLOG_INFO() << "ControlCanFactory::create: using" << library->description();
        return library;
    }

    // No library at all is the normal case away from Windows; a library that is there but
    // unusable deserves a warning.
    const bool besideExecutable = QFileInfo::exists(candidates.constFirst());
    if (besideExecutable) {
        QLOG_WARN() << "ControlCanFactory::create: cannot use the ControlCAN library, reason:"
                    << reason;
    } else {
        QLOG_INFO() << "ControlCanFactory::create: no ControlCAN library, reason:" << reason;
    }
    auto substitute = std::make_shared<CanBusControlCan>(CanBusConfig::besideExecutable());
    QLOG_INFO() << "ControlCanFactory::create: using" << substitute->description();
    return substitute;
}

QStringList ControlCanFactory::libraryCandidates()
{
    const QString fileName = ControlCanLibrary::platformFileName();
    // QLibrary adds the platform's prefix and suffix to a bare name.
    return { QCoreApplication::applicationDirPath() + QLatin1Char('/') + fileName,
        QStringLiteral("ControlCAN") };
}

void ControlCanFactory::setChosenBus(const std::optional<CanBusConfig> &bus)
{
    chosenBusSetting() = bus;
}

std::optional<CanBusConfig> ControlCanFactory::chosenBus()
{
    return chosenBusSetting();
}
