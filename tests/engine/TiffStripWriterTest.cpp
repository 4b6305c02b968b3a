// The TIFF output on a descriptor: the same bytes as the engine's TIFF writer with default
// options, the same bytes for every number of encoding threads, every codec decoded back to
// its input, and failures that leave no valid TIFF behind.
#include "engine/TiffStripWriter.h"

#include <cstdint>
#include <fcntl.h>
#include <string>
#include <unistd.h>
#include <vector>

#include <tiffio.h>

#include <gtest/gtest.h>

#include "engine/TiffFormat.h"
#include "support/TestImages.h"
#include "support/TiffOutputFixtures.h"

using namespace TestImages;

namespace {

/// Writes the image as the plain `tif` and `tif-lzw` outputs always were: libtiff's own
/// scanline writer, one line per strip, the tags in their long-standing order at 240 dpi.
bool WriteWithScanlines(const std::string& path, const TPixels& image, bool lzw, bool bigTiff)
{
    TIFF* tif = TIFFOpen(path.c_str(), bigTiff ? "w8" : "w");
    if (!tif) {
        return false;
    }
    bool ok = TIFFSetField(tif, TIFFTAG_IMAGEWIDTH, image.Width) == 1
        && TIFFSetField(tif, TIFFTAG_IMAGELENGTH, image.Height) == 1
        && TIFFSetField(tif, TIFFTAG_BITSPERSAMPLE, unsigned(image.Bits)) == 1
        && TIFFSetField(tif, TIFFTAG_SAMPLESPERPIXEL, unsigned(image.Channels)) == 1
        && TIFFSetField(tif, TIFFTAG_ROWSPERSTRIP, 1u) == 1
        && TIFFSetField(
               tif, TIFFTAG_COMPRESSION, unsigned(lzw ? COMPRESSION_LZW : COMPRESSION_NONE))
            == 1
        && TIFFSetField(tif, TIFFTAG_PLANARCONFIG, unsigned(PLANARCONFIG_CONTIG)) == 1
        && TIFFSetField(tif, TIFFTAG_PHOTOMETRIC, unsigned(PHOTOMETRIC_RGB)) == 1
        && TIFFSetField(tif, TIFFTAG_XRESOLUTION, 240.0) == 1
        && TIFFSetField(tif, TIFFTAG_YRESOLUTION, 240.0) == 1
        && TIFFSetField(tif, TIFFTAG_RESOLUTIONUNIT, unsigned(RESUNIT_INCH)) == 1;
    for (uint32_t y = 0; ok && y < image.Height; ++y) {
        std::vector<uint8_t> line = NativeLine(image, y);
        ok = TIFFWriteScanline(tif, line.data(), y, 0) == 1;
    }
    TIFFClose(tif);
    return ok;
}

TEST(TiffStripWriter, DefaultOptionsWriteTheBytesTiffOutputsAlwaysHad)
{
    struct Case {
        const char* Name;
        uint32_t Width;
        uint32_t Height;
        uint8_t Bits;
        bool Lzw;
        bool BigTiff;
    };
    const Case cases[] = {
        { "3x2 8-bit", 3, 2, 8, false, false },
        { "3x2 8-bit LZW", 3, 2, 8, true, false },
        { "1x40 16-bit", 1, 40, 16, false, false },
        { "1x40 16-bit LZW", 1, 40, 16, true, false },
        { "41x1 8-bit BigTIFF", 41, 1, 8, false, true },
        { "37x23 16-bit LZW BigTIFF", 37, 23, 16, true, true },
        // Wider than the 64 KiB the writers gather before a write.
        { "9000x5 16-bit", 9000, 5, 16, false, false },
        { "9000x5 8-bit LZW", 9000, 5, 8, true, false },
    };
    TTempDir dir;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Name);
        const TPixels image = PatternImage(c.Width, c.Height, c.Bits, 3);
        ASSERT_TRUE(WriteWithScanlines(dir.File("engine.tif"), image, c.Lzw, c.BigTiff));
        TStripWrite write;
        write.Options.Compression = c.Lzw ? TTiffCompression::Lzw : TTiffCompression::None;
        write.BigTiff = c.BigTiff;
        ASSERT_TRUE(WriteWithStripWriter(dir.File("strips.tif"), image, write));
        const std::vector<uint8_t> expected = ReadBytes(dir.File("engine.tif"));
        ASSERT_FALSE(expected.empty());
        EXPECT_TRUE(ReadBytes(dir.File("strips.tif")) == expected);
    }
}

