// The BigTIFF bound of TIFF outputs: the worst case of each codec as arithmetic, the bound
// against what the codecs really make of incompressible data, the unchanged rule of
// uncompressed outputs, and one write that passes a lowered classic limit as a BigTIFF.
#include "engine/TiffSizeBound.h"

#include <cstdint>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "engine/TiffStripEncoder.h"
#include "support/TestImages.h"
#include "support/TiffOutputFixtures.h"

using namespace TestImages;

namespace {

TEST(TiffSizeBound, WorstCaseOfEachCodec)
{
    struct Case {
        const char* Name;
        uint64_t Bytes;
        TTiffCompression Compression;
        uint64_t Expected;
    };
    const Case cases[] = {
        { "uncompressed", 90000, TTiffCompression::None, 90000 },
        // 12-bit codes for every byte (1.5), clear codes (1/1024) and 16 bytes of ends.
        { "lzw, one 30000-pixel RGB line", 90000, TTiffCompression::Lzw, 135000 + 87 + 16 },
        { "lzw, 3 bytes", 3, TTiffCompression::Lzw, 4 + 16 },
        // A 5-byte stored-block header per 4 KiB begun, plus the zlib wrapper and padding.
        { "deflate, one line", 90000, TTiffCompression::Deflate, 90000 + 5 * 22 + 32 },
        { "deflate, empty", 0, TTiffCompression::Deflate, 37 },
        // ZSTD_COMPRESSBOUND rounded up: n/256 and at most 96 more.
        { "zstd, one line", 90000, TTiffCompression::Zstd, 90000 + 351 + 96 },
        { "zstd, 100 bytes", 100, TTiffCompression::Zstd, 196 },
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Name);
        EXPECT_EQ(WorstCaseStripBytes(c.Bytes, c.Compression), c.Expected);
    }
}

TEST(TiffSizeBound, WholeFileAddsTablesAndDirectory)
{
    // 10 rows of 100 RGB pixels in strips of 4, 4 and 2 rows.
    const TTiffOutputSize size { 100, 10, 3, TTiffCompression::Lzw, 4, 500 };
    const uint64_t expected = 2 * WorstCaseStripBytes(1200, TTiffCompression::Lzw)
        + WorstCaseStripBytes(600, TTiffCompression::Lzw) + 3 * 8 + 4096 + 500;
    EXPECT_EQ(WorstCaseTiffBytes(size), expected);
}

TEST(TiffSizeBound, BigTiffDecisions)
{
    struct Case {
        const char* Name;
        TTiffOutputSize Size;
        bool Force;
        bool Big;
    };
    const Case cases[] = {
        // Uncompressed keeps its rule: the pixel bytes against 4,000,000,000.
        { "uncompressed 40000x33000 RGB8 (3.96 GB)", { 40000, 33000, 3 }, false, false },
        { "uncompressed exactly 4,000,000,000 bytes", { 40000, 50000, 2 }, false, false },
        { "uncompressed one byte-pixel more", { 40001, 50000, 2 }, false, true },
        { "forced", { 3, 2, 3 }, true, true },
        { "forced LZW", { 3, 2, 3, TTiffCompression::Lzw }, true, true },
        // The images that failed as classic LZW: noisy data grows under LZW.
        { "LZW 40000x33000 RGB8", { 40000, 33000, 3, TTiffCompression::Lzw }, false, true },
        { "LZW 30000x22000 RGB16", { 30000, 22000, 6, TTiffCompression::Lzw }, false, true },
        { "LZW 30000x20000 RGB8 (1.8 GB)", { 30000, 20000, 3, TTiffCompression::Lzw }, false,
            false },
        // Deflate and ZSTD grow by well under 1 %: the 3.96 GB image stays classic.
        { "deflate 40000x33000 RGB8", { 40000, 33000, 3, TTiffCompression::Deflate }, false,
            false },
        { "zstd 40000x33000 RGB8", { 40000, 33000, 3, TTiffCompression::Zstd }, false, false },
        { "zstd 40000x33000 RGBA16", { 40000, 33000, 8, TTiffCompression::Zstd }, false, true },
        { "deflate with a 400 MB ICC profile",
            { 40000, 33000, 3, TTiffCompression::Deflate, 16, 400000000 }, false, true },
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Name);
        EXPECT_EQ(NeedsBigTiffOutput(c.Size, c.Force), c.Big);
    }
}

