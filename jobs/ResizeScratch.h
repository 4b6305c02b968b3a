// An image between two passes of the Resize job: a headerless RAW file in the run's temporary
// folder, written in large pieces at their place and named only once complete.
#pragma once

#include <cstdint>
#include <string>

#include "engine/OutputCommit.h"
#include "jobs/ResizeMerge.h"

/// One intermediate image being written. The writing thread of a pass calls WriteLines; the
/// job's thread creates, commits and discards. Destroying it uncommitted removes what it wrote.
class TScratchImage final : public TMergeTarget {
public:
    /// Creates the file that will be name (its folder exists), for width x height pixels of 3
    /// samples of bits. False when the folder has no room for it (NoRoom) or the file cannot be
    /// created (Error tells why); nothing is left then.
    [[nodiscard]] bool Create(
        const std::string& name, uint32_t width, uint32_t height, uint8_t bits);
    /// Writes count lines from line first, one after another at rows, with one call.
    [[nodiscard]] bool WriteLines(uint32_t first, uint32_t count, const uint8_t* rows) override;
    /// Gives the complete file its name (it is a scratch file: not synced first). False when
    /// that fails (Error tells why; the file is gone).
    [[nodiscard]] bool Commit();
    /// Removes what was written; safe twice, nothing after Commit.
    void Discard() { FGuard.Discard(); }

    const std::string& Name() const { return FName; }
    bool NoRoom() const { return FNoRoom; }
    /// The errno value of the first failure (0 when none).
    int Error() const { return FError != 0 ? FError : FGuard.Error(); }

private:
    TOutputCommit FGuard;
    std::string FName;
    uint64_t FRowBytes = 0;
    int FError = 0;
    bool FNoRoom = false;
};