struct TCodecCase {
    TTiffCompression Compression;
    bool Predictor;
    uint8_t Bits;
    uint8_t Channels;
};

std::string CodecCaseName(const ::testing::TestParamInfo<TCodecCase>& info)
{
    const TCodecCase& c = info.param;
    const char* codec = c.Compression == TTiffCompression::Lzw ? "Lzw"
        : c.Compression == TTiffCompression::Deflate           ? "Deflate"
        : c.Compression == TTiffCompression::Zstd              ? "Zstd"
                                                               : "None";
    return std::string(codec) + (c.Predictor ? "Predictor" : "") + std::to_string(c.Bits) + "bit"
        + std::to_string(c.Channels) + "ch";
}

std::vector<TCodecCase> AllCodecCases()
{
    std::vector<TCodecCase> cases;
    for (auto codec : { TTiffCompression::None, TTiffCompression::Lzw, TTiffCompression::Deflate,
             TTiffCompression::Zstd }) {
        for (bool predictor : { false, true }) {
            if (predictor && codec == TTiffCompression::None) {
                continue;
            }
            for (uint8_t bits : { 8, 16 }) {
                for (uint8_t channels : { 3, 4 }) {
                    cases.push_back({ codec, predictor, bits, channels });
                }
            }
        }
    }
    return cases;
}

class TiffCodecs : public ::testing::TestWithParam<TCodecCase> { };

// 3 rows per strip leave a shorter last strip; 31 strips, one per batch, keep three workers
// and their queue of seven batches busy, so strips finish out of order; batches of several
// strips (the last one shorter) must not change a byte either.
TEST_P(TiffCodecs, SameBytesForEveryThreadCountAndDecodesToTheInput)
{
    const TCodecCase& c = GetParam();
    const TPixels image = PatternImage(29, 91, c.Bits, c.Channels);
    const uint64_t stripBytes = 3 * 29 * c.Channels * (c.Bits / 8);
    TTempDir dir;
    std::vector<uint8_t> first;
    for (uint64_t batchBytes : { uint64_t(1), 4 * stripBytes }) {
        for (uint32_t threads : { 1u, 2u, 3u }) {
            SCOPED_TRACE(std::to_string(threads) + " threads, batches of "
                + std::to_string(batchBytes) + " bytes");
            TStripWrite write;
            write.Options.Compression = c.Compression;
            write.Options.Predictor = c.Predictor;
            write.Options.RowsPerStrip = 3;
            write.Options.Threads = threads;
            write.BatchBytes = batchBytes;
            const std::string path = dir.File("out" + std::to_string(threads) + ".tif");
            ASSERT_TRUE(WriteWithStripWriter(path, image, write));
            const std::vector<uint8_t> bytes = ReadBytes(path);
            if (first.empty()) {
                first = bytes;
            } else {
                EXPECT_TRUE(bytes == first) << "the file depends on how strips were encoded";
            }
            const auto back = ReadImage(path);
            ASSERT_TRUE(back.has_value());
            EXPECT_TRUE(SamePixels(image, *back));
        }
    }
    TTiffMetadata metadata;
    ASSERT_TRUE(ReadTiffMetadataFile(dir.File("out1.tif"), metadata));
    EXPECT_EQ(metadata.CompressionCode, uint16_t(c.Compression));
    EXPECT_EQ(metadata.Predictor, c.Predictor ? 2 : 1);
    EXPECT_EQ(metadata.Alpha, c.Channels == 4 ? TAlphaKind::Unassociated : TAlphaKind::None);
}

INSTANTIATE_TEST_SUITE_P(
    TiffStripWriter, TiffCodecs, ::testing::ValuesIn(AllCodecCases()), CodecCaseName);

TEST(TiffStripWriter, LevelsAndStripRowsChangeTheBytesNotThePixels)
{
    const TPixels image = NoiseImage(50, 20, 8, 3);
    struct Case {
        const char* Name;
        TTiffCompression Compression;
        int Level;
        uint32_t Rows;
    };
    const Case cases[] = {
        { "deflate level 1", TTiffCompression::Deflate, 1, 1 },
        { "deflate level 12", TTiffCompression::Deflate, 12, 1 },
        { "zstd level 1", TTiffCompression::Zstd, 1, 7 },
        { "zstd level 19", TTiffCompression::Zstd, 19, 7 },
        { "lzw, one strip of more rows than the image", TTiffCompression::Lzw, 0, 1000 },
    };
    TTempDir dir;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Name);
        TStripWrite write;
        write.Options.Compression = c.Compression;
        write.Options.Level = c.Level;
        write.Options.RowsPerStrip = c.Rows;
        write.Options.Threads = 2;
        ASSERT_TRUE(WriteWithStripWriter(dir.File("out.tif"), image, write));
        const auto back = ReadImage(dir.File("out.tif"));
        ASSERT_TRUE(back.has_value());
        EXPECT_TRUE(SamePixels(image, *back));
    }
}

