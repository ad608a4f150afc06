#pragma once

#include "controlcan.h"

#include <QString>

// The nine ControlCAN operations ControlCanBus needs, behind one seam so that the vendor library
// and test fakes are interchangeable. Arguments and results follow the
// vendor's C functions one to one (see controlcan.h): device type, device index, channel where
// the call takes one, and 1 for success.
//
// A provider is used by one ControlCanBus at a time and only from the thread that device works in;
// providers need not be thread-safe.
class ControlCanApi
{
public:
    virtual ~ControlCanApi();

    virtual std::uint32_t openDevice(
        std::uint32_t deviceType, std::uint32_t deviceIndex, std::uint32_t reserved)
        = 0;
    virtual std::uint32_t closeDevice(std::uint32_t deviceType, std::uint32_t deviceIndex) = 0;
    virtual std::uint32_t initCan(std::uint32_t deviceType, std::uint32_t deviceIndex,
        std::uint32_t channel, VCI_INIT_CONFIG *config)
        = 0;
    virtual std::uint32_t setReference(std::uint32_t deviceType, std::uint32_t deviceIndex,
        std::uint32_t channel, std::uint32_t referenceType, void *data)
        = 0;
    virtual std::uint32_t clearBuffer(
        std::uint32_t deviceType, std::uint32_t deviceIndex, std::uint32_t channel)
        = 0;
    virtual std::uint32_t startCan(
        std::uint32_t deviceType, std::uint32_t deviceIndex, std::uint32_t channel)
        = 0;
    virtual std::uint32_t transmit(std::uint32_t deviceType, std::uint32_t deviceIndex,
        std::uint32_t channel, VCI_CAN_OBJ *frames, std::uint32_t count)
        = 0;
    // Never blocks longer than the provider's own waitTime handling; ControlCanBus passes 0.
    virtual std::uint32_t receive(std::uint32_t deviceType, std::uint32_t deviceIndex,
        std::uint32_t channel, VCI_CAN_OBJ *frames, std::uint32_t length, std::int32_t waitTime)
        = 0;
    virtual std::uint32_t readErrInfo(std::uint32_t deviceType, std::uint32_t deviceIndex,
        std::uint32_t channel, VCI_ERR_INFO *errorInfo)
        = 0;

    // Which adapter this is, for the log: the library's file.
    virtual QString description() const = 0;
};
