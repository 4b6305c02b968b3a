// The in-memory image record, the pixel-format table, and loading and saving headerless tiles.
#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>

/// Failure of an in-memory image routine; caught by the resize worker, never crossing resample/.
class EImageError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

/// Pixel-format codes, keys of the format table.
enum TImageFormat : int32_t {
    ifUnknown = 0,
    /// 8-bit samples, 3 bytes per pixel (byte 0 blue, 1 green, 2 red by name; the order of the
    /// file is kept, and all channels are filtered alike).
    R8G8B8 = 87,
    /// 16-bit little-endian samples, 6 bytes per pixel, channels named like R8G8B8.
    R16G16B16 = 96,
};

/// One pixel as four floats, nominally 0..1 (filtering may overshoot until SetPixelFP clamps).
struct TColorFPRec {
    float B = 0.0f;
    float G = 0.0f;
    float R = 0.0f;
    float A = 0.0f;
};

/// One row of the pixel-format table.
struct TImageFormatInfo {
    TImageFormat Format;
    const char* Name;
    int32_t BytesPerPixel;
    int32_t ChannelCount;
    int32_t BitsPerSample;
    /// Bytes for width × height pixels (64-bit; -1 when the product overflows).
    int64_t (*GetPixelsSize)(int32_t width, int32_t height);
    /// Reads the pixel at p: every sample × (1 / max) as a float, A = 1.
    TColorFPRec (*GetPixelFP)(const uint8_t* p);
    /// Writes the pixel at p: every sample clamp(round-half-even(value × max)); A is ignored.
    void (*SetPixelFP)(uint8_t* p, const TColorFPRec& color);
};

/// The in-memory image. The record owns Bits: whoever holds it frees it with ReleaseImage.
struct TImageData {
    int32_t Width = 0;
    int32_t Height = 0;
    TImageFormat Format = ifUnknown;
    /// Bytes in Bits: Width × Height × BytesPerPixel.
    int64_t Size = 0;
    /// Rows top to bottom, pixels left to right, no padding.
    uint8_t* Bits = nullptr;
    /// Palette of indexed formats; always null for the formats here.
    void* Palette = nullptr;
    /// Spare; always null here.
    void* Tag = nullptr;
};

/// The table row of a format, or null when the format is unknown. The table is constant.
const TImageFormatInfo* GetFormatInfo(TImageFormat format);

/// Sets every field to zero or null without freeing anything.
void ClearImage(TImageData& image);
/// True when the format is known, both sides are positive, Size matches and Bits is set.
bool IsValidImage(const TImageData& image);
/// Releases what the image held, then allocates width × height zeroed pixels of the format.
/// Throws EImageError on a non-positive side, an unknown format or a failed allocation (the
/// record is then cleared). Returns IsValidImage.
bool AllocImage(int32_t width, int32_t height, TImageFormat format, TImageData& image);
/// Frees the pixel buffer (and palette) and clears the record; safe on a cleared record.
void ReleaseImage(TImageData& image);

/// Loads a headerless file of height rows of width pixels of the format, from its first byte.
/// Reuses the image's buffer when it already has this size and format, else allocates one.
/// Throws EImageError when the file cannot be opened or read or is shorter than the image (the
/// image then holds what was read; the caller releases it). Bytes beyond the image are ignored.
/// Goes through the engine's I/O seam.
void LoadRawPixels(const std::string& fileName, int32_t width, int32_t height, TImageFormat format,
    TImageData& image);
/// Writes the image's pixels, top row first, as a headerless file (truncating an existing one).
/// Throws EImageError (naming the file and the system's reason) when the file cannot be
/// created or fully written; no partial file is left behind then. Goes through the I/O seam.
void SaveRawPixels(const std::string& fileName, const TImageData& image);
