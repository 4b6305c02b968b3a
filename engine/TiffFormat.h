// TIFF and BigTIFF: the BigTIFF rule, the examination shared by the probe and the reader, the
// line reader and writer, and the TIFF row of the format table.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "engine/Formats.h"
#include "engine/LineFormats.h"

/// Whether a TIFF output of pixelBytes bytes of pixel data must be a BigTIFF.
bool NeedsBigTiff(uint64_t pixelBytes, bool force);

/// What the examination of a TIFF found, in the order the checks are made.
enum class TTiffVerdict : uint8_t {
    Ok,
    CannotOpen, ///< libtiff could not open the file at all
    NoSize, ///< width or height absent or 0
    Bits, ///< bits per sample not 8 or 16
    Channels, ///< samples per pixel not 3 or 4
    SampleFormat, ///< samples are not unsigned integers
    Photometric, ///< not RGB(A), nor YCbCr that the JPEG decoder turns into RGB
    Compression, ///< no codec for the compression in this libtiff
    TooLarge, ///< the reader's buffers for this geometry would exceed the fixed limits
};

/// The properties of a TIFF's first image that the engine reads.
struct TTiffLayout {
    uint32_t Width = 0;
    uint32_t Height = 0;
    uint16_t Bits = 0;
    uint16_t Samples = 0; ///< samples per pixel in the file
    /// Samples per pixel delivered: the first three or four (samples beyond the fourth, which
    /// is an alpha or unspecified sample, are skipped).
    uint16_t Channels = 0;
    bool AssociatedAlpha = false; ///< the fourth sample is alpha premultiplied into the colours
    uint16_t Planar = 1; ///< 1 interleaved, 2 one plane per sample
    bool Tiled = false;
    uint32_t TileWidth = 0;
    uint32_t TileLength = 0;
    uint32_t RowsPerStrip = 0;
    uint16_t Compression = 1;
};

/// Opens path with libtiff and examines its first image; never prints. reason receives
/// libtiff's or the system's words when the file cannot be opened, else a description of
/// what the verdict refuses ("" for Ok).
TTiffVerdict ExamineTiffFile(const std::string& path, TTiffLayout& layout, std::string& reason);

/// The largest buffer the TIFF reader may hold for one band of lines or one decoded strip or
/// tile: generous for any real image (a band of 512 lines of 500,000 pixels of 16-bit RGBA),
/// and refused with "Image dimensions exceed internal limits" beyond.
inline constexpr uint64_t kMaxTiffBufferBytes = uint64_t(2) << 30;
/// A decoded tile may be wider than the image (a small image in one 256 x 256 tile); its
/// buffer may then exceed the band's, but not this.
inline constexpr uint64_t kMaxTiffTileOverhang = uint64_t(64) << 20;

/// One-plane-per-sample strips are decoded a band of strips at a time while the band holds at
/// most this many bytes; larger strips are read a line at a time, one libtiff handle per
/// plane, so memory stays bounded whatever the file's strip size.
inline constexpr uint64_t kMaxTiffBandBytes = uint64_t(256) << 20;

/// The TIFF reader; maxBandBytes is lowered by tests to reach the line-at-a-time path.
std::unique_ptr<TLineReader> MakeTiffReader(uint64_t maxBandBytes = kMaxTiffBandBytes);
std::unique_ptr<TLineWriter> MakeTiffWriter();

/// The TIFF row of the format table.
const TFormat& TiffFormatRow();
