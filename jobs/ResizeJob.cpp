// The Resize job: passes that read tiles straight from the current image, shrink them and join
// them into the next image (or the output), then the final pass with one worker; only the
// images between two passes are files, in the run's own temporary folder. This file holds the
// checks, the loop of passes and the clean-up.
#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <string>
#include <system_error>

#include "engine/EngineTexts.h"
#include "engine/InputCheck.h"
#include "engine/ScopeExit.h"
#include "engine/Staging.h"
#include "engine/TavmorUtils.h"
#include "jobs/Derived.h"
#include "jobs/JobTexts.h"
#include "jobs/ResizeRun.h"

namespace {

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

} // namespace

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
    // A flag left by an earlier job must not stop this one before it starts.
    Engine.Abort = false;

    // However the passes end, the user's file is the input again and the temporary
    // folder holds nothing of the job.
    TScopeExit end([this] {
        Engine.InInfo = Saved;
        Engine.ScratchOutputs = false;
        Jobs.SetOutputOptions(Request.Output, Saved.FileName);
        Host.EnableButtons();
        CleanTempFolder();
    });

    // Passes, until one fails or the job's output is written.
    bool exactPassDone = false;
    while (!Engine.Abort) {
        const ResizePlan::TStep step = ResizePlan::NextStep(
            in.Width, in.Height, TargetWidth, TargetHeight, Stepping, exactPassDone);
        if (!step.Tiling) {
            FinalPass(step);
            break;
        }
        exactPassDone = exactPassDone || step.Exact;
        if (TilingPass(step, exactPassDone)) {
            break;
        }
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

void TResizeRun::DropIntermediate()
{
    if (Intermediate) {
        DeleteJobFile(Engine.InInfo.FileName);
    }
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
