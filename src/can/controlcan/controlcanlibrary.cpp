#include "controlcanlibrary.h"

#include <QLibrary>

QString ControlCanLibrary::platformFileName()
{
#if defined(Q_OS_WIN)
    return QStringLiteral("ControlCAN.dll");
#elif defined(Q_OS_MACOS)
    return QStringLiteral("libControlCAN.dylib");
#else
    return QStringLiteral("libControlCAN.so");
#endif
}

std::unique_ptr<ControlCanLibrary> ControlCanLibrary::load(
    const QStringList &candidates, QString *errorString)
{
    QStringList reasons;
    for (const QString &candidate : candidates) {
        auto library = std::make_unique<QLibrary>(candidate);
        if (!library->load()) {
            reasons << library->errorString();
            continue;
        }
        ControlCanSymbols symbols;
        if (!symbols.resolve(*library)) {
            reasons << symbols.errorString();
            // Other handles to the same file may exist (a test's), so only this one is dropped.
            library->unload();
            continue;
        }
        return std::unique_ptr<ControlCanLibrary>(
            new ControlCanLibrary(std::move(library), symbols));
    }
    if (errorString)
        *errorString = candidates.isEmpty() ? QStringLiteral("no candidate given")
                                            : reasons.join(QLatin1Char('\n'));
    return nullptr;
}

ControlCanLibrary::ControlCanLibrary(
    std::unique_ptr<QLibrary> library, const ControlCanSymbols &symbols)
    : m_library(std::move(library))
    , m_symbols(symbols)
{ }

// Deliberately no unload(): see the class comment.
ControlCanLibrary::~ControlCanLibrary() = default;

QString ControlCanLibrary::fileName() const
{
    return m_library->fileName();
}

std::uint32_t ControlCanLibrary::openDevice(
    std::uint32_t deviceType, std::uint32_t deviceIndex, std::uint32_t reserved)
{
    return m_symbols.openDevice(deviceType, deviceIndex, reserved);
}

std::uint32_t ControlCanLibrary::closeDevice(std::uint32_t deviceType, std::uint32_t deviceIndex)
{
    return m_symbols.closeDevice(deviceType, deviceIndex);
}

std::uint32_t ControlCanLibrary::initCan(std::uint32_t deviceType, std::uint32_t deviceIndex,
    std::uint32_t channel, VCI_INIT_CONFIG *config)
{
    return m_symbols.initCan(deviceType, deviceIndex, channel, config);
}

std::uint32_t ControlCanLibrary::setReference(std::uint32_t deviceType, std::uint32_t deviceIndex,
    std::uint32_t channel, std::uint32_t referenceType, void *data)
{
    return m_symbols.setReference(deviceType, deviceIndex, channel, referenceType, data);
}

std::uint32_t ControlCanLibrary::clearBuffer(
    std::uint32_t deviceType, std::uint32_t deviceIndex, std::uint32_t channel)
{
    return m_symbols.clearBuffer(deviceType, deviceIndex, channel);
}

std::uint32_t ControlCanLibrary::startCan(
    std::uint32_t deviceType, std::uint32_t deviceIndex, std::uint32_t channel)
{
    return m_symbols.startCan(deviceType, deviceIndex, channel);
}

std::uint32_t ControlCanLibrary::transmit(std::uint32_t deviceType, std::uint32_t deviceIndex,
    std::uint32_t channel, VCI_CAN_OBJ *frames, std::uint32_t count)
{
    return m_symbols.transmit(deviceType, deviceIndex, channel, frames, count);
}

std::uint32_t ControlCanLibrary::receive(std::uint32_t deviceType, std::uint32_t deviceIndex,
    std::uint32_t channel, VCI_CAN_OBJ *frames, std::uint32_t length, std::int32_t waitTime)
{
    return m_symbols.receive(deviceType, deviceIndex, channel, frames, length, waitTime);
}

std::uint32_t ControlCanLibrary::readErrInfo(std::uint32_t deviceType, std::uint32_t deviceIndex,
    std::uint32_t channel, VCI_ERR_INFO *errorInfo)
{
    return m_symbols.readErrInfo(deviceType, deviceIndex, channel, errorInfo);
}

QString ControlCanLibrary::description() const
{
    return QStringLiteral("ControlCAN library %1").arg(fileName());
}
