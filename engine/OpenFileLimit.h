// The process's limit of open files: raising it once at start, and how much of it is left.
#pragma once

#include <cstdint>

/// Files to keep in reserve beside those an operation counts on (one per tile column and the
/// image files): a terminal opened for a question, a library's own handle.
inline constexpr uint64_t kSpareOpenFiles = 8;

/// Raises the soft limit of open files (RLIMIT_NOFILE) to the hard limit, once per process:
/// later calls change nothing, so a limit lowered on purpose afterwards stays in force. The
/// command line and the window call it first thing in main; split and merge call it too.
/// Returns the soft limit in force afterwards. Safe to call from any thread.
uint64_t RaiseOpenFileLimit();

/// How many more files the process may open right now: the soft limit minus the descriptors
/// in use. 0 when it cannot be told (no descriptor left to look).
uint64_t OpenFilesAvailable();
