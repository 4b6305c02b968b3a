// The engine record's life cycle, its hooks, the dialogs in force, libtiff's silence, and the
// front that runs the streaming operations on InInfo and OutInfo and keeps their outcome.
#include "engine/TavmorManager.h"

#include <cstdarg>
#include <mutex>

#include <tiffio.h>

#include "engine/Streaming.h"

namespace {
void DiscardTiffMessage(const char*, const char*, va_list) { }
} // namespace

void SilenceTiffLibrary()
{
    static std::once_flag once;
    std::call_once(once, [] {
        TIFFSetWarningHandler(DiscardTiffMessage);
        TIFFSetErrorHandler(DiscardTiffMessage);
    });
}

TTavmor::TTavmor()
{
    SilenceTiffLibrary();
}

TTavmor::~TTavmor()
{
    CloseInFile();
    FOut.Discard();
}

void TTavmor::Reset()
{
    InOpen = false;
    OutOpen = false;
    ForceBigTiff = false;
}

void TTavmor::FireError(const std::string& text)
{
    if (OnError) {
        OnError(text);
    }
}

void TTavmor::FireStatus(const std::string& text)
{
    if (OnStatus) {
        OnStatus(text);
    }
}

void TTavmor::FireShowProgress(int32_t max, const std::string& caption)
{
    if (OnShowProgress) {
        OnShowProgress(max, caption);
    }
}

void TTavmor::FireUpdateProgress(int32_t position)
{
    if (OnUpdateProgress) {
        OnUpdateProgress(position);
    }
}

void TTavmor::FireHideProgress()
{
    if (OnHideProgress) {
        OnHideProgress();
    }
}

TEngineDialogs& TTavmor::UserDialogs()
{
    static TSilentDialogs silent;
    return Dialogs ? *Dialogs : silent;
}

TOutputSpec TTavmor::OutputSpec() const
{
    TOutputSpec setup;
    setup.Type = OutInfo.ImageType;
    setup.Options = Options;
    if (Lzw) {
        setup.Options.Compression = TCompression::Lzw;
    }
    setup.Options.ForceBigTiff = ForceBigTiff;
    setup.Durable = !ScratchOutputs;
    if (!ScratchOutputs) {
        setup.ExactName = ExactOutputName;
    }
    return setup;
}

TRunContext TTavmor::RunContext()
{
    return TRunContext { Abort, *this, UserDialogs() };
}

TOutcome TTavmor::Keep(TOutcome outcome)
{
    Abort = outcome != TOutcome::Done;
    return outcome;
}

TOutcome TTavmor::CopyRegion(int32_t X, int32_t Y, uint32_t Width, uint32_t Height,
    const std::string& OutFolder, const std::string& Caption)
{
    TRunContext run = RunContext();
    if (OutInfo.ImageType == FileType::NV) {
        return Keep(TOutcome::Failed);
    }
    return Keep(Stream::CopyRegion(
        run, InInfo, X, Y, Width, Height, OutputSpec(), OutFolder, Caption, OutInfo));
}

TOutcome TTavmor::SplitImage(uint32_t TileWidth, uint32_t TileHeight,
    std::vector<std::string>& FileList, const std::string& OutFolder, const std::string& Caption)
{
    TRunContext run = RunContext();
    if (OutInfo.ImageType == FileType::NV) {
        return Keep(TOutcome::Failed);
    }
    const TOutcome outcome = Stream::SplitImage(
        run, InInfo, TileWidth, TileHeight, OutputSpec(), OutFolder, Caption, FileList);
    // The BigTIFF choice of this grid must not reach the next output.
    ForceBigTiff = false;
    return Keep(outcome);
}

TOutcome TTavmor::MergeTiles(uint32_t CountX, uint32_t CountY,
    const std::vector<std::string>& Files, const std::string& OutFolder, const std::string& Caption)
{
    TRunContext run = RunContext();
    if (OutInfo.ImageType == FileType::NV) {
        return Keep(TOutcome::Failed);
    }
    return Keep(Stream::MergeTiles(
        run, CountX, CountY, Files, OutputSpec(), OutFolder, Caption, InInfo.FileName, OutInfo));
}