TEST(TiffSizeBound, TheBoundIsInclusiveOfTheLastClassicByte)
{
    // Rows of 10000 RGB pixels in LZW: the tallest image whose worst case still fits.
    const uint64_t perRow = WorstCaseStripBytes(30000, TTiffCompression::Lzw) + 8;
    const auto rows = uint32_t((kClassicTiffBytes - 4096) / perRow);
    EXPECT_FALSE(NeedsBigTiffOutput({ 10000, rows, 3, TTiffCompression::Lzw }, false));
    EXPECT_TRUE(NeedsBigTiffOutput({ 10000, rows + 1, 3, TTiffCompression::Lzw }, false));
}

TEST(TiffSizeBound, CodecsStayWithinTheirWorstCase)
{
    struct Case {
        const char* Name;
        uint32_t Width;
        uint32_t Rows;
        uint8_t Bits;
    };
    const Case shapes[] = {
        { "one pixel", 1, 1, 8 },
        { "one 16-bit line", 700, 1, 16 },
        { "a strip of 64 lines", 1000, 64, 8 },
    };
    for (const Case& c : shapes) {
        for (auto codec :
            { TTiffCompression::Lzw, TTiffCompression::Deflate, TTiffCompression::Zstd }) {
            SCOPED_TRACE(std::string(c.Name) + ", codec " + std::to_string(int(codec)));
            const TPixels image = NoiseImage(c.Width, c.Rows, c.Bits, 3);
            TStripFormat format;
            format.Width = c.Width;
            format.Height = c.Rows;
            format.Bits = c.Bits;
            format.Compression = codec;
            format.RowsPerStrip = c.Rows;
            uint64_t encoded = 0;
            TParallelStripEncoder encoder;
            ASSERT_TRUE(encoder.Start(format, 1, [&](uint32_t, const uint8_t*, size_t count) {
                encoded = count;
                return true;
            }));
            for (uint32_t y = 0; y < c.Rows; ++y) {
                ASSERT_TRUE(encoder.PushRow(NativeLine(image, y).data()));
            }
            ASSERT_TRUE(encoder.Finish());
            const uint64_t raw = format.LineBytes() * c.Rows;
            EXPECT_GT(encoded, raw * 95 / 100) << "noise should not compress";
            EXPECT_LE(encoded, WorstCaseStripBytes(raw, codec));
        }
    }
}

TEST(TiffSizeBound, AnOutputPastTheClassicLimitIsWrittenAsBigTiff)
{
    // Noise under LZW grows past its pixel bytes; with the classic limit lowered just above
    // those bytes, the file written could not have been a classic TIFF of that limit.
    const TPixels image = NoiseImage(120, 100, 8, 3);
    const uint64_t pixelBytes = 120 * 100 * 3;
    const TClassicTiffLimitForTests limit(pixelBytes + 1000);
    TTiffOutputSize size { 120, 100, 3, TTiffCompression::Lzw, 1, 0 };
    ASSERT_TRUE(NeedsBigTiffOutput(size, false));
    size.Compression = TTiffCompression::None;
    EXPECT_FALSE(NeedsBigTiffOutput(size, false)) << "the uncompressed rule does not move";

    TTempDir dir;
    TStripWrite write;
    write.Options.Compression = TTiffCompression::Lzw;
    write.BigTiff = true;
    ASSERT_TRUE(WriteWithStripWriter(dir.File("noise.big.tif"), image, write));
    const std::vector<uint8_t> bytes = ReadBytes(dir.File("noise.big.tif"));
    ASSERT_GE(bytes.size(), 4u);
    EXPECT_EQ(bytes[2], 43) << "a BigTIFF";
    EXPECT_GT(bytes.size(), pixelBytes + 1000) << "the file passes the lowered limit";
    const auto back = ReadImage(dir.File("noise.big.tif"));
    ASSERT_TRUE(back.has_value());
    EXPECT_TRUE(SamePixels(image, *back));
}

} // namespace
