// The tile resize worker: shrinks one size-named RAW tile in memory on a thread of its own and
// writes the result beside it under a name that carries the new size.
#include "resample/RawResizeTh.h"

#include <cerrno>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <limits>
#include <pthread.h>
#include <sys/stat.h>
#include <system_error>

#include "engine/IoSeam.h"
#include "engine/TavmorUtils.h"
#include "resample/ImageData.h"
#include "resample/PixelMath.h"
#include "resample/ResampleTexts.h"
#include "resample/Resampler.h"

namespace {

// Shown by debuggers and top; Linux allows 15 characters.
constexpr const char* kThreadName = "TRawResizeTh";

// One side of the result: the side divided by the divider, rounded half to even, in extended
// precision. A side that rounds to 0 or beyond the image limits is a failure.
int32_t NewSide(uint32_t side, long double divider)
{
    const long double q = RoundHalfEven((long double)side / divider);
    if (!(q >= 1.0L && q <= (long double)std::numeric_limits<int32_t>::max()))
        throw EImageError(ResampleText::BadDivider);
    return int32_t(q);
}

// Tiles of 16-bit images hold 6 bytes per pixel, those of 8-bit images 3; the length tells
// which. Any other length is a damaged tile.
TImageFormat TileFormatOf(const std::string& fileName, uint32_t width, uint32_t height)
{
    struct stat st { };
    if (IoSeam().Stat(fileName.c_str(), &st) != 0)
        throw EImageError(ResampleText::CannotOpen + fileName + ": " + std::strerror(errno));
    const auto length = uintmax_t(st.st_size);
    // Divided rather than multiplied: pixels × 6 may not fit in 64 bits.
    const uintmax_t pixels = uintmax_t(width) * height;
    if (pixels > 0 && length % pixels == 0 && length / pixels == 3)
        return R8G8B8;
    if (pixels > 0 && length % pixels == 0 && length / pixels == 6)
        return R16G16B16;
    throw EImageError(ResampleText::TileLengthMismatch + fileName);
}

// Frees the image on every way out of ResizeTile.
struct TImageGuard {
    TImageData& Image;
    ~TImageGuard() { ReleaseImage(Image); }
};

} // namespace

TRawResize::~TRawResize()
{
    WaitFor();
}

void TRawResize::Init(const std::string& inFile, long double aDivider, bool fast)
{
    SrcFileName = inFile;
    OutFileName.clear();
    Divider = aDivider;
    FastMethod = fast;
    Error = false;
    ErrorText.clear();
}

bool TRawResize::Start()
{
    if (FThread.joinable() || FFinished.load())
        return false;
    try {
        FThread = std::thread([this] { Execute(); });
    } catch (const std::system_error&) {
        return false;
    }
    return true;
}

void TRawResize::WaitFor()
{
    if (FThread.joinable())
        FThread.join();
}

void TRawResize::Execute()
{
    pthread_setname_np(pthread_self(), kThreadName);
    TRoundToNearestScope rounding;
    ResizeTile();
    FFinished.store(true, std::memory_order_release);
}

void TRawResize::ResizeTile()
{
    TRoundToNearestScope rounding;
    TImageData image;
    TImageGuard guard { image };
    try {
        uint32_t width = 0, height = 0;
        RawSizeFromName(SrcFileName, width, height);
        if (width == 0 || height == 0) {
            OutFileName.clear();
            return;
        }
        const int32_t newWidth = NewSide(width, Divider);
        const int32_t newHeight = NewSide(height, Divider);
        const TSplitName parts = SplitFileName(SrcFileName);
        const std::string& extension = parts.Extension;
        uint32_t column = 0, row = 0;
        TileIndexFromName(SrcFileName, column, row);
        const std::string base = DirectoryOf(SrcFileName) + parts.Base;

        if (width > uint32_t(std::numeric_limits<int32_t>::max())
            || height > uint32_t(std::numeric_limits<int32_t>::max()))
            throw EImageError(ResampleText::ImageTooLarge);
        const TImageFormat format = TileFormatOf(SrcFileName, width, height);
        LoadRawPixels(SrcFileName, int32_t(width), int32_t(height), format, image);
        const bool resized =
            ScaleImage(image, newWidth, newHeight, FastMethod ? rfNearest : rfLanczos, Threads);

        std::string name = base + RawSizeSuffix(uint64_t(image.Width), uint64_t(image.Height));
        if (column != 0)
            name += "_x" + std::to_string(column) + "y" + std::to_string(row);
        name += "." + extension;
        // An unchanged tile under its own name is already on disk byte for byte; writing it
        // again would only risk it.
        if (resized || name != SrcFileName)
            SaveRawPixels(name, image);
        OutFileName = name;
    } catch (...) {
        Error = true;
        OutFileName.clear();
        NoteFailure(std::current_exception());
    }
}

void TRawResize::NoteFailure(std::exception_ptr failure) noexcept
{
    // Keeping the text must not fail in turn: out of memory, the text stays empty.
    try {
        try {
            std::rethrow_exception(failure);
        } catch (const std::exception& e) {
            ErrorText = e.what();
        } catch (...) {
            ErrorText = ResampleText::UnknownError;
        }
    } catch (...) {
        ErrorText.clear();
    }
}
