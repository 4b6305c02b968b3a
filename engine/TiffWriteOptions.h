// The options of one TIFF output: codec, predictor, level, rows per strip, encoding threads and
// what of the input it keeps (alpha, metadata), with the checks a front makes before a write.
#pragma once

#include <cstdint>
#include <optional>

/// The codecs a TIFF output can use; the value is the TIFF Compression tag.
enum class TTiffCompression : uint16_t {
    None = 1,
    Lzw = 5,
    Deflate = 8, ///< "Adobe Deflate", encoded by libtiff (through libdeflate on Debian)
    Zstd = 50000, ///< not every TIFF reader has it (older libtiff builds, many viewers)
};

/// What a TIFF output writes besides the pixels. The defaults write the bytes the plain
/// `tif` output always wrote (uncompressed, one row per strip, 240 dpi, RGB).
struct TTiffWriteOptions {
    TTiffCompression Compression = TTiffCompression::None;
    /// Horizontal differencing (Predictor 2) before the codec; LZW, Deflate and ZSTD only.
    bool Predictor = false;
    /// The codec's level; 0 leaves libtiff's default. Only codecs with levels accept others.
    int Level = 0;
    /// Rows in each strip; the last strip holds what is left.
    uint32_t RowsPerStrip = 1;
    /// Threads that encode strips; 0 means one per core. Uncompressed strips need none.
    uint32_t Threads = 0;
    /// A 4-channel input stays RGBA (ExtraSamples = 2, unassociated alpha).
    bool KeepAlpha = false;
    /// The input's ICC profile, resolution and unit and Orientation go to the output.
    bool KeepMetadata = false;
};

/// The levels a codec accepts and the one libtiff uses when none is given.
struct TTiffLevelRange {
    int Min = 0;
    int Max = 0;
    int Default = 0;
};

/// The levels of a codec; none for the codecs without levels (none, LZW).
std::optional<TTiffLevelRange> LevelRangeOf(TTiffCompression compression);

/// Whether the codec can run horizontal differencing before encoding.
bool PredictorAppliesTo(TTiffCompression compression);

/// What is wrong with a set of options, in the order the checks are made.
enum class TTiffOptionsVerdict : uint8_t {
    Ok,
    PredictorWithoutCodec, ///< a predictor asked of an uncompressed output
    PredictorBits, ///< a predictor asked of samples other than 8 or 16 bits
    LevelWithoutLevels, ///< a level asked of a codec that has none
    LevelOutOfRange, ///< a level outside the codec's range
    NoRowsPerStrip, ///< 0 rows per strip
    StripTooLarge, ///< one strip would hold more than kMaxTiffStripBytes
};

/// Largest strip (uncompressed bytes) an output may ask for: every encoding thread holds a few
/// strips, so a strip of this size bounds the memory of a write.
inline constexpr uint64_t kMaxTiffStripBytes = uint64_t(256) << 20;

/// Checks options for an output of lines of lineBytes bytes and samples of bits bits.
TTiffOptionsVerdict CheckTiffWriteOptions(
    const TTiffWriteOptions& options, uint32_t bits, uint64_t lineBytes);

/// What a verdict means, for the user ("the predictor needs a compression"); null for Ok.
const char* TiffOptionsReason(TTiffOptionsVerdict verdict);

/// The number of encoding threads for a request (0: one per core; never less than 1).
uint32_t EncodingThreads(uint32_t requested);

/// The channels a TIFF output gets from an input of inputChannels: 4 only when the input has
/// alpha and the options keep it.
uint8_t TiffOutputChannels(uint8_t inputChannels, const TTiffWriteOptions& options);
