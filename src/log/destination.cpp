#include "destination.h"

namespace QsLogging {

Destination::~Destination() = default;

} // namespace QsLogging
