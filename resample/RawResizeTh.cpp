// The tile resize worker: shrinks one size-named RAW tile on a thread of its own and writes the
// result beside it under a name that carries the new size, or shrinks a tile that comes as rows.
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
#include "resample/RawRowFiles.h"
#include "resample/ResampleTexts.h"
#include "resample/Resampler.h"
#include "resample/RowResampler.h"

namespace {

// Shown by debuggers and top; Linux allows 15 characters.
constexpr const char* kThreadName = "TRawResizeTh";

// One side of the result (DividedSide); a side that rounds to 0 or beyond the image limits is
// a failure.
int32_t NewSide(uint32_t side, long double divider)
{
    const int32_t q = DividedSide(side, divider);
    if (q == 0)
        throw EImageError(ResampleText::BadDivider);
    return q;
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
    NewWidth = NewHeight = 0;
    Peak = {};
    FSource = nullptr;
    FSink = nullptr;
}

void TRawResize::InitRows(int32_t width, int32_t height, TImageFormat format, long double aDivider,
    bool fast, TRowSource source, TRowSink sink)
{
    Init(std::string(), aDivider, fast);
    FWidth = width;
    FHeight = height;
    FFormat = format;
    FSource = std::move(source);
    FSink = std::move(sink);
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
    try {
        if (FSource)
            ResizeRows();
        else
            ResizeFile(WholeTile);
    } catch (...) {
        Error = true;
        OutFileName.clear();
        NoteFailure(std::current_exception());
    }
}

void TRawResize::ResizeRows()
{
    TRowResizeSpec setup;
    if (!TileResizeSpec(FWidth, FHeight, FFormat, Divider, FastMethod, Threads, setup))
        throw EImageError(ResampleText::BadDivider);
    NewWidth = setup.NewWidth;
    NewHeight = setup.NewHeight;
    TRowResampler resampler;
    const bool done = resampler.Open(setup, FSink) && resampler.Run(FSource);
    Peak = resampler.Peak();
    if (!done)
        throw EImageError(resampler.ErrorText());
}

void TRawResize::ResizeFile(bool wholeTile)
{
    uint32_t width = 0, height = 0;
    RawSizeFromName(SrcFileName, width, height);
    if (width == 0 || height == 0) {
        OutFileName.clear();
        return;
    }
    const int32_t newWidth = NewSide(width, Divider);
    const int32_t newHeight = NewSide(height, Divider);
    const TSplitName parts = SplitFileName(SrcFileName);
    uint32_t column = 0, row = 0;
    TileIndexFromName(SrcFileName, column, row);
    if (width > uint32_t(std::numeric_limits<int32_t>::max())
        || height > uint32_t(std::numeric_limits<int32_t>::max()))
        throw EImageError(ResampleText::ImageTooLarge);
    const TImageFormat format = TileFormatOf(SrcFileName, width, height);
    NewWidth = newWidth;
    NewHeight = newHeight;

    std::string name = DirectoryOf(SrcFileName) + parts.Base
        + RawSizeSuffix(uint64_t(newWidth), uint64_t(newHeight));
    if (column != 0)
        name += "_x" + std::to_string(column) + "y" + std::to_string(row);
    name += "." + parts.Extension;
    // An unchanged tile under its own name is already on disk byte for byte; writing it again
    // would only risk it.
    const bool unchanged =
        int64_t(newWidth) == int64_t(width) && int64_t(newHeight) == int64_t(height);
    if (unchanged && name == SrcFileName) {
        OutFileName = name;
        return;
    }
    if (wholeTile) {
        TImageData image;
        TImageGuard guard { image };
        LoadRawPixels(SrcFileName, int32_t(width), int32_t(height), format, image);
        ScaleImage(image, newWidth, newHeight, FastMethod ? rfNearest : rfLanczos, Threads);
        SaveRawPixels(name, image);
        Peak = { int32_t(height), newHeight, int64_t(width) * height * 3 + image.Size };
        OutFileName = name;
        return;
    }

    const TRowResizeSpec setup { int32_t(width), int32_t(height), newWidth, newHeight, format,
        FastMethod ? rfNearest : rfLanczos, Threads };
    TRawRowReader reader;
    TRawRowWriter writer;
    if (!reader.Open(
            SrcFileName, int64_t(width) * GetFormatInfo(format)->BytesPerPixel, int64_t(height)))
        throw EImageError(reader.ErrorText());
    if (!writer.Create(name))
        throw EImageError(writer.ErrorText());
    TRowResampler resampler;
    const auto sink = [&](int32_t, const uint8_t* out) {
        return writer.WriteRow(out, resampler.DestinationRowBytes());
    };
    const auto source = [&](int32_t y, uint8_t* in) { return reader.ReadRow(y, in); };
    const bool done = resampler.Open(setup, sink) && resampler.Run(source);
    Peak = resampler.Peak();
    // The reader's or writer's own text says more than the resampler's report of the refusal.
    if (!done)
        throw EImageError(!reader.ErrorText().empty() ? reader.ErrorText()
                : !writer.ErrorText().empty()         ? writer.ErrorText()
                                                      : resampler.ErrorText());
    if (!writer.Commit())
        throw EImageError(writer.ErrorText());
    OutFileName = name;
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
