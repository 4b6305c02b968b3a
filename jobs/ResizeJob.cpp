// The Resize job: passes of split, tile resampling and merge in a temporary folder, then one
// final resampling and the copy into the chosen output format.
#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <new>
#include <string>
#include <system_error>
#include <thread>
#include <utility>
#include <vector>

#include "engine/EngineTexts.h"
#include "engine/InputCheck.h"
#include "engine/ScopeExit.h"
#include "engine/Staging.h"
#include "engine/TavmorUtils.h"
#include "jobs/Derived.h"
#include "jobs/JobTexts.h"
#include "jobs/ResizePlan.h"
#include "jobs/TavmorJobs.h"
#include "resample/RawResizeTh.h"

namespace {

// The job polls its workers this often; between polls the window handles its messages.
constexpr auto kPollSleep = std::chrono::milliseconds(50);
// While waiting for workers after an abort the job looks more often, but still sleeps a
// little so that it leaves the cores to the workers it waits for.
constexpr auto kAbortPollSleep = std::chrono::milliseconds(10);

/// A panel value as a pixel count; the panel keeps it in range, this keeps it from wrapping.
uint32_t ToSide(int64_t v)
{
    return static_cast<uint32_t>(std::clamp<int64_t>(v, 0, UINT32_MAX));
}

/// True when both texts name the same folder: the same text, or one folder reached by two
/// spellings ("dir/" and "dir/./", a link to it).
bool SameFolder(const std::string& a, const std::string& b)
{
    if (a == b) {
        return true;
    }
    std::error_code ec;
    const bool same = std::filesystem::equivalent(a.empty() ? "." : a, b.empty() ? "." : b, ec);
    return !ec && same;
}

/// One slot of the worker pool: a running worker and the position of its tile in the list.
struct TSlot {
    std::unique_ptr<TRawResize> Worker;
    size_t Tile = 0;
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
    void TilingPass(const ResizePlan::TPass& pass, long double divider);
    void FinalPass(const ResizePlan::TFinal& plan);
    void WorkerCycles(const std::vector<std::string>& tiles, std::vector<std::string>& resized,
        long double divider);
    void AbortWait(const std::vector<std::string>& tiles);
    /// Runs one worker over a whole image and waits for it; "" when it failed (Abort is then
    /// set and the reason shown).
    std::string ResizeWhole(const std::string& source, long double divider);
    /// Deletes one of the job's own files: nothing happens for "", a missing file or the
    /// user's input, whatever name it hides behind.
    void DeleteJobFile(const std::string& path) const;
    /// Removes the run's temporary folder with whatever it still holds.
    void CleanTempFolder();
    bool AllSlotsEmpty() const;

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
    std::vector<TSlot> Pool;
};

TJobResult TResizeRun::Run()
{
    TJobResult result;
    if (!Check()) {
        Engine.Abort = true;
        return result;
    }

    // Set-up.
    Host.DisableButtons();
    const TFileInfo& in = Engine.InInfo;
    TargetWidth = std::max<uint32_t>(ToSide(Request.Width), 1);
    // The height that keeps this input's aspect ratio, worked out as the panel does it.
    TargetHeight = ToSide(Derived::ResizeHeightFor(in.Width, in.Height, TargetWidth));
    Fast = Request.Fast;
    Stepping = ResizePlan::SteppingWidth(TargetWidth, Fast);
    Intermediate = false;
    Saved = in;
    Saved.ScanLine = nullptr;
    Pool.clear();
    Pool.resize(static_cast<size_t>(std::max(1, Jobs.NumOfCores)));
    // A flag left by an earlier job must not stop this one before it starts.
    Engine.Abort = false;

    // However the passes end, the user's file is the input again and the temporary
    // folder holds nothing of the job.
    TScopeExit end([this] {
        Pool.clear(); // waits for any worker still running
        Engine.InInfo = Saved;
        Engine.ScratchOutputs = false;
        Jobs.SetOutputOptions(
            Request.Output, Saved.FileName); // the tiling passes switched the engine to RAW
        Host.EnableButtons();
        CleanTempFolder();
    });

    // Passes, until one fails or the final pass has run.
    bool exactPassDone = false;
    while (!Engine.Abort) {
        const ResizePlan::TPass pass =
            ResizePlan::PlanPass(in.Width, in.Height, TargetWidth, TargetHeight);
        if (pass.Tiling()) {
            TilingPass(pass, ResizePlan::TilingDivider(in.Width, TargetWidth, Stepping));
            continue;
        }
        const ResizePlan::TFinal plan =
            ResizePlan::PlanFinal(pass.TileWidth, in.Width, in.Height, TargetWidth);
        if (plan.Resample && !exactPassDone && !ResizePlan::FitsOneWorker(in.Width, in.Height)) {
            // A long side near its target would put the whole image into one worker's
            // memory: the exact ratio is applied tile by tile instead, once; the pass after
            // it finds the image at its size.
            exactPassDone = true;
            TilingPass(ResizePlan::TileGrid(in.Width, in.Height), plan.Divider);
            continue;
        }
        FinalPass(plan);
        break;
    }
    result.Outcome = Engine.Abort ? TOutcome::Failed : TOutcome::Done;
    if (!Engine.Abort) {
        result.Outputs.push_back(Engine.OutInfo.FileName);
    }
    return result;
}

bool TResizeRun::Check()
{
    const TFileInfo& in = Engine.InInfo;
    TEngineDialogs& dialogs = Engine.UserDialogs();
    if (!FileExists(in.FileName) || !in.ImageIsOk) {
        const std::string problem = InputFileProblem(in.FileName);
        dialogs.NoteDetail(
            in.FileName, problem.empty() ? "not examined as a valid image" : problem);
        Jobs.ShowError(EngineText::FileNotFoundOrBad);
        return false;
    }
    Jobs.SetOutputOptions(Request.Output, Saved.FileName);
    // A name given in full goes where it says; the engine's own names go into the folder.
    const bool named = !Request.Output.Name.empty();
    OutFolder = named ? Jobs.OutputFolderFor(Request.Output.Name, "")
                      : Jobs.OutputFolderFor(in.FileName, Request.Output.Folder);
    const bool sameName = named
        ? Request.Output.Name == in.FileName || SameFile(Request.Output.Name, in.FileName)
        : SameFolder(OutFolder, DirectoryOf(in.FileName))
            && Engine.OutInfo.ImageType == in.ImageType;
    if (sameName) {
        dialogs.NoteDetail(in.FileName, "");
        Host.ShowErrorDialog(EngineText::CannotOverwriteInput);
        return false;
    }
    if (in.Width < ResizePlan::kTileSide && in.Height < ResizePlan::kTileSide) {
        dialogs.NoteDetail(
            in.FileName, std::to_string(in.Width) + " x " + std::to_string(in.Height) + " pixels");
        Host.ShowErrorDialog(JobText::ResizeTooSmall);
        return false;
    }
    // A folder of this run's own, named after the job's folder and something unique, which no
    // other run enters; one that a killed run left is removed by the next run here.
    const std::string scratch = NewScratchName(OutFolder, JobText::ResizeTempFolder);
    std::error_code ec;
    if (scratch.empty() || !std::filesystem::create_directory(scratch, ec) || ec) {
        if (!scratch.empty()) {
            ReleaseTemporaryName(OutFolder);
        }
        dialogs.NoteDetail(scratch.empty() ? OutFolder : scratch,
            ec ? ec.message() : std::string("the folder exists"));
        Host.ShowErrorDialog(JobText::CannotCreateTempDir
            + (scratch.empty() ? OutFolder + JobText::ResizeTempFolder : scratch));
        return false;
    }
    TempFolder = scratch + kPathSeparator;
    return true;
}

void TResizeRun::TilingPass(const ResizePlan::TPass& pass, long double divider)
{
    TFileInfo& in = Engine.InInfo;
    std::vector<std::string> tiles;
    std::vector<std::string> resized;
    // Tiles and intermediates are RAW scratch files; the compression choice stays as it is.
    Engine.OutInfo.ImageType = FileType::RAW;
    Engine.ScratchOutputs = true;
    Engine.SplitImage(pass.TileWidth, pass.TileHeight, tiles, TempFolder, JobText::ResizeStepSplit);

    if (!Engine.Abort) {
        Jobs.ShowProgress(static_cast<int32_t>(std::min<size_t>(2 * tiles.size(), INT32_MAX)),
            JobText::ResizeStepTiles);
        WorkerCycles(tiles, resized, divider);
        if (Engine.Abort) {
            AbortWait(tiles);
            // Whatever was answered meanwhile, some tiles were never shrunk: the pass is over.
            Engine.Abort = true;
        }
        Jobs.HideProgress();
        if (!Engine.Abort) {
            Engine.MergeTiles(
                pass.Columns, pass.Rows, resized, TempFolder, JobText::ResizeStepMerge);
        }
        for (const std::string& name : resized) {
            DeleteJobFile(name);
        }
    }
    if (Engine.Abort) {
        for (const std::string& name : tiles) {
            DeleteJobFile(name);
        }
    }
    // The image just split is no longer needed, unless it is the user's own.
    if (Intermediate) {
        DeleteJobFile(in.FileName);
    }
    Intermediate = true;

    if (!Engine.Abort) {
        // The joined image is the next pass's input.
        in = Engine.OutInfo;
        in.ScanLine = nullptr;
        in.ScanLineSize = 0;
        in.ImageType = FileType::RAW;
        in.ImageTypeDesc = "RAW";
        in.FileSize = FileSizeOf(in.FileName);
        in.ImageIsOk = true;
    }
}

void TResizeRun::WorkerCycles(
    const std::vector<std::string>& tiles, std::vector<std::string>& resized, long double divider)
{
    const size_t count = tiles.size();
    size_t started = 0;
    int32_t progress = 0;
    while (!Engine.Abort) {
        Jobs.ShowStatus(JobText::ResizingTile + std::to_string(started) + JobText::ResizingTileOf
            + std::to_string(count));
        // Pause holds the cycles at once: no worker is started and no result is collected
        // until Continue, while running workers go on.
        Jobs.CheckIfPaused();
        if (Engine.Abort) {
            break;
        }
        for (TSlot& slot : Pool) {
            if (slot.Worker || started >= count || Engine.Abort) {
                continue;
            }
            std::unique_ptr<TRawResize> worker;
            try {
                worker = std::make_unique<TRawResize>();
                worker->Init(tiles[started], divider, Fast);
            } catch (const std::exception&) {
                worker.reset();
            }
            if (!worker || !worker->Start()) {
                // An unstarted worker never finishes: it must not wait in a slot.
                Engine.UserDialogs().NoteDetail(tiles[started], "");
                Jobs.ShowError(JobText::ErrorCreatingResizer);
                Engine.Abort = true;
                break;
            }
            slot.Worker = std::move(worker);
            slot.Tile = started;
            ++started;
            ++progress;
            Jobs.UpdateProgress(progress);
        }
        std::this_thread::sleep_for(kPollSleep);
        if (started >= count && AllSlotsEmpty()) {
            break;
        }
        for (TSlot& slot : Pool) {
            if (!slot.Worker || !slot.Worker->Finished()) {
                continue;
            }
            const std::string result = slot.Worker->OutFileName;
            if (slot.Worker->Error || result.empty()) {
                // The worker stays in its slot; the abort wait clears up after it.
                Engine.UserDialogs().NoteDetail(tiles[slot.Tile], slot.Worker->ErrorText);
                Jobs.ShowError(JobText::ErrorResizing);
                Engine.Abort = true;
                continue;
            }
            resized.push_back(result);
            if (result != tiles[slot.Tile]) {
                DeleteJobFile(tiles[slot.Tile]);
            }
            slot.Worker.reset();
            ++progress;
            Jobs.UpdateProgress(progress);
        }
    }
}

void TResizeRun::AbortWait(const std::vector<std::string>& tiles)
{
    Jobs.ShowStatus(JobText::KillingProcesses);
    // Running workers cannot be interrupted; each is waited for until its tile is done.
    for (;;) {
        for (TSlot& slot : Pool) {
            if (!slot.Worker || !slot.Worker->Finished()) {
                continue;
            }
            DeleteJobFile(tiles[slot.Tile]);
            DeleteJobFile(slot.Worker->OutFileName);
            slot.Worker.reset();
        }
        if (AllSlotsEmpty()) {
            return;
        }
        Host.ProcessMessages();
        std::this_thread::sleep_for(kAbortPollSleep);
    }
}

std::string TResizeRun::ResizeWhole(const std::string& source, long double divider)
{
    std::unique_ptr<TRawResize> worker;
    try {
        worker = std::make_unique<TRawResize>();
        worker->Init(source, divider, Fast);
    } catch (const std::exception&) {
        worker.reset();
    }
    if (!worker || !worker->Start()) {
        Engine.UserDialogs().NoteDetail(source, "");
        Jobs.ShowError(JobText::ErrorCreatingResizer);
        Engine.Abort = true;
        return {};
    }
    while (!worker->Finished()) {
        std::this_thread::sleep_for(kPollSleep);
        Host.ProcessMessages();
    }
    const std::string result = worker->OutFileName;
    if (worker->Error || result.empty()) {
        DeleteJobFile(result);
        Engine.UserDialogs().NoteDetail(source, worker->ErrorText);
        Jobs.ShowError(JobText::ErrorResizing);
        Engine.Abort = true;
        return {};
    }
    return result;
}

void TResizeRun::FinalPass(const ResizePlan::TFinal& plan)
{
    TFileInfo& in = Engine.InInfo;
    if (plan.Resample) {
        // The worker reads size-named RAW files and writes beside them. The user's own file
        // is first copied into the temporary folder under such a name, so that any input
        // kind resizes and nothing is ever written next to the user's file.
        std::string copy;
        if (!Intermediate) {
            Engine.OutInfo.ImageType = FileType::RAW;
            Engine.ScratchOutputs = true;
            Engine.CopyRegion(0, 0, in.Width, in.Height, TempFolder, JobText::ResizeStepSplit);
            if (Engine.Abort) {
                return;
            }
            copy = Engine.OutInfo.FileName;
        }
        const std::string source = Intermediate ? in.FileName : copy;
        std::string result;
        if (!Engine.Abort) {
            result = ResizeWhole(source, plan.Divider);
        }
        DeleteJobFile(copy);
        if (Intermediate) {
            DeleteJobFile(in.FileName);
        }
        // Abort may also have come while the worker ran (a stop signal of the command line).
        if (Engine.Abort) {
            DeleteJobFile(result);
            return;
        }
        in.FileName = result;
        Engine.CheckRawFile(false);
        Intermediate = true;
        if (!in.ImageIsOk) {
            Engine.Abort = true;
            DeleteJobFile(result);
            return;
        }
    }

    Jobs.SetOutputOptions(Request.Output, Saved.FileName);
    Engine.ScratchOutputs = false;
    if (!Engine.Abort) {
        Engine.CopyRegion(0, 0, in.Width, in.Height, OutFolder, JobText::ResizeStepFinal);
    }
    if (Intermediate) {
        DeleteJobFile(in.FileName);
    }
    Engine.InInfo = Saved;
}

void TResizeRun::DeleteJobFile(const std::string& path) const
{
    if (path.empty() || !FileExists(path)) {
        return;
    }
    if (path == Saved.FileName || SameFile(path, Saved.FileName)) {
        return;
    }
    (void)DeleteFileAt(path);
}

void TResizeRun::CleanTempFolder()
{
    if (TempFolder.empty()) {
        return;
    }
    // Everything inside is this run's: a worker that failed while saving may have left part of
    // its result, an abort the tiles of a pass.
    std::error_code ec;
    std::filesystem::remove_all(TempFolder, ec);
    ReleaseTemporaryName(OutFolder);
    TempFolder.clear();
}

bool TResizeRun::AllSlotsEmpty() const
{
    return std::all_of(
        Pool.begin(), Pool.end(), [](const TSlot& slot) { return slot.Worker == nullptr; });
}

} // namespace

TJobResult TJobs::RunResize(const TResizeRequest& request)
{
    if (FRunning) {
        return {};
    }
    FRunning = true;
    TScopeExit running([this] { FRunning = false; });
    TResizeRun run(*this, request);
    TJobResult result = run.Run();
    if (result.Outcome != TOutcome::Done) {
        Engine.Abort = true;
    }
    return result;
}
