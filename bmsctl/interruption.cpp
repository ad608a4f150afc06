#include "interruption.h"

#include <csignal>

namespace {

volatile std::sig_atomic_t requests = 0;
std::sig_atomic_t warned = 0;

extern "C" void onSignal(int)
{
    requests = requests + 1;
}

} // namespace

void Interruption::install()
{
    std::signal(SIGINT, onSignal);
    std::signal(SIGTERM, onSignal);
}

bool Interruption::requested()
{
    return requests > warned;
}

void Interruption::countFirstAsWarned()
{
    warned = 1;
}
