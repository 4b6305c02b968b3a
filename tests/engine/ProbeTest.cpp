// The input probes: every message, RAW sizes from names and lengths, KRO header faults, the
// TIFF variants accepted and refused, and the dimension limit.
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include <tiffio.h>

#include <gtest/gtest.h>

#include "engine/EngineTexts.h"
#include "engine/TavmorManager.h"
#include "engine/TavmorUtils.h"
#include "support/RecordingDialogs.h"
#include "support/TestImages.h"

using namespace TestImages;

namespace {

/// Descriptors open in this process, to check that a probe leaves none behind.
size_t OpenDescriptors()
{
    size_t count = 0;
    for ([[maybe_unused]] const auto& entry :
        std::filesystem::directory_iterator("/proc/self/fd")) {
        ++count;
    }
    return count;
}

/// What a probe should find; a message means refusal.
struct TExpected {
    std::optional<std::string> message;
    uint32_t width = 0;
    uint32_t height = 0;
    uint8_t bits = 0;
    uint8_t channels = 0;
    uint8_t bytesPerPixel = 0;
};

void ExpectProbe(TTavmor& engine, const TRecordingDialogs& dialogs, const TExpected& e)
{
    if (e.message) {
        EXPECT_FALSE(engine.InInfo.ImageIsOk);
        EXPECT_EQ(dialogs.Messages, std::vector<std::string> { *e.message });
        return;
    }
    EXPECT_TRUE(engine.InInfo.ImageIsOk);
    EXPECT_TRUE(dialogs.All.empty());
    EXPECT_EQ(engine.InInfo.Width, e.width);
    EXPECT_EQ(engine.InInfo.Height, e.height);
    EXPECT_EQ(engine.InInfo.Bits, e.bits);
    EXPECT_EQ(engine.InInfo.Channels, e.channels);
    EXPECT_EQ(engine.InInfo.BytesPerPixel, e.bytesPerPixel);
    EXPECT_EQ(engine.InInfo.ScanLine, nullptr);
    EXPECT_EQ(engine.InInfo.ScanLineSize, 0u);
}

struct TKroCase {
    const char* name;
    std::vector<uint8_t> bytes;
    TExpected expected;
};

TEST(CheckKroFile, ReadsTheHeaderAndNamesEachFault)
{
    auto withPixels = [](std::vector<uint8_t> header) {
        header.resize(header.size() + 64, 0);
        return header;
    };
    const TKroCase cases[] = {
        { "8-bit", withPixels(KroHeader(3, 2, 8, 4)), { {}, 3, 2, 8, 4, 4 } },
        { "16-bit", withPixels(KroHeader(2, 5, 16, 4)), { {}, 2, 5, 16, 4, 8 } },
        { "header alone is enough", KroHeader(7, 9, 8, 4), { {}, 7, 9, 8, 4, 4 } },
        { "19 bytes",
            [] {
                auto h = KroHeader(3, 2, 8, 4);
                h.pop_back();
                return h;
            }(),
            { "KRO Header error" } },
        { "empty file", {}, { "KRO Header error" } },
        { "wrong letters",
            [] {
                auto h = KroHeader(3, 2, 8, 4);
                h[1] = 'X';
                return h;
            }(),
            { "KRO Header error" } },
        { "lower-case letters",
            [] {
                auto h = KroHeader(3, 2, 8, 4);
                h[0] = 'k';
                return h;
            }(),
            { "KRO Header error" } },
        { "version 2", KroHeader(3, 2, 8, 4, 2), { "KRO Header error" } },
        { "version 0", KroHeader(3, 2, 8, 4, 0), { "KRO Header error" } },
        { "12 bits", KroHeader(3, 2, 12, 4), { "The image must be 8 or 16 bits" } },
        { "bits in the wrong byte order", KroHeader(3, 2, 8u << 24, 4),
            { "The image must be 8 or 16 bits" } },
        { "3 channels", KroHeader(3, 2, 8, 3), { "The number of color channels must be 4" } },
        { "bits are checked before channels", KroHeader(3, 2, 32, 3),
            { "The image must be 8 or 16 bits" } },
        { "width 0", KroHeader(0, 2, 8, 4), { "Height or Width = 0" } },
        { "height 0", KroHeader(3, 0, 16, 4), { "Height or Width = 0" } },
        { "width 4,000,000,000", KroHeader(4000000000u, 1, 16, 4),
            { "Image dimensions exceed internal limits" } },
        { "height past the limit", KroHeader(1, 100000001, 8, 4),
            { "Image dimensions exceed internal limits" } },
        { "sides at the limit", KroHeader(100000000, 100000000, 16, 4),
            { {}, 100000000, 100000000, 16, 4, 8 } },
    };
    for (const TKroCase& c : cases) {
        SCOPED_TRACE(c.name);
        TTempDir dir;
        ASSERT_TRUE(WriteBytes(dir.File("image.kro"), c.bytes));
        TTavmor engine;
        TRecordingDialogs dialogs;
        engine.Dialogs = &dialogs;
        engine.InInfo.FileName = dir.File("image.kro");
        const size_t descriptors = OpenDescriptors();
        engine.CheckFile(true);
        EXPECT_EQ(OpenDescriptors(), descriptors);
        EXPECT_EQ(engine.InInfo.ImageType, FileType::KRO);
        EXPECT_EQ(engine.InInfo.ImageTypeDesc, "KRO");
        EXPECT_EQ(engine.InInfo.FileSize, int64_t(c.bytes.size()));
        ExpectProbe(engine, dialogs, c.expected);
        if (!c.expected.message) {
            EXPECT_FALSE(engine.InInfo.IsLsb);
        }
    }
}

TEST(CheckKroFile, MissingFileIsAHeaderError)
{
    TTempDir dir;
    TTavmor engine;
    TRecordingDialogs dialogs;
    engine.Dialogs = &dialogs;
    engine.InInfo.FileName = dir.File("missing.kro");
    engine.CheckKroFile();
    EXPECT_FALSE(engine.InInfo.ImageIsOk);
    EXPECT_EQ(engine.InInfo.FileSize, -1);
    EXPECT_EQ(dialogs.Messages, std::vector<std::string> { "KRO Header error" });
}

struct TRawCase {
    const char* name;
    std::string fileName;
    uint64_t size;
    bool askUser;
    std::optional<TRawParameters> answer; ///< none cancels the question
    bool asked;
    TExpected expected;
};

TEST(CheckRawFile, TakesTheSizeFromTheNameAndTheLengthOrAsks)
{
    const TRawCase cases[] = {
        { "8-bit from name and length", "photo_1000X500.raw", 1500000, true, {}, false,
            { {}, 1000, 500, 8, 3, 3 } },
        { "16-bit from name and length", "photo_1000X500.raw", 3000000, true, {}, false,
            { {}, 1000, 500, 16, 3, 6 } },
        { "lower-case x and a tile part", "photo_1000x500_x1y2.raw", 1500000, false, {}, false,
            { {}, 1000, 500, 8, 3, 3 } },
        { ".RGB is a RAW", "photo_4X2.RGB", 24, false, {}, false, { {}, 4, 2, 8, 3, 3 } },
        { "length fits neither depth, not asked", "photo_1000X500.raw", 2000000, false, {}, false,
            { "Invalid width, height or bits" } },
        { "length fits neither depth, cancelled", "photo_1000X500.raw", 2000000, true, {}, true,
            { "" } },
        { "answered", "photo_1000X500.raw", 2000000, true, TRawParameters { 800, 833, 8 }, true,
            { {}, 800, 833, 8, 3, 3 } },
        { "answered 16 bits", "photo.raw", 24, true, TRawParameters { 2, 2, 16 }, true,
            { {}, 2, 2, 16, 3, 6 } },
        { "answer without a depth", "photo.raw", 24, true, TRawParameters { 2, 4, 0 }, true,
            { "Invalid width, height or bits" } },
        { "answer with a zero width", "photo.raw", 24, true, TRawParameters { 0, 4, 8 }, true,
            { "Invalid width, height or bits" } },
        { "no size in the name", "photo.raw", 24, false, {}, false,
            { "Invalid width, height or bits" } },
        { "width past the limit", "wide_200000000X1.raw", 600000000, false, {}, false,
            { "Image dimensions exceed internal limits" } },
        { "answered past the limit", "photo.raw", 24, true, TRawParameters { 1, 4000000000u, 8 },
            true, { "Image dimensions exceed internal limits" } },
    };
    for (const TRawCase& c : cases) {
        SCOPED_TRACE(c.name);
        TTempDir dir;
        const std::string path = dir.File(c.fileName);
        ASSERT_TRUE(WriteBytes(path, {}));
        std::filesystem::resize_file(path, c.size); // sparse: no disk is spent
        TTavmor engine;
        TRecordingDialogs dialogs;
        dialogs.RawAnswer = c.answer;
        engine.Dialogs = &dialogs;
        engine.InInfo.FileName = path;
        engine.CheckFile(c.askUser);
        EXPECT_EQ(engine.InInfo.ImageType, FileType::RAW);
        EXPECT_EQ(engine.InInfo.ImageTypeDesc, "RAW");
        ASSERT_EQ(dialogs.RawQuestions.size(), c.asked ? 1u : 0u);
        if (c.asked) {
            uint32_t w = 0;
            uint32_t h = 0;
            RawSizeFromName(path, w, h);
            EXPECT_EQ(dialogs.RawQuestions[0].FileSize, int64_t(c.size));
            EXPECT_EQ(dialogs.RawQuestions[0].Width, w);
            EXPECT_EQ(dialogs.RawQuestions[0].Height, h);
            EXPECT_EQ(dialogs.RawQuestions[0].Bits, 0);
        }
        if (c.expected.message && c.expected.message->empty()) {
            EXPECT_FALSE(engine.InInfo.ImageIsOk);
            EXPECT_TRUE(dialogs.Messages.empty());
            continue;
        }
        if (c.expected.message) {
            ExpectProbe(engine, dialogs, c.expected);
            continue;
        }
        EXPECT_TRUE(engine.InInfo.ImageIsOk);
        EXPECT_TRUE(dialogs.Messages.empty());
        EXPECT_EQ(engine.InInfo.Width, c.expected.width);
        EXPECT_EQ(engine.InInfo.Height, c.expected.height);
        EXPECT_EQ(engine.InInfo.Bits, c.expected.bits);
        EXPECT_EQ(engine.InInfo.Channels, 3);
        EXPECT_EQ(engine.InInfo.BytesPerPixel, c.expected.bytesPerPixel);
        EXPECT_TRUE(engine.InInfo.IsLsb);
    }
}

TEST(CheckRawFile, DirectCallWithoutAskingAppliesTheLimitToo)
{
    TTempDir dir;
    const std::string path = dir.File("t_100000001X2.raw");
    ASSERT_TRUE(WriteBytes(path, {}));
    std::filesystem::resize_file(path, uint64_t(100000001) * 2 * 3);
    TTavmor engine;
    TRecordingDialogs dialogs;
    engine.Dialogs = &dialogs;
    engine.InInfo.FileName = path;
    engine.CheckRawFile(false);
    EXPECT_FALSE(engine.InInfo.ImageIsOk);
    EXPECT_EQ(
        dialogs.Messages, std::vector<std::string> { "Image dimensions exceed internal limits" });
}

struct TTiffCase {
    const char* name;
    uint8_t bits;
    uint8_t channels;
    TTiffOptions options;
    TExpected expected;
    uint16_t patchCompression = 0; ///< written uncompressed, then the tag says this
};

TEST(CheckTifFile, AcceptsInterleavableRgbAndRefusesTheRest)
{
    const TTiffCase cases[] = {
        { "8-bit RGB", 8, 3, {}, { {}, 5, 4, 8, 3, 3 } },
        { "8-bit RGBA", 8, 4, {}, { {}, 5, 4, 8, 4, 4 } },
        { "16-bit RGB", 16, 3, {}, { {}, 5, 4, 16, 3, 6 } },
        { "16-bit RGBA", 16, 4, {}, { {}, 5, 4, 16, 4, 8 } },
        { "LZW", 8, 3, { .Compression = 5 }, { {}, 5, 4, 8, 3, 3 } },
        { "tiled", 16, 3, { .Kind = TTiffKind::Tiled }, { {}, 5, 4, 16, 3, 6 } },
        { "planar", 8, 4, { .Kind = TTiffKind::Planar }, { {}, 5, 4, 8, 4, 4 } },
        { "planar tiled", 8, 3, { .Kind = TTiffKind::PlanarTiled }, { {}, 5, 4, 8, 3, 3 } },
        { "BigTIFF", 8, 3, { .BigTiff = true }, { {}, 5, 4, 8, 3, 3 } },
        { "unsigned sample format written", 8, 3, { .SampleFormat = 1 }, { {}, 5, 4, 8, 3, 3 } },
        { "grey", 8, 1, { .Photometric = 1 }, { "The number of color channels must be 3 or 4" } },
        { "two samples", 8, 2, { .Photometric = 1 },
            { "The number of color channels must be 3 or 4" } },
        { "32 bits", 32, 3, {}, { "The image must be 8 or 16 bits" } },
        { "CMYK", 8, 4, { .Photometric = 5 }, { "The TIFF image must be RGB or RGBA" } },
        { "CIELab", 8, 3, { .Photometric = 8 }, { "The TIFF image must be RGB or RGBA" } },
        { "YCbCr without JPEG", 8, 3, { .Photometric = 6 },
            { "The TIFF image must be RGB or RGBA" } },
        { "grey photometric with 3 samples", 8, 3, { .Photometric = 1 },
            { "The TIFF image must be RGB or RGBA" } },
        { "signed samples", 16, 3, { .SampleFormat = 2 },
            { "The TIFF samples must be unsigned integers" } },
        { "half floats", 16, 3, { .SampleFormat = 3 },
            { "The TIFF samples must be unsigned integers" } },
        { "compression without a codec", 8, 3, {},
            { "The TIFF compression method is not supported" }, 34712 },
    };
    for (const TTiffCase& c : cases) {
        SCOPED_TRACE(c.name);
        TTempDir dir;
        const std::string path = dir.File("image.tif");
        ASSERT_TRUE(WriteTiff(path, PatternImage(5, 4, c.bits, c.channels), c.options));
        if (c.patchCompression != 0) {
            ASSERT_TRUE(PatchTiffShortTag(path, 259, c.patchCompression));
        }
        TTavmor engine;
        TRecordingDialogs dialogs;
        engine.Dialogs = &dialogs;
        engine.InInfo.FileName = path;
        const size_t descriptors = OpenDescriptors();
        engine.CheckFile(true);
        EXPECT_EQ(OpenDescriptors(), descriptors);
        EXPECT_EQ(engine.InInfo.ImageType, FileType::TIF);
        EXPECT_EQ(engine.InInfo.ImageTypeDesc, "TIF");
        ExpectProbe(engine, dialogs, c.expected);
        if (!c.expected.message) {
            EXPECT_TRUE(engine.InInfo.IsLsb);
        }
    }
}

TEST(CheckTifFile, FilesLibtiffCannotOpenHaveNoSize)
{
    TTempDir dir;
    ASSERT_TRUE(WriteBytes(dir.File("text.tif"), { 'h', 'e', 'l', 'l', 'o' }));
    ASSERT_TRUE(WriteTiff(dir.File("zero.tiff"), PatternImage(5, 4, 8, 3)));
    ASSERT_TRUE(PatchTiffShortTag(dir.File("zero.tiff"), 256, 0));
    for (const std::string name : { "missing.tif", "text.tif", "zero.tiff" }) {
        SCOPED_TRACE(name);
        TTavmor engine;
        TRecordingDialogs dialogs;
        engine.Dialogs = &dialogs;
        engine.InInfo.FileName = dir.File(name);
        const size_t descriptors = OpenDescriptors();
        engine.CheckFile(true);
        EXPECT_EQ(OpenDescriptors(), descriptors);
        EXPECT_FALSE(engine.InInfo.ImageIsOk);
        EXPECT_EQ(dialogs.Messages, std::vector<std::string> { "Height or Width = 0" });
    }
}

TEST(CheckTifFile, AcceptsJpegYCbCrThroughTheDecodersConversion)
{
    if (!TIFFIsCODECConfigured(COMPRESSION_JPEG)) {
        GTEST_SKIP() << "this libtiff has no JPEG codec";
    }
    TTempDir dir;
    const std::string path = dir.File("photo.tif");
    {
        // libtiff's JPEG encoder takes RGB and stores YCbCr when asked to convert.
        TIFF* tif = TIFFOpen(path.c_str(), "w");
        ASSERT_NE(tif, nullptr);
        TIFFSetField(tif, TIFFTAG_IMAGEWIDTH, 16u);
        TIFFSetField(tif, TIFFTAG_IMAGELENGTH, 16u);
        TIFFSetField(tif, TIFFTAG_BITSPERSAMPLE, 8u);
        TIFFSetField(tif, TIFFTAG_SAMPLESPERPIXEL, 3u);
        TIFFSetField(tif, TIFFTAG_COMPRESSION, unsigned(COMPRESSION_JPEG));
        TIFFSetField(tif, TIFFTAG_PHOTOMETRIC, unsigned(PHOTOMETRIC_YCBCR));
        TIFFSetField(tif, TIFFTAG_JPEGCOLORMODE, int(JPEGCOLORMODE_RGB));
        TIFFSetField(tif, TIFFTAG_ROWSPERSTRIP, 16u);
        std::vector<uint8_t> line;
        for (int x = 0; x < 16; ++x) {
            line.insert(line.end(), { 200, 50, 100 });
        }
        for (uint32_t y = 0; y < 16; ++y) {
            ASSERT_EQ(TIFFWriteScanline(tif, line.data(), y, 0), 1);
        }
        TIFFClose(tif);
    }
    TTavmor engine;
    TRecordingDialogs dialogs;
    engine.Dialogs = &dialogs;
    engine.InInfo.FileName = path;
    engine.CheckFile(true);
    EXPECT_TRUE(engine.InInfo.ImageIsOk);
    EXPECT_TRUE(dialogs.All.empty());
    engine.OutInfo.ImageType = FileType::RAW;
    TTempDir out;
    engine.CopyRegion(0, 0, 16, 16, out.Path(), "");
    ASSERT_FALSE(engine.Abort);
    const auto image = ReadImage(out.File("photo_16X16.raw"));
    ASSERT_TRUE(image.has_value());
    // JPEG is lossy, but a flat colour survives within a few levels; its YCbCr samples read
    // as if they were RGB would be about (100, 128, 199).
    const int expected[3] = { 200, 50, 100 };
    for (size_t i = 0; i < image->Samples.size(); ++i) {
        EXPECT_NEAR(int(image->Samples[i]), expected[i % 3], 6);
    }
}

TEST(CheckFile, WithoutDialogsTheRawQuestionIsDeclined)
{
    TTempDir dir;
    ASSERT_TRUE(WriteBytes(dir.File("photo.raw"), std::vector<uint8_t>(24, 1)));
    TTavmor engine; // no Dialogs: nothing is shown, every question is declined
    engine.InInfo.FileName = dir.File("photo.raw");
    engine.CheckFile(true);
    EXPECT_FALSE(engine.InInfo.ImageIsOk);
    EXPECT_EQ(engine.InInfo.ImageType, FileType::RAW);
}

TEST(CheckFile, UnknownExtensionsChangeNothing)
{
    TTempDir dir;
    ASSERT_TRUE(WriteTiff(dir.File("image.jpg"), PatternImage(5, 4, 8, 3)));
    TTavmor engine;
    TRecordingDialogs dialogs;
    engine.Dialogs = &dialogs;
    engine.InInfo.FileName = dir.File("image.jpg");
    engine.InInfo.ImageIsOk = true;
    engine.InInfo.Width = 77;
    engine.CheckFile(true);
    EXPECT_FALSE(engine.InInfo.ImageIsOk);
    EXPECT_EQ(engine.InInfo.Width, 77u);
    EXPECT_EQ(engine.InInfo.ImageType, FileType::NV);
    EXPECT_TRUE(dialogs.All.empty());
}

TEST(CheckFile, ExtensionsAreComparedWithoutCase)
{
    TTempDir dir;
    for (const std::string name : { "a.TIF", "b.Tiff", "c.tif" }) {
        SCOPED_TRACE(name);
        ASSERT_TRUE(WriteTiff(dir.File(name), PatternImage(2, 2, 8, 3)));
        TTavmor engine;
        engine.InInfo.FileName = dir.File(name);
        engine.CheckFile(false);
        EXPECT_TRUE(engine.InInfo.ImageIsOk);
    }
    ASSERT_TRUE(WriteKro(dir.File("d.Kro"), PatternImage(2, 2, 8, 4)));
    TTavmor engine;
    engine.InInfo.FileName = dir.File("d.Kro");
    engine.CheckFile(false);
    EXPECT_TRUE(engine.InInfo.ImageIsOk);
}

} // namespace
