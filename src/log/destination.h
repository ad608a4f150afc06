#pragma once

#include <QSharedPointer>
#include <QString>

namespace QsLogging {

class LogMessage;

// Somewhere log lines go. Called with the logger's mutex held, so implementations need no
// locking of their own.
class Destination
{
public:
    virtual ~Destination();
    virtual void write(const LogMessage &message) = 0;
    virtual bool isValid() = 0;
    virtual QString type() const = 0;
};

using DestinationPtr = QSharedPointer<Destination>;

} // namespace QsLogging
