// Small jobs of each streaming operation (copy, split, merge) that the reliability tests run
// again and again under faults, aborts and full disks, with the one check of their outcome:
// either success with exactly the bytes of a clean run, or the operation's own message,
// Abort set and nothing left that the engine deletes; the input untouched either way.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <ostream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "engine/IoSeam.h"
#include "engine/TavmorManager.h"
#include "support/EngineRecorder.h"
#include "support/FaultSeam.h"
#include "support/RecordingDialogs.h"
#include "support/TestImages.h"

namespace Reliability {

enum class TOperation : uint8_t { Copy, Split, Merge };

/// One small job: an input of the given name (its extension gives the kind) with the test
/// pattern, and the output kind. Split cuts it into tiles of TileWidth x TileHeight; merge
/// joins the tiles of such a split (made in the kind of TileName's extension).
struct TJob {
    const char* Name;
    TOperation Operation;
    std::string InputName;
    uint32_t Width;
    uint32_t Height;
    uint8_t Bits;
    FileType OutKind;
    bool Lzw = false;
    uint32_t TileWidth = 0;
    uint32_t TileHeight = 0;
    FileType TileKind = FileType::RAW; ///< merge: the kind of the tiles it joins
};

/// Names the job in test output instead of dumping its bytes.
inline void PrintTo(const TJob& job, std::ostream* os)
{
    *os << job.Name;
}

/// Files by name with their bytes.
using TFiles = std::map<std::string, std::vector<uint8_t>>;

/// What one run left behind.
struct TRunOutcome {
    bool Aborted = false;
    std::vector<std::string> Errors;
    std::vector<std::string> Dialogs;
    int ShowCount = 0;
    int HideCount = 0;
    std::vector<std::string> List; ///< split: the tiles it reported
    TFiles Outputs; ///< every file in the output folder, hidden ones included
};

/// Prepares the job's input once (and, for merge, its tiles), runs it cleanly once for the
/// reference outcome, and then runs it as often as asked into a fresh output folder.
class TJobRig {
public:
    explicit TJobRig(const TJob& job);

    /// Runs the job once; prepare runs on the engine just before the operation starts
    /// (to install hooks), and the seam, if any, is in force during the operation only. The
    /// output folder first holds `existing` (name to bytes); the overwrite question is answered
    /// Yes.
    TRunOutcome Run(TIoSeam* seam = nullptr, const std::function<void(TTavmor&)>& prepare = nullptr,
        const std::string& outFolder = "", const TFiles& existing = {});
    /// The outcome of the clean run.
    const TRunOutcome& Clean() const { return FClean; }
    /// Files of every output name of the clean run, with bytes of their own: what a user had
    /// there before a run that overwrites them.
    TFiles OldOutputs() const;
    /// Checks a faulty run: success with the clean bytes, or the right message and nothing
    /// left but what was there before (existing, byte for byte).
    void ExpectSound(
        const TRunOutcome& outcome, TFaultKind fault, const TFiles& existing = {}) const;
    /// The input files (one, or the tiles of a merge) are as they were written.
    void ExpectInputUntouched() const;
    const TJob& Job() const { return FJob; }
    /// The folder holding the input.
    const std::string& InputFolder() const { return FIn.Path(); }

private:
    TJob FJob;
    TestImages::TTempDir FIn;
    std::vector<std::string> FInputs; ///< paths whose bytes must not change
    std::vector<std::vector<uint8_t>> FInputBytes;
    std::vector<std::string> FTiles; ///< merge: the tile list
    uint32_t FCountX = 0;
    uint32_t FCountY = 0;
    TRunOutcome FClean;
};

/// The small jobs every reliability test runs: each input kind, each output kind, each
/// operation, on images of 5 x height pixels.
std::vector<TJob> SmallJobs(uint32_t height = 4);

} // namespace Reliability
