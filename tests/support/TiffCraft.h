// A small TIFF writer of the tests' own, for damaged and hostile files that libtiff will not
// write: any tag with any type, count and value, strips and tiles of any declared size placed
// anywhere, tables that lie about them.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace TiffCraft {

/// Field types of directory entries.
enum TType : uint16_t { kByte = 1, kAscii = 2, kShort = 3, kLong = 4, kLong8 = 16 };

/// Tag numbers the crafted files use.
enum TTag : uint16_t {
    kImageWidth = 256,
    kImageLength = 257,
    kBitsPerSample = 258,
    kCompression = 259,
    kPhotometric = 262,
    kStripOffsets = 273,
    kSamplesPerPixel = 277,
    kRowsPerStrip = 278,
    kStripByteCounts = 279,
    kPlanarConfig = 284,
    kTileWidth = 322,
    kTileLength = 323,
    kTileOffsets = 324,
    kTileByteCounts = 325,
    kExtraSamples = 338,
};

/// A little-endian TIFF or BigTIFF with one directory, built piece by piece: data blocks
/// after the header in the order appended, then the directory with its entries in tag order
/// and the values that do not fit an entry after it.
class TTiffFile {
public:
    explicit TTiffFile(bool bigTiff = false);
    /// Appends a block of bytes; the offset it will have in the file.
    uint64_t Append(const std::vector<uint8_t>& bytes);
    /// Sets a tag, replacing any entry of that number.
    void Set(uint16_t tag, uint16_t type, std::vector<uint64_t> values);
    void Remove(uint16_t tag);
    /// The values of a tag (empty when absent).
    std::vector<uint64_t> Values(uint16_t tag) const;
    bool BigTiff() const { return FBig; }
    /// The whole file.
    std::vector<uint8_t> Bytes() const;

private:
    struct TEntry {
        uint16_t Tag;
        uint16_t Type;
        std::vector<uint64_t> Values;
    };
    bool FBig;
    std::vector<uint8_t> FData; ///< everything after the header, before the directory
    std::vector<TEntry> FEntries;
};

/// The image of a crafted file and the layout of its samples.
struct TLayout {
    uint32_t Width = 8;
    uint32_t Height = 6;
    uint16_t Bits = 8;
    uint16_t Samples = 3;
    uint16_t Planar = 1; ///< 1 interleaved, 2 one plane per sample
    /// The RowsPerStrip tag as stored (0 leaves it out); strips hold min(this, Height) rows.
    uint32_t RowsPerStrip = 0;
    uint32_t TileWidth = 0; ///< tiles when both are non-zero
    uint32_t TileLength = 0;
    /// The ExtraSamples tag: its first ExtraCount values (left out when 0).
    uint16_t ExtraCount = 0;
    uint16_t Extra[2] = { 0, 0 };
    bool Deflate = false; ///< every strip or tile deflated (Compression 8), else uncompressed
    bool BigTiff = false;
};

/// Samples for a layout, interleaved (Width * Height * Samples values): every sample differs
/// from its neighbours and encodes its position and channel.
std::vector<uint32_t> PatternSamples(const TLayout& layout);

/// A well-formed file of the layout holding samples (interleaved, as PatternSamples gives):
/// strips or tiles in plane-major order, each stored whole; a tile whose whole would exceed
/// one MiB stores its rows down to the image's last row only (enough for any reader that
/// decodes only what the image needs). Damaged variants edit the tags of the result.
TTiffFile Build(const TLayout& layout, const std::vector<uint32_t>& samples);

/// Little-endian bytes of samples at 8 or 16 bits.
std::vector<uint8_t> SampleBytes(const std::vector<uint32_t>& samples, uint16_t bits);

} // namespace TiffCraft
