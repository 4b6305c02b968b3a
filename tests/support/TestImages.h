// Small generated test images whose samples encode their position, writers of every input
// kind the engine reads (TIFF variants, KRO, RAW), a reader of any output back into pixels,
// and a temporary folder that cleans up after itself.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

namespace TestImages {

/// A fresh folder under the system's temporary folder, removed with everything in it.
class TTempDir {
public:
    TTempDir();
    ~TTempDir();
    TTempDir(const TTempDir&) = delete;
    TTempDir& operator=(const TTempDir&) = delete;
    /// The folder, ending with the path separator.
    const std::string& Path() const { return FPath; }
    /// Path() + name.
    std::string File(const std::string& name) const { return FPath + name; }
    /// Names (not paths) of the entries in the folder, sorted.
    std::vector<std::string> Names() const;

private:
    std::string FPath;
};

/// An image in memory: Samples holds Height lines of Width pixels of Channels samples,
/// whatever the depth (8-bit values stay below 256).
struct TPixels {
    uint32_t Width = 0;
    uint32_t Height = 0;
    uint8_t Bits = 8;
    uint8_t Channels = 3;
    std::vector<uint32_t> Samples;

    uint32_t At(uint32_t x, uint32_t y, uint32_t c) const
    {
        return Samples[(size_t(y) * Width + x) * Channels + c];
    }
    bool operator==(const TPixels&) const = default;
};

/// The test pattern: R = x, G = y, B mixes both, alpha (never opaque) mixes both again; the
/// low byte of a 16-bit sample holds its channel and row, so a byte swap, a channel swap, a
/// shift or a lost row all change the picture. 32-bit samples are the 16-bit ones widened.
TPixels PatternImage(uint32_t width, uint32_t height, uint8_t bits, uint8_t channels);
/// The same pixels with `channels` samples: alpha dropped, or added fully opaque.
TPixels WithChannels(const TPixels& image, uint8_t channels);
/// The rectangle [x, x + width) x [y, y + height) of an image.
TPixels CropOf(const TPixels& image, uint32_t x, uint32_t y, uint32_t width, uint32_t height);
/// Equal images, or a description of the first difference.
::testing::AssertionResult SamePixels(const TPixels& expected, const TPixels& actual);

enum class TTiffKind : uint8_t {
    Strips, ///< interleaved samples in strips
    Tiled, ///< interleaved samples in tiles
    Planar, ///< one plane per sample, in strips
    PlanarTiled, ///< one plane per sample, in tiles
};

struct TTiffOptions {
    TTiffKind Kind = TTiffKind::Strips;
    uint16_t Compression = 1; ///< 1 none, 5 LZW, 8 deflate
    bool BigTiff = false;
    bool BigEndian = false;
    uint32_t RowsPerStrip = 1;
    uint32_t TileSize = 16; ///< tile width and length, a multiple of 16
    uint16_t Photometric = 2; ///< 2 RGB; 1 grey, 5 separated (CMYK), 8 CIELab...
    uint16_t SampleFormat = 0; ///< 0 leaves the tag out; 1 unsigned, 2 signed, 3 float
};

/// Writes a TIFF of the image with libtiff; false when libtiff refused.
[[nodiscard]] bool WriteTiff(
    const std::string& path, const TPixels& image, const TTiffOptions& options = {});
/// Writes a KRO file: the header (with the image's channels) and big-endian samples.
[[nodiscard]] bool WriteKro(const std::string& path, const TPixels& image);
/// Writes a RAW file: the samples alone, 16-bit ones least significant byte first.
[[nodiscard]] bool WriteRaw(const std::string& path, const TPixels& image);
/// The 20 bytes of a KRO header.
std::vector<uint8_t> KroHeader(
    uint32_t width, uint32_t height, uint32_t bits, uint32_t channels, uint8_t version = 1);
[[nodiscard]] bool WriteBytes(const std::string& path, const std::vector<uint8_t>& bytes);
/// Names of the entries of a folder, sorted.
std::vector<std::string> NamesIn(const std::string& folder);
/// The whole file; empty when it cannot be read.
std::vector<uint8_t> ReadBytes(const std::string& path);
/// Sets a SHORT tag of the first directory of a classic little-endian TIFF in place (to
/// make files that libtiff itself would refuse to write); false when the tag is not there.
[[nodiscard]] bool PatchTiffShortTag(const std::string& path, uint16_t tag, uint16_t value);
/// The tag numbers of the first directory of a TIFF or BigTIFF, in file order.
std::vector<uint16_t> TiffTagsOf(const std::string& path);

/// Reads an image back by its extension: a TIFF with interleaved strips, a KRO, or a RAW
/// whose size is in its name (depth from rawBits, or from the file size when 0).
std::optional<TPixels> ReadImage(const std::string& path, uint8_t rawBits = 0);

} // namespace TestImages
