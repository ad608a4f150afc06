#pragma once

#include "can/canbus.h"
#include "can/sja1000timing.h"
#include "controlcan.h"

#include <memory>

class ControlCanApi;

// The vendor's USB-CAN adapters (USBCAN1/2, USBCAN_E/2E) through the nine ControlCAN
// operations: the vendor's library loaded at run time (ControlCanLibrary) or, in tests, a fake
// of it. The library cannot tell when frames arrive, so the bus is polled.
//
// open() runs the vendor's initialisation for the adapter type: USBCAN1/2 take their bit rate as
// the timing registers of the init record (busTiming()), USBCAN_E/2E through VCI_SetReference
// (bitRateReference()); any other type is never opened and fails when it is started. The
// adapter counts as opened from a successful VCI_OpenDevice on, so a failure after it leaves the
// adapter for close() to close.
class ControlCanBus : public CanBus
{
    Q_OBJECT

public:
    // Timing0 and Timing1 of the USBCAN1/2 init record for a bit rate in kbit/s.
    static Sja1000Timing::Registers busTiming(int bitRateKbit);
    // The VCI_SetReference value of USBCAN_E/2E for a bit rate in kbit/s.
    static std::uint32_t bitRateReference(int bitRateKbit);

    explicit ControlCanBus(std::shared_ptr<ControlCanApi> api, QObject *parent = nullptr);
    ~ControlCanBus() override;

    std::shared_ptr<ControlCanApi> api() const { return m_api; }

    bool open(const Settings &settings) override;
    void close() override;
    bool writeFrame(const CanFrame &frame) override;
    int readFrames(CanFrame *frames, int count) override;
    quint32 takeErrorCode() override;
    bool announcesArrivals() const override { return false; }
    QString description() const override;

private:
    // 0, or the vendor initialisation's failure: -1, -2 or -3.
    int openAndStart();

    std::shared_ptr<ControlCanApi> m_api;
    Settings m_settings;
    bool m_deviceOpen = false;
    std::uint32_t m_filterCode = 0;
    std::uint32_t m_filterMask = 0xFFFFFFFFu;
    // Never set by the program; with the all-pass mask any mode lets every identifier through.
    std::uint8_t m_filterMode = 0;
    VCI_INIT_CONFIG m_initConfig {};
};
