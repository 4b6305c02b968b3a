// Signal handlers that only store to lock-free atomics, the one thing safe inside a handler.
#include "cli/StopSignals.h"

#include <csignal>

namespace {

static_assert(std::atomic<bool>::is_always_lock_free, "the stop flag is set from a handler");
static_assert(std::atomic<int>::is_always_lock_free, "the signal is recorded in a handler");
static_assert(std::atomic<std::atomic<bool>*>::is_always_lock_free, "read inside a handler");

std::atomic<std::atomic<bool>*> gAbort { nullptr };
std::atomic<int> gSignal { 0 };

extern "C" void OnStopSignal(int signal)
{
    int none = 0;
    gSignal.compare_exchange_strong(none, signal, std::memory_order_relaxed);
    std::atomic<bool>* abort = gAbort.load();
    if (abort != nullptr) {
        abort->store(true, std::memory_order_relaxed);
    }
}

constexpr int kStopSignals[] = { SIGINT, SIGTERM, SIGHUP };

} // namespace

void InstallStopSignals(std::atomic<bool>& abort)
{
    gAbort.store(&abort);
    struct sigaction action { };
    action.sa_handler = OnStopSignal;
    sigemptyset(&action.sa_mask);
    // No SA_RESTART: a read waiting for an answer on the terminal returns and is answered No.
    // SA_RESETHAND: a second signal while the job winds down ends the process at once.
    action.sa_flags = SA_RESETHAND;
    for (int signal : kStopSignals) {
        sigaction(signal, &action, nullptr);
    }
    // A closed pipe is raised again by every later write to it: keep the handler.
    action.sa_flags = 0;
    sigaction(SIGPIPE, &action, nullptr);
}

bool StopRequested()
{
    return gSignal.load(std::memory_order_relaxed) != 0;
}

int StopSignal()
{
    return gSignal.load(std::memory_order_relaxed);
}

void RemoveStopSignals()
{
    for (int signal : kStopSignals) {
        std::signal(signal, SIG_DFL);
    }
    std::signal(SIGPIPE, SIG_IGN);
    gAbort.store(nullptr);
}
