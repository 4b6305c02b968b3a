// What an operation came to: done, failed (its reason already shown) or aborted by the user.
#pragma once

#include <cstdint>

/// The outcome of a streaming operation, a job or a pass of one.
enum class TOutcome : uint8_t {
    Done, ///< everything asked for was written and committed
    Failed, ///< refused or failed; the reason has been shown to the user already
    Aborted, ///< stopped at the user's request (or a stop signal) before the end
};

/// Done only when both are; otherwise the first that is not (a failure shown stays one).
inline TOutcome Worse(TOutcome a, TOutcome b)
{
    return a != TOutcome::Done ? a : b;
}
