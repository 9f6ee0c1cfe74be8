#include "cli/CliInterrupt.h"

#include <atomic>
#include <csignal>

namespace {

std::atomic<bool> g_bInterrupted{false};
static_assert(std::atomic<bool>::is_always_lock_free, "the flag is set from a signal handler");

extern "C" void OnInterrupt(int signal)
{
    g_bInterrupted.store(true);
    // The next one is not caught: a second Ctrl+C ends the process.
    std::signal(signal, SIG_DFL);
}

}  // namespace

void InstallInterruptHandler()
{
    std::signal(SIGINT, OnInterrupt);
    std::signal(SIGTERM, OnInterrupt);
}

bool IsInterrupted() { return g_bInterrupted.load(); }
