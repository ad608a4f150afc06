#pragma once

#include "destination.h"

namespace QsLogging {

// The debugger's output channel on Windows; standard error elsewhere.
class DebugOutputDestination : public Destination
{
public:
    static const char *const Type;

    void write(const LogMessage &message) override;
    bool isValid() override;
    QString type() const override;
};

} // namespace QsLogging
