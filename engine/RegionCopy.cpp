// Region copy: streams a rectangle of the input into one new output file, line by line,
// converting the pixel layout to the output kind on the way.
#include <string>
#include <utility>

#include "engine/EngineTexts.h"
#include "engine/ScopeExit.h"
#include "engine/TavmorManager.h"
#include "engine/TavmorUtils.h"

namespace {

// Progress is reported every so many lines: often enough for a smooth bar and a prompt
// pause, rarely enough that the window's repaint costs nothing beside the copy.
constexpr int32_t kCopyProgressLines = 7;
constexpr int32_t kSkipProgressLines = 50;

/// Whether [x, x + width) x [y, y + height) is a non-empty rectangle inside the image.
bool RegionInside(const TFileInfo& info, int32_t x, int32_t y, uint32_t width, uint32_t height)
{
    return x >= 0 && y >= 0 && width > 0 && height > 0
        && uint64_t(uint32_t(x)) + width <= info.Width
        && uint64_t(uint32_t(y)) + height <= info.Height;
}

} // namespace

void TTavmor::CopyRegion(int32_t X, int32_t Y, uint32_t Width, uint32_t Height,
    const std::string& OutFolder, const std::string& Caption)
{
    // Every failure is reported here; none stays pending for the caller's next step.
    TScopeExit clearPending([] { (void)IoResult(); });
    FireStatus("");
    if (!InInfo.ImageIsOk || !FileExists(InInfo.FileName)) {
        FireError(EngineText::FileNotFound);
        Abort = true;
        return;
    }
    // Callers promise a rectangle inside the image; a broken promise must not read or write
    // past a line buffer.
    if (!RegionInside(InInfo, X, Y, Width, Height)) {
        FireError(EngineText::RegionOutsideImage);
        Abort = true;
        return;
    }
    if (!OpenInFile(InInfo.FileName)) {
        FireError(EngineText::ErrorOpeningInput);
        Abort = true;
        CloseInFile();
        return;
    }
    OutInfo.Width = Width;
    OutInfo.Height = Height;
    std::string name = OutFolder + BaseNameOf(InInfo.FileName);
    if (OutInfo.ImageType == FileType::RAW) {
        name += RawSizeSuffix(Width, Height);
    }
    if (!OpenOutFile(name)) {
        Abort = true;
        (void)CloseOutFile();
        CloseInFile();
        return;
    }

    const auto firstLine = static_cast<uint32_t>(Y);
    FireShowProgress(static_cast<int32_t>(firstLine + Height), Caption);
    TScopeExit hideProgress([this] { FireHideProgress(); });
    (void)IoResult();

    // Sequential inputs reach line Y only by reading the lines before it; TIFF lines are
    // read by number.
    if (Y > 0 && InInfo.ImageType != FileType::TIF) {
        for (int32_t i = 0; i < Y; ++i) {
            if (Abort) {
                break;
            }
            const int32_t got = ReadLine(i);
            if (i % kSkipProgressLines == 0) {
                FireUpdateProgress(i);
            }
            FireStatus(EngineText::SkippingLines + std::to_string(Y - i) + ")");
            // A short line is as bad as none: the buffer would keep the last line's bytes.
            if (IoResult() != 0 || got != static_cast<int32_t>(InInfo.ScanLineSize)) {
                FireError(EngineText::ReadFileError);
                Abort = true;
                break;
            }
        }
    }

    uint32_t counter = 0;
    for (uint32_t r = firstLine; r < firstLine + Height; ++r) {
        if (Abort) {
            break;
        }
        const int32_t got = ReadLine(static_cast<int32_t>(r));
        if (IoResult() != 0 || got != static_cast<int32_t>(InInfo.ScanLineSize)) {
            FireError(EngineText::ReadFileError);
            Abort = true;
            break;
        }
        RepackLine(InInfo, static_cast<uint32_t>(X), OutInfo, 0, Width);
        const int32_t written = WriteLine(counter);
        if (IoResult() != 0 || written != static_cast<int32_t>(OutInfo.ScanLineSize)) {
            FireError(EngineText::WriteToFileError);
            Abort = true;
            break;
        }
        if (r % kCopyProgressLines == 0) {
            FireUpdateProgress(static_cast<int32_t>(r));
        }
        FireStatus(EngineText::SavingLines + std::to_string(Height - counter) + ")");
        ++counter;
    }

    // Closing writes the TIFF directory and flushes buffered lines: a failure there loses
    // data as surely as a failed line write.
    if (!CloseOutFile() && !Abort) {
        FireError(EngineText::WriteToFileError);
        Abort = true;
    }
    (void)IoResult();
    if (Abort) {
        (void)DeleteFileAt(OutInfo.FileName);
    }
    CloseInFile();
}
