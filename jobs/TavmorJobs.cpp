// Convert, Crop, Split and Merge over the current input, the output settings and folder they
// share, the input selection and the progress, pause and abort logic behind the engine's hooks.
#include "jobs/TavmorJobs.h"

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <thread>

#include "engine/EngineTexts.h"
#include "engine/Formats.h"
#include "engine/ScopeExit.h"
#include "engine/TavmorUtils.h"
#include "engine/TiffMetadata.h"
#include "jobs/JobTexts.h"
#include "jobs/OutputNames.h"

namespace {

// While paused the job wakes this often to let Continue and Abort through.
constexpr auto kPauseSleep = std::chrono::milliseconds(50);

/// A request's value narrowed to an engine size; the fields keep their values in range, this
/// only keeps an out-of-range value from wrapping.
uint32_t ToSize(int64_t v)
{
    return static_cast<uint32_t>(std::clamp<int64_t>(v, 0, UINT32_MAX));
}

TJobResult ResultOf(TOutcome outcome, std::vector<std::string> outputs = {})
{
    TJobResult result;
    result.Outcome = outcome;
    if (outcome == TOutcome::Done) {
        result.Outputs = std::move(outputs);
    }
    return result;
}

} // namespace

TJobs::TJobs(TTavmor& engine, TJobHost& host)
    : Engine(engine)
    , Host(host)
{
    Engine.OnError = [this](const std::string& text) { ShowError(text); };
    Engine.OnStatus = [this](const std::string& text) { ShowStatus(text); };
    Engine.OnShowProgress = [this](int32_t max, const std::string& caption) {
        ShowProgress(max, caption);
    };
    Engine.OnUpdateProgress = [this](int32_t position) { UpdateProgress(position); };
    Engine.OnHideProgress = [this]() { HideProgress(); };
}

TJobResult TJobs::Refuse(const std::string& text, const std::string& file)
{
    // The request, not the system, is at fault: the file is named, with no reason beside it.
    Engine.UserDialogs().NoteDetail(file, "");
    ShowError(text);
    Engine.Abort = true;
    return ResultOf(TOutcome::Failed);
}

void TJobs::SetOutputOptions(
    const TOutputRequest& output, const std::string& metadataSource, bool keepOrientation)
{
    const TFoundKind found = FindOutputKind(output.Kind);
    Engine.OutInfo.ImageType = found.Format ? found.Format->Type : FileType::NV;
    Engine.Lzw = found.Kind && found.Kind->Compression == TCompression::Lzw;
    Engine.ExactOutputName = output.Name;
    TWriteOptions options = WriteOptionsOf(output);
    // Only a TIFF input holds metadata to keep; a crop, a tile or a resized image is no longer
    // the whole picture the Orientation turned.
    if (options.KeepMetadata && !metadataSource.empty()
        && FormatForPath(metadataSource) == FormatOf(FileType::TIF)
        && ReadTiffMetadataFile(metadataSource, options.Metadata) && !keepOrientation) {
        options.Metadata.Orientation = 1;
    }
    Engine.Options = options;
}

std::string TJobs::OutputFolderFor(const std::string& fileName, const std::string& chosen) const
{
    return ::OutputFolderFor(fileName, chosen);
}

TJobResult TJobs::RunRegionCopy(const TOutputRequest& output, int64_t x, int64_t y, int64_t width,
    int64_t height, bool keepOrientation)
{
    Host.DisableButtons();
    TScopeExit enable([this] { Host.EnableButtons(); });
    SetOutputOptions(output, Engine.InInfo.FileName, keepOrientation);
    const std::string folder = OutputFolderFor(Engine.InInfo.FileName, output.Folder);
    const TOutcome outcome =
        Engine.CopyRegion(static_cast<int32_t>(std::clamp<int64_t>(x, 0, INT32_MAX)),
            static_cast<int32_t>(std::clamp<int64_t>(y, 0, INT32_MAX)), ToSize(width),
            ToSize(height), folder, "");
    return ResultOf(outcome, { Engine.OutInfo.FileName });
}

TJobResult TJobs::RunConvert(const TConvertRequest& request)
{
    if (FRunning) {
        return ResultOf(TOutcome::Failed);
    }
    FRunning = true;
    TScopeExit running([this] { FRunning = false; });
    return RunRegionCopy(request.Output, 0, 0, Engine.InInfo.Width, Engine.InInfo.Height, true);
}

TJobResult TJobs::RunCrop(const TCropRequest& request)
{
    if (FRunning) {
        return ResultOf(TOutcome::Failed);
    }
    FRunning = true;
    TScopeExit running([this] { FRunning = false; });
    const int64_t w = Engine.InInfo.Width;
    const int64_t h = Engine.InInfo.Height;
    const int64_t x = request.X;
    const int64_t y = request.Y;
    const int64_t cw = request.Width;
    const int64_t ch = request.Height;

    // The window's fields keep the point at 0 or more and the size at 1 or more; the lower
    // bounds are tested as well so that every caller gets the same messages.
    if (x < 0 || x > w - 1) {
        return Refuse(JobText::CropXRange + std::to_string(w), Engine.InInfo.FileName);
    }
    if (y < 0 || y > h - 1) {
        return Refuse(JobText::CropYRange + std::to_string(h), Engine.InInfo.FileName);
    }
    if (cw < 1 || x + cw > w) {
        return Refuse(JobText::CropWidthRange + std::to_string(w - x), Engine.InInfo.FileName);
    }
    if (ch < 1 || y + ch > h) {
        return Refuse(JobText::CropHeightRange + std::to_string(h - y), Engine.InInfo.FileName);
    }
    return RunRegionCopy(request.Output, x, y, cw, ch, false);
}

