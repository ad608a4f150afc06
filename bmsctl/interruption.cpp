#include "interruption.h"

#include <csignal>

namespace {

volatile std::sig_atomic_t interrupted = 0;

extern "C" void onSignal(int)
{
    interrupted = 1;
}

} // namespace

void Interruption::install()
{
    std::signal(SIGINT, onSignal);
    std::signal(SIGTERM, onSignal);
}

bool Interruption::requested()
{
    return interrupted != 0;
}
