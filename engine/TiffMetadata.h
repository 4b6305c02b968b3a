// What a TIFF holds besides its pixels that an output may keep or `info` shows: the codec and
// predictor, the kind of alpha, the ICC profile, the resolution and the Orientation; read from
// a file or an open handle, and written onto an output handle.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

typedef struct tiff TIFF;

/// What the extra sample of an RGBA TIFF means (the ExtraSamples tag).
enum class TAlphaKind : uint8_t {
    None, ///< no extra sample
    Unassociated, ///< ExtraSamples 2: straight alpha
    Associated, ///< ExtraSamples 1: colours premultiplied by alpha
    Unspecified, ///< ExtraSamples 0, or an extra sample without the tag
};

/// The ResolutionUnit tag.
enum class TResolutionUnit : uint16_t {
    None = 1,
    Inch = 2,
    Centimeter = 3,
};

/// Pixels per unit across and down.
struct TTiffResolution {
    float X = 0;
    float Y = 0;
    TResolutionUnit Unit = TResolutionUnit::Inch;
    bool operator==(const TTiffResolution&) const = default;
};

/// The facts of a TIFF's first image beyond its layout.
struct TTiffMetadata {
    uint16_t CompressionCode = 1; ///< the Compression tag
    std::string Compression = "none"; ///< the codec as libtiff names it, lower case
    uint16_t Predictor = 1; ///< 1 none, 2 horizontal differencing, 3 floating point
    TAlphaKind Alpha = TAlphaKind::None;
    std::vector<uint8_t> IccProfile; ///< empty when the file has none
    std::optional<TTiffResolution> Resolution; ///< absent when the file has none
    uint16_t Orientation = 1; ///< 1 to 8; 1 when absent or out of range
};

/// The name of a codec: libtiff's name in lower case ("none", "lzw", "jpeg", "zstd", ...),
/// "deflate" for both Deflate codes, "unknown" for a code libtiff does not know.
std::string CompressionName(uint16_t code);

/// The name of an alpha kind as `info` shows it: "none", "unassociated", ...
const char* AlphaKindName(TAlphaKind kind);

/// The name of a resolution unit as `info` shows it: "inch", "cm" or "none".
const char* ResolutionUnitName(TResolutionUnit unit);

/// Reads the metadata of the current directory of an open handle. Never fails: what is
/// absent or unusable keeps its default.
TTiffMetadata ReadTiffMetadata(TIFF* tif);

/// Opens path (through the I/O seam) and reads the metadata of its first image; false when
/// the file cannot be opened as a TIFF or a read failed.
[[nodiscard]] bool ReadTiffMetadataFile(const std::string& path, TTiffMetadata& metadata);

/// Sets on an output handle, before its first strip: the ICC profile (when not empty), the
/// resolution and unit (when present) and the Orientation (when not 1). False when libtiff
/// refused a tag.
[[nodiscard]] bool WriteTiffMetadata(TIFF* tif, const TTiffMetadata& metadata);

/// Marks the fourth sample of an RGBA output as unassociated alpha (ExtraSamples = 2).
[[nodiscard]] bool WriteUnassociatedAlpha(TIFF* tif);
