// Signal handlers that only store to lock-free atomics, the one thing safe inside a handler.
#include "cli/StopSignals.h"

#include <csignal>

namespace {

static_assert(std::atomic<bool>::is_always_lock_free, "the stop flag is set from a handler");
static_assert(std::atomic<std::atomic<bool>*>::is_always_lock_free, "read inside a handler");

std::atomic<std::atomic<bool>*> gAbort { nullptr };
std::atomic<bool> gStopRequested { false };

extern "C" void OnStopSignal(int)
{
    gStopRequested.store(true, std::memory_order_relaxed);
    std::atomic<bool>* abort = gAbort.load();
    if (abort != nullptr) {
        abort->store(true, std::memory_order_relaxed);
    }
}

} // namespace

void InstallStopSignals(std::atomic<bool>& abort)
{
    gAbort.store(&abort);
    struct sigaction action { };
    action.sa_handler = OnStopSignal;
    sigemptyset(&action.sa_mask);
    // No SA_RESTART: a read waiting for an answer on the terminal returns and is answered No.
    // SA_RESETHAND: a second Ctrl+C while the job winds down ends the process at once.
    action.sa_flags = SA_RESETHAND;
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);
}

bool StopRequested()
{
    return gStopRequested.load(std::memory_order_relaxed);
}

void RemoveStopSignals()
{
    std::signal(SIGINT, SIG_DFL);
    std::signal(SIGTERM, SIG_DFL);
    gAbort.store(nullptr);
}
