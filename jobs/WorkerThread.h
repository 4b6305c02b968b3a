// The one thread of a pipeline stage: started once, joined once.
#pragma once

#include <system_error>
#include <thread>
#include <utility>

/// Starts body on thread unless a thread runs there already; false when it runs already or the
/// system gives no thread.
template <typename TBody> [[nodiscard]] bool StartStageThread(std::thread& thread, TBody&& body)
{
    if (thread.joinable()) {
        return false;
    }
    try {
        thread = std::thread(std::forward<TBody>(body));
    } catch (const std::system_error&) {
        return false;
    }
    return true;
}

/// Waits for the thread to end, when there is one.
inline void JoinStageThread(std::thread& thread)
{
    if (thread.joinable()) {
        thread.join();
    }
}
