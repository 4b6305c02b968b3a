// The Start handler and the Convert, Crop, Split and Merge jobs, the derived panel numbers and
// the progress, pause and abort logic that the window and the command line share.
#include "jobs/TavmorJobs.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <thread>
#include <utility>

#include "engine/EngineTexts.h"
#include "engine/ScopeExit.h"
#include "engine/TavmorUtils.h"
#include "jobs/JobTexts.h"

namespace {

// The tile fields cannot hold more than this; the recalculation keeps them inside it.
constexpr int64_t kMaxTileSide = 1000000;
// Below this a tile or target size is still being typed; the derived numbers wait for it.
constexpr int64_t kMinDerivedSide = 256;
// While paused the job wakes this often to let Continue and Abort through.
constexpr auto kPauseSleep = std::chrono::milliseconds(50);

/// Number of tiles of `tile` pixels needed to cover `side` pixels (tile > 0).
int64_t TileCount(int64_t side, int64_t tile)
{
    return side / tile + (side % tile != 0 ? 1 : 0);
}

/// Nearest integer with halves to the even neighbour (the rounding mode in force is the
/// default one, to nearest).
int64_t RoundHalfEven(long double v)
{
    return static_cast<int64_t>(std::nearbyint(v));
}

/// A panel value narrowed to an engine size; the panels keep their values in range, this
/// only keeps an out-of-range value from wrapping.
uint32_t ToSize(int64_t v)
{
    if (v < 0) {
        return 0;
    }
    if (v > static_cast<int64_t>(UINT32_MAX)) {
        return UINT32_MAX;
    }
    return static_cast<uint32_t>(v);
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

void TJobs::btStartClick()
{
    // The window pumps messages inside a job, so a second Start can arrive while one runs.
    if (FRunning) {
        return;
    }
    FRunning = true;
    TScopeExit running([this] { FRunning = false; });

    ShowStatus("");
    TPanelValues& panel = Host.Panel();
    if (!panel.BrowseDirectory.empty() && !DirectoryExists(panel.BrowseDirectory)) {
        ShowError(JobText::OutputDirMissing);
        return;
    }
    SetOutputOptions();

    switch (panel.CurrentPanel) {
    case TPanel::Convert:
        RunRegionCopy(0, 0, Engine.InInfo.Width, Engine.InInfo.Height);
        break;
    case TPanel::Crop:
        RunCrop();
        break;
    case TPanel::Resize:
        RunResize();
        break;
    case TPanel::Split: {
        jvSplitWidthChange(TPanelField::SplitWidth);
        std::vector<std::string> list;
        RunSplit(list);
        break;
    }
    case TPanel::Merge:
        RunMerge();
        break;
    case TPanel::About:
        // No job behind this panel; there is no outcome to report.
        return;
    }

    ShowStatus(Engine.Abort ? JobText::OperationAborted : JobText::OperationCompleted);
    HideProgress();
    Host.EnableButtons();
}

void TJobs::SetOutputOptions()
{
    Engine.OutInfo.ImageType = FileType::NV;
    Engine.Lzw = false;
    switch (Host.Panel().Output) {
    case TOutputChoice::Tif:
        Engine.OutInfo.ImageType = FileType::TIF;
        break;
    case TOutputChoice::TifLzw:
        Engine.OutInfo.ImageType = FileType::TIF;
        Engine.Lzw = true;
        break;
    case TOutputChoice::Kro:
        Engine.OutInfo.ImageType = FileType::KRO;
        break;
    case TOutputChoice::Raw:
        Engine.OutInfo.ImageType = FileType::RAW;
        break;
    }
}

std::string TJobs::OutputFolderFor(const std::string& fileName) const
{
    const std::string& chosen = Host.Panel().EditOutputFolder;
    std::string folder =
        (!chosen.empty() && DirectoryExists(chosen)) ? chosen : DirectoryOf(fileName);
    if (folder.empty()) {
        // A name without a folder lives in the working folder; a lone separator would be
        // the root of the file system.
        return std::string { '.', kPathSeparator };
    }
    if (folder.back() != kPathSeparator) {
        folder += kPathSeparator;
    }
    return folder;
}

void TJobs::RunRegionCopy(int64_t x, int64_t y, int64_t width, int64_t height)
{
    Host.DisableButtons();
    TScopeExit enable([this] { Host.EnableButtons(); });
    const std::string folder = OutputFolderFor(Engine.InInfo.FileName);
    Engine.CopyRegion(static_cast<int32_t>(std::clamp<int64_t>(x, 0, INT32_MAX)),
        static_cast<int32_t>(std::clamp<int64_t>(y, 0, INT32_MAX)), ToSize(width), ToSize(height),
        folder, "");
}

void TJobs::RunCrop()
{
    const TPanelValues& panel = Host.Panel();
    const int64_t w = Engine.InInfo.Width;
    const int64_t h = Engine.InInfo.Height;
    const int64_t x = panel.CropX;
    const int64_t y = panel.CropY;
    const int64_t cw = panel.CropW;
    const int64_t ch = panel.CropH;

    // The fields keep the point at 0 or more and the size at 1 or more; the lower bounds are
    // tested as well so that a caller without those fields gets the same messages.
    std::string refusal;
    if (x < 0 || x > w - 1) {
        refusal = JobText::CropXRange + std::to_string(w);
    } else if (y < 0 || y > h - 1) {
        refusal = JobText::CropYRange + std::to_string(h);
    } else if (cw < 1 || x + cw > w) {
        refusal = JobText::CropWidthRange + std::to_string(w - x);
    } else if (ch < 1 || y + ch > h) {
        refusal = JobText::CropHeightRange + std::to_string(h - y);
    }
    if (!refusal.empty()) {
        ShowError(refusal);
        Engine.Abort = true;
        return;
    }
    RunRegionCopy(x, y, cw, ch);
}

void TJobs::RunSplit(std::vector<std::string>& list)
{
    Host.DisableButtons();
    TScopeExit enable([this] { Host.EnableButtons(); });
    const TPanelValues& panel = Host.Panel();
    const std::string folder = OutputFolderFor(Engine.InInfo.FileName);
    Engine.SplitImage(std::max<uint32_t>(ToSize(panel.SplitWidth), 1),
        std::max<uint32_t>(ToSize(panel.SplitHeight), 1), list, folder, "");
}

void TJobs::RunMerge()
{
    const TPanelValues& panel = Host.Panel();
    const std::vector<std::string>& files = panel.SelectedFiles;
    if (files.empty()) {
        return;
    }
    const int64_t cx = panel.MergeX;
    const int64_t cy = panel.MergeY;
    const int64_t wanted = cx * cy;
    const int64_t selected = static_cast<int64_t>(files.size());
    if (wanted != selected) {
        const char* first = wanted > selected ? JobText::FilesMissing : JobText::TooManyFiles;
        ShowError(std::string(first) + JobText::LineBreak + JobText::PleaseSelect
            + std::to_string(wanted) + JobText::FilesWord);
        Engine.Abort = true;
        return;
    }

    Host.DisableButtons();
    TScopeExit enable([this] { Host.EnableButtons(); });
    const std::string folder = OutputFolderFor(files.front());
    Engine.MergeTiles(ToSize(cx), ToSize(cy), files, folder, "");
}

void TJobs::jvSplitWidthChange(TPanelField sender)
{
    const TFileInfo& in = Engine.InInfo;
    if (!in.ImageIsOk) {
        return;
    }
    const int64_t w = in.Width;
    const int64_t h = in.Height;
    TPanelValues& panel = Host.Panel();

    switch (sender) {
    case TPanelField::SplitWidth:
    case TPanelField::SplitHeight: {
        int64_t& size = sender == TPanelField::SplitWidth ? panel.SplitWidth : panel.SplitHeight;
        const int64_t side = sender == TPanelField::SplitWidth ? w : h;
        if (size > side) {
            size = side;
        }
        if (size > kMaxTileSide) {
            size = kMaxTileSide;
        }
        if (panel.SplitWidth >= kMinDerivedSide && panel.SplitHeight >= kMinDerivedSide) {
            panel.SplitX = TileCount(w, panel.SplitWidth);
            panel.SplitY = TileCount(h, panel.SplitHeight);
        }
        break;
    }
    case TPanelField::ResizeW:
        if (panel.ResizeW >= kMinDerivedSide && w > 0) {
            // The ratio in double, the division by it in extended precision.
            const double ratio = static_cast<double>(w) / static_cast<double>(panel.ResizeW);
            panel.ResizeH = RoundHalfEven(static_cast<long double>(h) / ratio);
        }
        break;
    default:
        return;
    }
    Host.PanelValuesChanged();
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
        if (in.Width == 0 || in.Height == 0) {
            ShowError(JobText::DimensionZero);
            in.ImageIsOk = false;
        }
        if (in.Width > kMaxImageSide || in.Height > kMaxImageSide) {
            ShowError(EngineText::DimensionsExceedLimits);
            in.ImageIsOk = false;
        }
    }
    if (in.ImageIsOk) {
        ShowStatus(JobText::ImageIsValid);
        jvSplitWidthChange(TPanelField::SplitWidth);
    }
    return in.ImageIsOk;
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