TEST(TiffStripWriter, AFailureLeavesNoValidTiff)
{
    const TPixels image = PatternImage(17, 40, 8, 3);
    struct Case {
        const char* Name;
        TTiffCompression Compression;
        uint32_t Threads;
        uint32_t FailStrip;
        uint32_t Lines;
    };
    const Case cases[] = {
        { "encoder fails on the first strip, 1 thread", TTiffCompression::Lzw, 1, 0, 40 },
        { "encoder fails mid-image, 2 threads", TTiffCompression::Deflate, 2, 9, 40 },
        { "encoder fails on the last strip, 3 threads", TTiffCompression::Zstd, 3, 19, 40 },
        { "uncompressed strip lost", TTiffCompression::None, 0, 5, 40 },
        { "lines missing at the close, 3 threads", TTiffCompression::Lzw, 3, UINT32_MAX, 39 },
        { "no line at all", TTiffCompression::None, 1, UINT32_MAX, 0 },
    };
    TTempDir dir;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Name);
        TStripWrite write;
        write.Options.Compression = c.Compression;
        write.Options.RowsPerStrip = 2;
        write.Options.Threads = c.Threads;
        write.FailStrip = c.FailStrip;
        write.Lines = c.Lines;
        EXPECT_FALSE(WriteWithStripWriter(dir.File("out.tif"), image, write));
        EXPECT_FALSE(OpensAsTiff(dir.File("out.tif")));
    }
}

TEST(TiffStripWriter, RefusesWhatCannotBeWritten)
{
    TTempDir dir;
    const TTiffOutputImage image { 10, 10, 8, 3 };
    {
        SCOPED_TRACE("a descriptor open for reading only");
        ASSERT_TRUE(WriteBytes(dir.File("ro.tif"), {}));
        const int fd = ::open(dir.File("ro.tif").c_str(), O_RDONLY | O_CLOEXEC);
        ASSERT_GE(fd, 0);
        TTiffStripWriter writer;
        EXPECT_FALSE(writer.Open(fd, "ro.tif", image, {}, false));
        EXPECT_TRUE(writer.Close());
        ::close(fd);
    }
    struct Case {
        const char* Name;
        TTiffWriteOptions Options;
    };
    TTiffWriteOptions predictorAlone;
    predictorAlone.Predictor = true;
    TTiffWriteOptions lzwLevel;
    lzwLevel.Compression = TTiffCompression::Lzw;
    lzwLevel.Level = 3;
    TTiffWriteOptions noRows;
    noRows.RowsPerStrip = 0;
    const Case cases[] = {
        { "predictor without codec", predictorAlone },
        { "level of LZW", lzwLevel },
        { "0 rows per strip", noRows },
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Name);
        const int fd = ::open(dir.File("out.tif").c_str(), O_RDWR | O_CREAT | O_TRUNC, 0666);
        ASSERT_GE(fd, 0);
        TTiffStripWriter writer;
        EXPECT_FALSE(writer.Open(fd, "out.tif", image, c.Options, false));
        ::close(fd);
    }
}

TEST(TiffStripWriter, TheDescriptorStaysTheCallers)
{
    TTempDir dir;
    const int fd = ::open(dir.File("out.tif").c_str(), O_RDWR | O_CREAT | O_TRUNC, 0666);
    ASSERT_GE(fd, 0);
    const TPixels image = PatternImage(5, 4, 8, 3);
    {
        TTiffStripWriter writer;
        ASSERT_TRUE(writer.Open(fd, "out.tif", { 5, 4, 8, 3 }, {}, false));
        for (uint32_t y = 0; y < 4; ++y) {
            ASSERT_TRUE(writer.WriteLine(NativeLine(image, y).data()));
        }
        ASSERT_TRUE(writer.Close());
        EXPECT_TRUE(writer.Close()) << "a second close";
    }
    EXPECT_EQ(::close(fd), 0) << "the writer closed the descriptor";
    const auto back = ReadImage(dir.File("out.tif"));
    ASSERT_TRUE(back.has_value());
    EXPECT_TRUE(SamePixels(image, *back));
}

} // namespace
