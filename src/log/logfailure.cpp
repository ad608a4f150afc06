#include "logfailure.h"

#include <cstdio>

namespace QsLogging {

void reportLogFailure(const QString &text)
{
    std::fprintf(stderr, "%s\n", text.toLocal8Bit().constData());
    std::fflush(stderr);
}

} // namespace QsLogging
