// One run of the Resize job, shared by the files that make it up: the checks, the loop of
// passes and the clean-up (ResizeJob.cpp), and the steps of the streamed passes
// (ResizeSteps.cpp). Only the jobs library includes it.
#pragma once

#include <chrono>
#include <cstdint>
#include <memory>
#include <string>

#include "engine/ImageFiles.h"
#include "jobs/ResizeMerge.h"
#include "jobs/ResizePass.h"
#include "jobs/ResizePlan.h"
#include "jobs/ResizeScratch.h"
#include "jobs/TavmorJobs.h"

namespace ResizeRun {

// The job looks at its workers at least this often; between looks the window handles its
// messages.
inline constexpr auto kPollSleep = std::chrono::milliseconds(50);
// While waiting for workers after an abort the job looks more often, but still sleeps a
// little so that it leaves the cores to the workers it waits for.
inline constexpr auto kAbortPollSleep = std::chrono::milliseconds(10);

} // namespace ResizeRun

/// Where a pass writes: the job's output, or an intermediate in the temporary folder.
struct TPassOutput {
    bool IsScratch = false;
    TImageOutput Output;
    TScratchImage Scratch;
    std::unique_ptr<TOutputTarget> Lines; ///< the job's output as the pass's target

    TMergeTarget& Target() { return IsScratch ? static_cast<TMergeTarget&>(Scratch) : *Lines; }
    std::string Name() const { return IsScratch ? Scratch.Name() : Output.Info().FileName; }
    int Error() const { return IsScratch ? Scratch.Error() : Output.Error(); }
    void Discard()
    {
        Output.Discard();
        Scratch.Discard();
    }
};

/// One run of the Resize job. It holds the run's working state; the engine's InInfo follows
/// the current image and is given back as the user's input on every way out.
class TResizeRun {
public:
    TResizeRun(TJobs& jobs, const TResizeRequest& request)
        : Jobs(jobs)
        , Engine(jobs.Engine)
        , Host(jobs.Host)
        , Request(request)
    {
    }

    /// Runs the job; the outcome, and the output's name when it is Done.
    TJobResult Run();

private:
    [[nodiscard]] bool Check();
    /// Runs a tiling pass; true when it wrote the job's output (nothing is left to do then).
    bool TilingPass(const ResizePlan::TStep& step, bool exactPassDone);
    void FinalPass(const ResizePlan::TStep& step);
    /// Opens the pass's input, shows why when it cannot; false then (Abort set).
    bool OpenPassInput(TResizePass& pass);
    /// Opens the job's output for the image that image names (the last intermediate or the
    /// worker's result), width x height; false (Abort set, reason shown) when refused.
    bool OpenJobOutput(
        TPassOutput& out, const std::string& image, uint32_t width, uint32_t height, uint8_t bits);
    /// Creates the intermediate of that name; false (Abort set, reason shown) when it cannot.
    bool OpenScratch(
        TPassOutput& out, const std::string& name, uint32_t width, uint32_t height, uint8_t bits);
    /// Hands out the tiles band by band and collects them, until all are done or Abort.
    void TileCycles(TResizePass& pass, const TPassOutput& out);
    /// Waits, under gauge steps of the lines written, until the pass's writer is done with
    /// the workers' last rows; false (Abort set) when the pass failed or was aborted.
    bool WaitForLines(TResizePass& pass, const TPassOutput& out);
    /// Reports a failure of the pass's reader or writer once, setting Abort; true when one
    /// failed.
    bool ReportPassFailure(const TResizePass& pass, const TPassOutput& out);
    /// Reports a failed worker with its tile and reason (unless the reader or writer failed
    /// first, which stopped it).
    void ReportTileFailure(const TResizePass& pass, const TPassOutput& out, size_t tile);
    /// Stops the pass and waits until its workers have ended, letting the window breathe.
    void StopPass(TResizePass& pass, bool showKilling);
    /// Gives the pass's output its name; false (Abort set, reason shown) when that fails.
    bool CommitPassOutput(TPassOutput& out);
    /// The current image is done with: deleted when it is one of the job's files.
    void DropIntermediate();
    /// Ends a pass: its output takes its name when written, goes when the job was aborted; the
    /// pass's threads stop and the image it read is dropped.
    void EndPass(TResizePass& pass, TPassOutput& out, bool written);
    /// Deletes one of the job's own files: nothing happens for "", a missing file or the
    /// user's input, whatever name it hides behind.
    void DeleteJobFile(const std::string& path) const;
    /// Removes the run's temporary folder with whatever it still holds.
    void CleanTempFolder();

    TJobs& Jobs;
    TTavmor& Engine;
    TJobHost& Host;
    const TResizeRequest& Request;

    std::string OutFolder; ///< ends with the separator
    std::string TempFolder; ///< the run's own, ends with the separator
    TFileInfo Saved; ///< the user's input
    bool Intermediate = false; ///< the current input is a file of this job
    uint32_t TargetWidth = 0;
    uint32_t TargetHeight = 0;
    bool Fast = false;
    uint32_t Stepping = 0;
};
