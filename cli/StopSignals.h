// Ctrl+C and termination requests of the command line, turned into the engine's stop flag.
#pragma once

#include <atomic>

/// Routes SIGINT and SIGTERM to `abort`: the handler only stores true into it and into the
/// process's stop record, so the running job stops at its next test of the flag and cleans up
/// as after a confirmed Abort. A second signal ends the process at once (default action).
/// Blocking reads are not restarted after a signal, so a question on the terminal returns.
/// Call once, from the main thread, before the first job; `abort` must outlive the process's
/// handling of signals.
void InstallStopSignals(std::atomic<bool>& abort);

/// Puts the default handling of both signals back and forgets the flag; call before the flag
/// goes away. A stop already recorded stays recorded.
void RemoveStopSignals();

/// True once SIGINT or SIGTERM has arrived. Cheap: one relaxed load; any thread.
bool StopRequested();
