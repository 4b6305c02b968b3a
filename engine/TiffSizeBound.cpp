// The worst-case size of a TIFF output per codec and the BigTIFF decision drawn from it.
#include "engine/TiffSizeBound.h"

#include <algorithm>
#include <atomic>

namespace {

std::atomic<uint64_t> gClassicLimit { kClassicTiffBytes };

// Header (8), a directory of up to 24 entries (12 bytes each) and what it points to
// (BitsPerSample, the two resolutions), with room for word alignment.
constexpr uint64_t kDirectoryBytes = 4096;

} // namespace

uint64_t WorstCaseStripBytes(uint64_t stripBytes, TTiffCompression compression)
{
    const uint64_t n = stripBytes;
    switch (compression) {
    case TTiffCompression::None:
        return n;
    case TTiffCompression::Lzw:
        // Every code is at most 12 bits and stands for at least one byte; a clear code (also
        // 12 bits) follows at most every 3837 codes when the table fills, or every 10000
        // input bytes when the ratio falls; then the first clear code, end code and padding.
        return n + n / 2 + n / 1024 + 16;
    case TTiffCompression::Deflate:
        // Incompressible data goes out as stored blocks: libdeflate starts one at least every
        // 5000 bytes (5 bytes of header each), zlib every 16 KiB; plus the zlib wrapper (6)
        // and libdeflate's end padding.
        return n + 5 * (n / 4096 + 1) + 32;
    case TTiffCompression::Zstd:
        // ZSTD_COMPRESSBOUND: n + n/256, plus at most 64 below 128 KiB.
        return n + n / 256 + 96;
    }
    return n + n / 2 + n / 1024 + 16; // an unknown codec is judged as the worst one
}

uint64_t WorstCaseTiffBytes(const TTiffOutputSize& size)
{
    const uint64_t lineBytes = uint64_t(size.Width) * size.BytesPerPixel;
    const uint64_t rows = std::max<uint64_t>(1, std::min<uint64_t>(size.RowsPerStrip, size.Height));
    const uint64_t fullStrips = size.Height / rows;
    const uint64_t lastRows = size.Height % rows;
    const uint64_t strips = fullStrips + (lastRows != 0 ? 1 : 0);
    uint64_t total = fullStrips * WorstCaseStripBytes(rows * lineBytes, size.Compression);
    if (lastRows != 0) {
        total += WorstCaseStripBytes(lastRows * lineBytes, size.Compression);
    }
    return total + strips * 8 + kDirectoryBytes + size.TagBytes;
}

bool NeedsBigTiffOutput(const TTiffOutputSize& size, bool force)
{
    if (force) {
        return true;
    }
    if (size.Compression == TTiffCompression::None) {
        // The pixel bytes alone decide, with the headroom below 4 GiB that the strip tables
        // and directory of ordinary images need; outputs written this way always kept it.
        const uint64_t pixelBytes = uint64_t(size.Width) * size.Height * size.BytesPerPixel;
        return pixelBytes > kUncompressedBigTiffPixelBytes;
    }
    // A compressed output's size is known only once written: its worst case decides, since a
    // classic TIFF that grows past 4 GiB fails at the end of a long write.
    return WorstCaseTiffBytes(size) > gClassicLimit.load();
}

TClassicTiffLimitForTests::TClassicTiffLimitForTests(uint64_t bytes)
    : FSaved(gClassicLimit.exchange(bytes))
{
}

TClassicTiffLimitForTests::~TClassicTiffLimitForTests()
{
    gClassicLimit.store(FSaved);
}