TJobResult TJobs::RunSplit(const TSplitRequest& request)
{
    if (FRunning) {
        return ResultOf(TOutcome::Failed);
    }
    FRunning = true;
    TScopeExit running([this] { FRunning = false; });
    Host.DisableButtons();
    TScopeExit enable([this] { Host.EnableButtons(); });
    SetOutputOptions(request.Output, Engine.InInfo.FileName);
    const std::string folder = OutputFolderFor(Engine.InInfo.FileName, request.Output.Folder);
    std::vector<std::string> tiles;
    const TOutcome outcome = Engine.SplitImage(std::max<uint32_t>(ToSize(request.TileWidth), 1),
        std::max<uint32_t>(ToSize(request.TileHeight), 1), tiles, folder, "");
    return ResultOf(outcome, std::move(tiles));
}

TJobResult TJobs::RunMerge(const TMergeRequest& request)
{
    if (FRunning) {
        return ResultOf(TOutcome::Failed);
    }
    FRunning = true;
    TScopeExit running([this] { FRunning = false; });
    const std::vector<std::string>& files = request.Files;
    if (files.empty()) {
        // Nothing selected: there is no job, and nothing to report.
        return ResultOf(TOutcome::Failed);
    }
    const int64_t wanted = request.CountX * request.CountY;
    const int64_t selected = static_cast<int64_t>(files.size());
    if (wanted != selected) {
        const char* first = wanted > selected ? JobText::FilesMissing : JobText::TooManyFiles;
        return Refuse(std::string(first) + JobText::LineBreak + JobText::PleaseSelect
                + std::to_string(wanted) + JobText::FilesWord,
            files.front());
    }

    Host.DisableButtons();
    TScopeExit enable([this] { Host.EnableButtons(); });
    SetOutputOptions(request.Output, files.front());
    const std::string folder = OutputFolderFor(files.front(), request.Output.Folder);
    const TOutcome outcome =
        Engine.MergeTiles(ToSize(request.CountX), ToSize(request.CountY), files, folder, "");
    return ResultOf(outcome, { Engine.OutInfo.FileName });
}

bool TJobs::SelectInputFile(const std::string& fileName)
{
    if (!FileExists(fileName)) {
        return false;
    }
    TFileInfo& in = Engine.InInfo;
    in.FileName = fileName;
    Engine.CheckFile(true);
    Host.DisableButtons();
    TScopeExit enable([this] { Host.EnableButtons(); });
    if (in.ImageIsOk) {
        const std::string size =
            std::to_string(in.Width) + " x " + std::to_string(in.Height) + " pixels";
        if (in.Width == 0 || in.Height == 0) {
            Engine.UserDialogs().NoteDetail(fileName, size);
            ShowError(JobText::DimensionZero);
            in.ImageIsOk = false;
        }
        if (in.Width > kMaxImageSide || in.Height > kMaxImageSide) {
            Engine.UserDialogs().NoteDetail(fileName, size);
            ShowError(EngineText::DimensionsExceedLimits);
            in.ImageIsOk = false;
        }
    }
    if (in.ImageIsOk) {
        ShowStatus(JobText::ImageIsValid);
    }
    return in.ImageIsOk;
}

void TJobs::ClearInput()
{
    Engine.InInfo = TFileInfo {};
}

void TJobs::ShowProgress(int32_t max, const std::string& desc)
{
    Paused = false;
    Engine.Abort = false;
    Host.ShowProgressPanel(max, desc);
}

void TJobs::UpdateProgress(int32_t current)
{
    Host.ProcessMessages();
    Host.SetProgressPosition(current);
    CheckIfPaused();
}

void TJobs::HideProgress()
{
    Host.HideProgressPanel();
}

void TJobs::ShowError(const std::string& msg)
{
    Host.ShowError(msg);
}

void TJobs::ShowStatus(const std::string& msg)
{
    Host.ShowStatus(msg);
    Host.ProcessMessages();
}

void TJobs::CheckIfPaused()
{
    while (Paused) {
        std::this_thread::sleep_for(kPauseSleep);
        Host.ProcessMessages();
    }
}

void TJobs::TogglePause()
{
    Paused = !Paused;
    Host.SetProgressPaused(Paused);
}

void TJobs::ConfirmAbort(bool yes)
{
    if (yes) {
        Engine.Abort = true;
        // A paused job resumes at once and stops at its next test of Abort.
        Paused = false;
    } else {
        Engine.Abort = false;
    }
}
