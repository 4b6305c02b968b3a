// The checks of TIFF output options and the channels an output keeps.
#include "engine/TiffWriteOptions.h"

#include <cstdint>

#include <gtest/gtest.h>

namespace {

TTiffWriteOptions Options(TTiffCompression compression, bool predictor, int level, uint32_t rows)
{
    TTiffWriteOptions o;
    o.Compression = compression;
    o.Predictor = predictor;
    o.Level = level;
    o.RowsPerStrip = rows;
    return o;
}

TEST(TiffWriteOptions, Checks)
{
    using C = TTiffCompression;
    using V = TTiffOptionsVerdict;
    struct Case {
        const char* Name;
        TTiffWriteOptions Options;
        uint32_t Bits;
        uint64_t LineBytes;
        V Expected;
    };
    const Case cases[] = {
        { "defaults", {}, 8, 90000, V::Ok },
        { "LZW with predictor, 16 bits", Options(C::Lzw, true, 0, 1), 16, 90000, V::Ok },
        { "predictor without codec", Options(C::None, true, 0, 1), 8, 90000,
            V::PredictorWithoutCodec },
        { "predictor on 32-bit samples", Options(C::Deflate, true, 0, 1), 32, 90000,
            V::PredictorBits },
        { "deflate levels 1 and 12", Options(C::Deflate, false, 12, 1), 8, 90000, V::Ok },
        { "deflate level 13", Options(C::Deflate, false, 13, 1), 8, 90000, V::LevelOutOfRange },
        { "deflate level -1", Options(C::Deflate, false, -1, 1), 8, 90000, V::LevelOutOfRange },
        { "zstd level 19", Options(C::Zstd, false, 19, 1), 8, 90000, V::Ok },
        { "zstd ultra level 20", Options(C::Zstd, false, 20, 1), 8, 90000, V::LevelOutOfRange },
        { "LZW has no levels", Options(C::Lzw, false, 1, 1), 8, 90000, V::LevelWithoutLevels },
        { "uncompressed has no levels", Options(C::None, false, 1, 1), 8, 90000,
            V::LevelWithoutLevels },
        { "0 rows per strip", Options(C::Lzw, false, 0, 0), 8, 90000, V::NoRowsPerStrip },
        { "strip of exactly 256 MiB", Options(C::Lzw, false, 0, 1024), 8, 262144, V::Ok },
        { "strip past 256 MiB", Options(C::Lzw, false, 0, 1025), 8, 262144, V::StripTooLarge },
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Name);
        EXPECT_EQ(CheckTiffWriteOptions(c.Options, c.Bits, c.LineBytes), c.Expected);
    }
}

TEST(TiffWriteOptions, ThreadsAndChannels)
{
    EXPECT_GE(EncodingThreads(0), 1u);
    EXPECT_EQ(EncodingThreads(3), 3u);
    TTiffWriteOptions keep;
    keep.KeepAlpha = true;
    EXPECT_EQ(TiffOutputChannels(4, keep), 4);
    EXPECT_EQ(TiffOutputChannels(3, keep), 3);
    EXPECT_EQ(TiffOutputChannels(4, {}), 3);
}

} // namespace
