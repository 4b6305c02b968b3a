// A scope guard: runs a callable when the scope ends, on every path out of it.
#pragma once

#include <utility>

/// Runs its callable once, when it goes out of scope (success, failure, abort or exception).
template <typename F> class TScopeExit {
public:
    explicit TScopeExit(F action)
        : FAction(std::move(action))
    {
    }
    ~TScopeExit() { FAction(); }
    TScopeExit(const TScopeExit&) = delete;
    TScopeExit& operator=(const TScopeExit&) = delete;

private:
    F FAction;
};
