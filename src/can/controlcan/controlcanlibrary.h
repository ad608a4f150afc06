#pragma once

#include "controlcanapi.h"
#include "controlcansymbols.h"

#include <QStringList>

#include <memory>

class QLibrary;

// The vendor's ControlCAN library, loaded at run time so that the program starts (and falls
// back to another bus) on a machine without it. The library stays loaded until the process
// ends: the vendor's code may keep threads of its own running, and unloading under them would
// crash.
class ControlCanLibrary : public ControlCanApi
{
public:
    // The library's file name on this platform ("ControlCAN.dll", "libControlCAN.so").
    static QString platformFileName();

    // Tries each candidate in order (a path, or a bare name for the system's library search)
    // and returns the first that loads and offers all nine functions. Otherwise nullptr, with
    // the reasons, one line per candidate, in *errorString.
    static std::unique_ptr<ControlCanLibrary> load(
        const QStringList &candidates, QString *errorString = nullptr);

    ~ControlCanLibrary() override;

    // The file actually loaded.
    QString fileName() const;

    std::uint32_t openDevice(
        std::uint32_t deviceType, std::uint32_t deviceIndex, std::uint32_t reserved) override;
    std::uint32_t closeDevice(std::uint32_t deviceType, std::uint32_t deviceIndex) override;
    std::uint32_t initCan(std::uint32_t deviceType, std::uint32_t deviceIndex,
        std::uint32_t channel, VCI_INIT_CONFIG *config) override;
    std::uint32_t setReference(std::uint32_t deviceType, std::uint32_t deviceIndex,
        std::uint32_t channel, std::uint32_t referenceType, void *data) override;
    std::uint32_t clearBuffer(
        std::uint32_t deviceType, std::uint32_t deviceIndex, std::uint32_t channel) override;
    std::uint32_t startCan(
        std::uint32_t deviceType, std::uint32_t deviceIndex, std::uint32_t channel) override;
    std::uint32_t transmit(std::uint32_t deviceType, std::uint32_t deviceIndex,
        std::uint32_t channel, VCI_CAN_OBJ *frames, std::uint32_t count) override;
    std::uint32_t receive(std::uint32_t deviceType, std::uint32_t deviceIndex,
        std::uint32_t channel, VCI_CAN_OBJ *frames, std::uint32_t length,
        std::int32_t waitTime) override;
    std::uint32_t readErrInfo(std::uint32_t deviceType, std::uint32_t deviceIndex,
        std::uint32_t channel, VCI_ERR_INFO *errorInfo) override;

    QString description() const override;

private:
    ControlCanLibrary(std::unique_ptr<QLibrary> library, const ControlCanSymbols &symbols);

    std::unique_ptr<QLibrary> m_library;
    ControlCanSymbols m_symbols;
};
