// The signals that stop the command line (Ctrl+C, termination, a closed terminal, a closed
// pipe), turned into the engine's stop flag.
#pragma once

#include <atomic>

/// Routes SIGINT, SIGTERM, SIGHUP and SIGPIPE to `abort`: the handler only stores true into it
/// and records the signal, so the running job stops at its next test of the flag and cleans
/// up as after a confirmed Abort. A second SIGINT, SIGTERM or SIGHUP ends the process at once
/// (default action); SIGPIPE is only recorded, since every later write to the closed pipe
/// raises it again. Blocking reads are not restarted after a signal, so a question on the
/// terminal returns. Call once, from the main thread, before the first job; `abort` must
/// outlive the process's handling of signals.
void InstallStopSignals(std::atomic<bool>& abort);

/// Puts the default handling of the signals back (SIGPIPE stays ignored: a closed pipe must not
/// end the process while it cleans up) and forgets the flag; call before the flag goes away.
/// A stop already recorded stays recorded.
void RemoveStopSignals();

/// True once a stop signal has arrived. Cheap: one relaxed load; any thread.
bool StopRequested();

/// The number of the first stop signal that arrived; 0 when none has.
int StopSignal();
