// A ASC traffic log as bmsctl decode, replay and convert read it (see logreaderfuzz.h).
#include "logreaderfuzz.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    Fuzz::readLog(LogFormat::Asc, data, size);
    return 0;
}
