// The in-memory image record, the pixel-format table, and loading and saving headerless tiles.
#include "resample/ImageData.h"

#include <bit>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <limits>
#include <memory>
#if defined(__linux__)
#include <sys/mman.h>
#endif

#include "engine/IoSeam.h"
#include "resample/PixelMath.h"
#include "resample/ResampleTexts.h"

// 16-bit tile samples are little-endian in the file and are used in memory as they are read.
static_assert(
    std::endian::native == std::endian::little, "16-bit samples assume a little-endian host");

namespace {

template <typename TSample> TColorFPRec GetPixelOf(const uint8_t* p)
{
    TSample s[3];
    std::memcpy(s, p, sizeof s);
    return { SampleToFloat(s[0]), SampleToFloat(s[1]), SampleToFloat(s[2]), 1.0f };
}

template <typename TSample> void SetPixelOf(uint8_t* p, const TColorFPRec& color)
{
    const TSample s[3] = { FloatToSample<TSample>(color.B), FloatToSample<TSample>(color.G),
        FloatToSample<TSample>(color.R) };
    std::memcpy(p, s, sizeof s);
}

template <int32_t BytesPerPixel> int64_t PixelsSizeOf(int32_t width, int32_t height)
{
    if (width < 0 || height < 0)
        return -1;
    const int64_t pixels = int64_t(width) * int64_t(height); // < 2^62, no overflow
    if (pixels > std::numeric_limits<int64_t>::max() / BytesPerPixel)
        return -1;
    return pixels * BytesPerPixel;
}

constexpr TImageFormatInfo kFormats[] = {
    { R8G8B8, "R8G8B8", 3, 3, 8, PixelsSizeOf<3>, GetPixelOf<uint8_t>, SetPixelOf<uint8_t> },
    { R16G16B16, "R16G16B16", 6, 3, 16, PixelsSizeOf<6>, GetPixelOf<uint16_t>,
        SetPixelOf<uint16_t> },
};

// Tiles are hundreds of megabytes: backing them with 2 MB pages saves most of the page faults
// of their first touch. Only a hint; nothing depends on it being taken.
void PreferHugePages([[maybe_unused]] uint8_t* bits, [[maybe_unused]] size_t size)
{
#if defined(__linux__) && defined(MADV_HUGEPAGE)
    constexpr uintptr_t kHuge = uintptr_t(2) << 20;
    const uintptr_t first = (reinterpret_cast<uintptr_t>(bits) + kHuge - 1) & ~(kHuge - 1);
    const uintptr_t last = (reinterpret_cast<uintptr_t>(bits) + size) & ~(kHuge - 1);
    if (last > first)
        madvise(reinterpret_cast<void*>(first), last - first, MADV_HUGEPAGE);
#endif
}

} // namespace

const TImageFormatInfo* GetFormatInfo(TImageFormat format)
{
    for (const TImageFormatInfo& info : kFormats)
        if (info.Format == format)
            return &info;
    return nullptr;
}

void ClearImage(TImageData& image)
{
    image = TImageData {};
}

bool IsValidImage(const TImageData& image)
{
    const TImageFormatInfo* info = GetFormatInfo(image.Format);
    return info && image.Width > 0 && image.Height > 0 && image.Bits
        && image.Size == info->GetPixelsSize(image.Width, image.Height);
}

bool AllocImage(int32_t width, int32_t height, TImageFormat format, TImageData& image)
{
    if (width <= 0 || height <= 0)
        throw EImageError(ResampleText::BadImageSize);
    const TImageFormatInfo* info = GetFormatInfo(format);
    if (!info)
        throw EImageError(ResampleText::UnknownFormat);
    ReleaseImage(image);
    const int64_t size = info->GetPixelsSize(width, height);
    if (size < 0 || uint64_t(size) > std::numeric_limits<size_t>::max())
        throw EImageError(ResampleText::ImageTooLarge);
    // calloc hands out zeroed pages lazily, so a big tile costs no time to clear.
    auto* bits = static_cast<uint8_t*>(std::calloc(size_t(size), 1));
    if (!bits)
        throw EImageError(ResampleText::OutOfMemory);
    PreferHugePages(bits, size_t(size));
    image.Width = width;
    image.Height = height;
    image.Format = format;
    image.Size = size;
    image.Bits = bits;
    return IsValidImage(image);
}

void ReleaseImage(TImageData& image)
{
    std::free(image.Bits);
    std::free(image.Palette);
    ClearImage(image);
}

namespace {

/// "text" + name + ": " + the system's words for code.
std::string FileFailure(const char* text, const std::string& name, int code)
{
    return text + name + ": " + std::strerror(code != 0 ? code : EIO);
}

} // namespace

void LoadRawPixels(const std::string& fileName, int32_t width, int32_t height, TImageFormat format,
    TImageData& image)
{
    // Through the engine's I/O seam, so that the fault tests reach the workers' files too.
    const int fd = IoSeam().Open(fileName.c_str(), O_RDONLY | O_CLOEXEC, 0);
    if (fd < 0)
        throw EImageError(FileFailure(ResampleText::CannotOpen, fileName, errno));
    struct TCloser {
        int Fd;
        ~TCloser() { (void)IoSeam().Close(Fd); }
    } closer { fd };
    if (!(image.Width == width && image.Height == height && image.Format == format
            && IsValidImage(image)))
        AllocImage(width, height, format, image);
    // Rows lie back to back in the file as in the buffer, so reads fill the whole image.
    const size_t wanted = size_t(image.Size);
    size_t done = 0;
    while (done < wanted) {
        const ssize_t n = IoSeam().Read(fd, image.Bits + done, wanted - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            throw EImageError(FileFailure(ResampleText::CannotOpen, fileName, errno));
        if (n == 0)
            throw EImageError(ResampleText::ShortFile + fileName);
        done += size_t(n);
    }
}

void SaveRawPixels(const std::string& fileName, const TImageData& image)
{
    const int fd = IoSeam().Open(fileName.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0)
        throw EImageError(FileFailure(ResampleText::CannotCreate, fileName, errno));
    const size_t size = IsValidImage(image) ? size_t(image.Size) : 0;
    size_t done = 0;
    int failure = 0;
    while (done < size) {
        const ssize_t n = IoSeam().Write(fd, image.Bits + done, size - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            failure = n < 0 ? errno : ENOSPC;
            break;
        }
        done += size_t(n);
    }
    // The close may report a write the system deferred.
    if (IoSeam().Close(fd) != 0 && failure == 0)
        failure = errno != 0 ? errno : EIO;
    if (failure != 0) {
        // A partial tile must not pass for a result; only a regular file is removed, never a
        // device or pipe named as the target.
        std::error_code ec;
        if (std::filesystem::is_regular_file(fileName, ec))
            std::filesystem::remove(fileName, ec);
        throw EImageError(FileFailure(ResampleText::WriteFailed, fileName, failure));
    }
}
