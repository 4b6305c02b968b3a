// The description of one image file: its kind, geometry, sample layout and line buffer.
#pragma once

#include <cstdint>
#include <string>

/// Kinds of image file the engine knows, chosen by the file's extension.
enum class FileType : uint8_t {
    NV = 0, ///< no known kind
    KRO = 1, ///< 20-byte big-endian header, then interleaved RGBA samples
    RAW = 2, ///< headerless interleaved RGB samples, size in the name
    TIF = 3, ///< TIFF or BigTIFF through libtiff
};

/// A line of interleaved samples. The buffer holds exactly ScanLineSize bytes.
using TScanLine = uint8_t;
using PScanLine = TScanLine*;

/// Largest width or height the engine accepts for any input, in pixels.
inline constexpr uint32_t kMaxImageSide = 100000000;

/// One image file. Copying copies the buffer pointer, never the buffer: the engine that
/// opened the file owns the bytes and releases them when it closes the file.
struct TFileInfo {
    std::string FileName; ///< full path
    int64_t FileSize = 0; ///< bytes; -1 when the file is missing
    uint32_t Width = 0; ///< pixels per line
    uint32_t Height = 0; ///< lines
    uint8_t Bits = 0; ///< bits per sample: 8 or 16
    uint8_t Channels = 0; ///< samples per pixel: 3 or 4
    uint8_t BytesPerPixel = 0; ///< Channels * Bits / 8
    uint32_t ScanLineSize = 0; ///< Width * BytesPerPixel, set when the file is opened
    PScanLine ScanLine = nullptr; ///< line buffer while open, else null
    bool IsLsb = false; ///< 16-bit samples stored least significant byte first
    /// The fourth channel is associated alpha: the colours are premultiplied by it (a TIFF's
    /// ExtraSamples 1). Kept as stored where alpha is dropped, made straight where it is kept.
    bool AssociatedAlpha = false;
    /// Samples per pixel of the file beyond the four delivered, skipped by the reader (a
    /// host may say "extra samples ignored").
    uint16_t SkippedSamples = 0;
    FileType ImageType = FileType::NV;
    std::string ImageTypeDesc; ///< "KRO", "RAW" or "TIF"
    bool ImageIsOk = false; ///< the last probe accepted the file
};
