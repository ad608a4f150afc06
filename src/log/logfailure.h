#pragma once

#include <QString>

namespace QsLogging {

// The logger cannot report its own failures through itself: they go to standard error.
void reportLogFailure(const QString &text);

} // namespace QsLogging
