#pragma once

#include "command.h"

// bmsctl flash: a firmware image into the batteries' boot loaders, over CAN (an .s19 image) or
// over a serial port (a .bin image), then the firmware version of every battery read back.
class FlashCommand : public Command
{
public:
    // How long batteries are given to come back from their boot loaders after the upgrade:
    // a battery in its boot loader does not broadcast, and starts again with the new firmware.
    static constexpr int ComeBackMs = 20000;
    // How long a battery's firmware version is asked for, read after read, before it counts as
    // giving no reply.
    static constexpr int VersionReadMs = 5000;

    QStringList words() const override { return { QStringLiteral("flash") }; }
    QString summary() const override;
    int run(const QStringList &arguments, Console &console) override;
};
