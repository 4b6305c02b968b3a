// What a running operation reports to and asks of whoever started it: the stop flag, the five
// events (error, status, progress shown, moved and hidden) and the dialogs.
#pragma once

#include <atomic>
#include <cstdint>
#include <string>

#include "engine/EngineDialogs.h"
#include "engine/Outcome.h"

/// Receives an operation's events on the operation's thread; the window lets the user interface
/// breathe inside the status and progress events, where Pause and Abort arrive.
class TEngineEvents {
public:
    virtual ~TEngineEvents() = default;
    virtual void FireError(const std::string& text) = 0;
    virtual void FireStatus(const std::string& text) = 0;
    virtual void FireShowProgress(int32_t max, const std::string& caption) = 0;
    virtual void FireUpdateProgress(int32_t position) = 0;
    virtual void FireHideProgress() = 0;
};

/// The context of one operation: everything it needs besides its files. The stop flag may be
/// set from another thread or a signal handler; it is tested before every line.
struct TRunContext {
    std::atomic<bool>& Abort;
    TEngineEvents& Events;
    TEngineDialogs& Dialogs;

    bool StopAsked() const { return Abort.load(std::memory_order_relaxed); }
    /// Reports text through the error event and gives Failed.
    TOutcome Fail(const std::string& text)
    {
        Events.FireError(text);
        return TOutcome::Failed;
    }
};
