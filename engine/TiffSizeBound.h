// Whether a TIFF output must be a BigTIFF, judged before a byte is written from the worst
// case of its codec, so that no output can fail for the 4 GiB that a classic TIFF addresses.
#pragma once

#include <cstdint>

#include "engine/TiffWriteOptions.h"

/// The shape of a TIFF output as far as its size goes.
struct TTiffOutputSize {
    uint32_t Width = 0;
    uint32_t Height = 0;
    uint32_t BytesPerPixel = 0; ///< channels x bytes per sample
    TTiffCompression Compression = TTiffCompression::None;
    uint32_t RowsPerStrip = 1;
    uint64_t TagBytes = 0; ///< bytes of large tags written with the image (an ICC profile)
};

/// Highest byte count a classic TIFF can hold: its offsets are 32-bit.
inline constexpr uint64_t kClassicTiffBytes = 0xFFFFFFFFULL;

/// Uncompressed outputs keep their long-standing rule: BigTIFF above this many pixel bytes.
inline constexpr uint64_t kUncompressedBigTiffPixelBytes = 4000000000ULL;

/// The most bytes the codec can turn stripBytes bytes of one strip into (libtiff encodes every
/// strip on its own): uncompressed the bytes themselves; LZW codes of at most 12 bits, each for
/// at least one byte, plus its clear codes; Deflate and ZSTD the documented worst cases of
/// libdeflate, zlib and zstd (stored blocks and frame headers), rounded up.
uint64_t WorstCaseStripBytes(uint64_t stripBytes, TTiffCompression compression);

/// The most bytes a classic TIFF of this output can take: every strip at its worst, the two
/// strip tables (4 bytes per strip each), the header, the directory and TagBytes.
uint64_t WorstCaseTiffBytes(const TTiffOutputSize& size);

/// Whether the output must be a BigTIFF (force: whatever its size, as Split's grid asks).
/// Uncompressed: its pixel bytes pass kUncompressedBigTiffPixelBytes. Compressed: its worst
/// case passes kClassicTiffBytes (or the limit a test set with TClassicTiffLimitForTests).
bool NeedsBigTiffOutput(const TTiffOutputSize& size, bool force);

/// Test-only: lowers the classic limit of compressed outputs for the life of the object, so
/// that a small image stands for one that would pass 4 GiB. One at a time, set between writes.
class TClassicTiffLimitForTests {
public:
    explicit TClassicTiffLimitForTests(uint64_t bytes);
    ~TClassicTiffLimitForTests();
    TClassicTiffLimitForTests(const TClassicTiffLimitForTests&) = delete;
    TClassicTiffLimitForTests& operator=(const TClassicTiffLimitForTests&) = delete;

private:
    uint64_t FSaved;
};
