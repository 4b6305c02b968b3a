// Ranges and checks of the options of a TIFF output.
#include "engine/TiffWriteOptions.h"

#include <thread>

std::optional<TTiffLevelRange> LevelRangeOf(TTiffCompression compression)
{
    switch (compression) {
    case TTiffCompression::Deflate:
        // libtiff accepts 1 to 12 when it encodes through libdeflate (Debian's build does);
        // its default there is libdeflate's 6.
        return TTiffLevelRange { 1, 12, 6 };
    case TTiffCompression::Zstd:
        // libtiff's default is 9, not zstd's own 3. zstd's "ultra" levels 20 to 22 are left
        // out: libtiff does not tell zstd the size of a strip, so each of them takes hundreds
        // of MB per encoding thread.
        return TTiffLevelRange { 1, 19, 9 };
    case TTiffCompression::None:
    case TTiffCompression::Lzw:
        break;
    }
    return std::nullopt;
}

bool PredictorAppliesTo(TTiffCompression compression)
{
    return compression == TTiffCompression::Lzw || compression == TTiffCompression::Deflate
        || compression == TTiffCompression::Zstd;
}

TTiffOptionsVerdict CheckTiffWriteOptions(
    const TTiffWriteOptions& options, uint32_t bits, uint64_t lineBytes)
{
    if (options.Predictor && !PredictorAppliesTo(options.Compression)) {
        return TTiffOptionsVerdict::PredictorWithoutCodec;
    }
    if (options.Predictor && bits != 8 && bits != 16) {
        return TTiffOptionsVerdict::PredictorBits;
    }
    if (options.Level != 0) {
        const auto range = LevelRangeOf(options.Compression);
        if (!range) {
            return TTiffOptionsVerdict::LevelWithoutLevels;
        }
        if (options.Level < range->Min || options.Level > range->Max) {
            return TTiffOptionsVerdict::LevelOutOfRange;
        }
    }
    if (options.RowsPerStrip == 0) {
        return TTiffOptionsVerdict::NoRowsPerStrip;
    }
    if (uint64_t(options.RowsPerStrip) * lineBytes > kMaxTiffStripBytes) {
        return TTiffOptionsVerdict::StripTooLarge;
    }
    return TTiffOptionsVerdict::Ok;
}

uint32_t EncodingThreads(uint32_t requested)
{
    if (requested != 0) {
        return requested;
    }
    const unsigned cores = std::thread::hardware_concurrency();
    return cores == 0 ? 1u : cores;
}

uint8_t TiffOutputChannels(uint8_t inputChannels, const TTiffWriteOptions& options)
{
    return inputChannels == 4 && options.KeepAlpha ? 4 : 3;
}

const char* TiffOptionsReason(TTiffOptionsVerdict verdict)
{
    switch (verdict) {
    case TTiffOptionsVerdict::Ok:
        return nullptr;
    case TTiffOptionsVerdict::PredictorWithoutCodec:
        return "the predictor needs a compression (tif-lzw, tif-deflate or tif-zstd)";
    case TTiffOptionsVerdict::PredictorBits:
        return "the predictor takes 8- or 16-bit samples";
    case TTiffOptionsVerdict::LevelWithoutLevels:
        return "only tif-deflate (1 to 12) and tif-zstd (1 to 19) take a level";
    case TTiffOptionsVerdict::LevelOutOfRange:
        return "the level is outside the compression's range (tif-deflate 1 to 12, tif-zstd 1 "
               "to 19)";
    case TTiffOptionsVerdict::NoRowsPerStrip:
        return "a strip needs at least one row";
    case TTiffOptionsVerdict::StripTooLarge:
        return "a strip of that many rows would hold more than 256 MiB";
    }
    return nullptr;
}
