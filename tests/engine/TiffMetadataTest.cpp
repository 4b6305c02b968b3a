// TIFF metadata: the codec names, the kinds of alpha, and round trips of the ICC profile, the
// resolution and the Orientation through the strip writer.
#include "engine/TiffMetadata.h"

#include <cstdint>
#include <string>
#include <vector>

#include <tiffio.h>

#include <gtest/gtest.h>

#include "engine/TavmorManager.h"
#include "support/TestImages.h"
#include "support/TiffOutputFixtures.h"

using namespace TestImages;

namespace {

TEST(TiffMetadata, CodecNames)
{
    struct Case {
        uint16_t Code;
        const char* Name;
    };
    const Case cases[] = {
        { 1, "none" },
        { 5, "lzw" },
        { 7, "jpeg" },
        { 8, "deflate" },
        { 32946, "deflate" },
        { 32773, "packbits" },
        { 50000, "zstd" },
        { 50001, "webp" },
        { 34925, "lzma" },
        { 4711, "unknown" },
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Code);
        EXPECT_EQ(CompressionName(c.Code), c.Name);
    }
}

/// Writes a 2x2 8-bit TIFF with libtiff, samples and tags as given (extraSamples 99: no tag).
bool WriteTagged(const std::string& path, uint16_t samples, uint16_t extraSamples,
    uint16_t photometric = PHOTOMETRIC_RGB)
{
    SilenceTiffLibrary();
    TIFF* tif = TIFFOpen(path.c_str(), "w");
    if (!tif) {
        return false;
    }
    TIFFSetField(tif, TIFFTAG_IMAGEWIDTH, 2u);
    TIFFSetField(tif, TIFFTAG_IMAGELENGTH, 2u);
    TIFFSetField(tif, TIFFTAG_BITSPERSAMPLE, 8u);
    TIFFSetField(tif, TIFFTAG_SAMPLESPERPIXEL, unsigned(samples));
    TIFFSetField(tif, TIFFTAG_PHOTOMETRIC, unsigned(photometric));
    TIFFSetField(tif, TIFFTAG_PLANARCONFIG, unsigned(PLANARCONFIG_CONTIG));
    if (extraSamples != 99) {
        const uint16_t kinds[] = { extraSamples };
        TIFFSetField(tif, TIFFTAG_EXTRASAMPLES, 1, kinds);
    }
    std::vector<uint8_t> line(2 * samples, 7);
    bool ok = true;
    for (uint32_t y = 0; y < 2; ++y) {
        ok = ok && TIFFWriteScanline(tif, line.data(), y, 0) == 1;
    }
    TIFFClose(tif);
    return ok;
}

TEST(TiffMetadata, AlphaKinds)
{
    struct Case {
        const char* Name;
        uint16_t Samples;
        uint16_t ExtraSamples;
        uint16_t Photometric;
        TAlphaKind Expected;
        const char* Text;
    };
    const Case cases[] = {
        { "RGB", 3, 99, PHOTOMETRIC_RGB, TAlphaKind::None, "none" },
        { "RGBA, straight alpha", 4, 2, PHOTOMETRIC_RGB, TAlphaKind::Unassociated, "unassociated" },
        { "RGBA, premultiplied", 4, 1, PHOTOMETRIC_RGB, TAlphaKind::Associated, "associated" },
        { "RGBA, extra sample 0", 4, 0, PHOTOMETRIC_RGB, TAlphaKind::Unspecified, "unspecified" },
        { "RGBA without ExtraSamples", 4, 99, PHOTOMETRIC_RGB, TAlphaKind::Unspecified,
            "unspecified" },
        { "grey and alpha", 2, 2, PHOTOMETRIC_MINISBLACK, TAlphaKind::Unassociated,
            "unassociated" },
        { "grey", 1, 99, PHOTOMETRIC_MINISBLACK, TAlphaKind::None, "none" },
    };
    TTempDir dir;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Name);
        ASSERT_TRUE(WriteTagged(dir.File("in.tif"), c.Samples, c.ExtraSamples, c.Photometric));
        TTiffMetadata m;
        ASSERT_TRUE(ReadTiffMetadataFile(dir.File("in.tif"), m));
        EXPECT_EQ(m.Alpha, c.Expected);
        EXPECT_STREQ(AlphaKindName(m.Alpha), c.Text);
    }
}

TEST(TiffMetadata, AFileWithoutMetadataReadsAsTheDefaults)
{
    TTempDir dir;
    ASSERT_TRUE(WriteTagged(dir.File("bare.tif"), 3, 99));
    TTiffMetadata m;
    ASSERT_TRUE(ReadTiffMetadataFile(dir.File("bare.tif"), m));
    EXPECT_EQ(m.Compression, "none");
    EXPECT_EQ(m.Predictor, 1);
    EXPECT_TRUE(m.IccProfile.empty());
    EXPECT_FALSE(m.Resolution.has_value());
    EXPECT_EQ(m.Orientation, 1);

    ASSERT_TRUE(WriteBytes(dir.File("text.tif"), { 'n', 'o', 't', ' ', 'a', ' ', 't', 'i', 'f' }));
    EXPECT_FALSE(ReadTiffMetadataFile(dir.File("text.tif"), m));
    EXPECT_FALSE(ReadTiffMetadataFile(dir.File("missing.tif"), m));
}

TEST(TiffMetadata, KeptMetadataRoundTrips)
{
    std::vector<uint8_t> icc(3001);
    for (size_t i = 0; i < icc.size(); ++i) {
        icc[i] = uint8_t(i * 7 + 3);
    }
    struct Case {
        const char* Name;
        std::optional<TTiffResolution> Resolution;
        uint16_t Orientation;
        bool Icc;
    };
    const Case cases[] = {
        { "300 dpi, rotated 90", TTiffResolution { 300, 300, TResolutionUnit::Inch }, 6, true },
        { "unequal, per cm, mirrored",
            TTiffResolution { 118.125f, 59.0625f, TResolutionUnit::Centimeter }, 2, true },
        { "no unit", TTiffResolution { 1, 2, TResolutionUnit::None }, 8, false },
        { "profile only", std::nullopt, 1, true },
    };
    TTempDir dir;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Name);
        TStripWrite write;
        write.Options.Compression = TTiffCompression::Zstd;
        write.Options.KeepMetadata = true;
        write.Metadata.Resolution = c.Resolution;
        write.Metadata.Orientation = c.Orientation;
        if (c.Icc) {
            write.Metadata.IccProfile = icc;
        }
        ASSERT_TRUE(WriteWithStripWriter(dir.File("out.tif"), PatternImage(4, 3, 16, 4), write));
        TTiffMetadata m;
        ASSERT_TRUE(ReadTiffMetadataFile(dir.File("out.tif"), m));
        EXPECT_EQ(m.IccProfile, write.Metadata.IccProfile);
        // Without a resolution of its own the output keeps the usual 240 dpi.
        EXPECT_EQ(m.Resolution,
            c.Resolution.value_or(TTiffResolution { 240, 240, TResolutionUnit::Inch }));
        EXPECT_EQ(m.Orientation, c.Orientation);
        EXPECT_EQ(m.Compression, "zstd");
        EXPECT_EQ(m.Alpha, TAlphaKind::Unassociated);
    }
}

TEST(TiffMetadata, MetadataIsWrittenOnlyWhenKept)
{
    TStripWrite write;
    write.Metadata.IccProfile = { 1, 2, 3, 4 };
    write.Metadata.Resolution = TTiffResolution { 72, 72, TResolutionUnit::Inch };
    write.Metadata.Orientation = 3;
    TTempDir dir;
    ASSERT_TRUE(WriteWithStripWriter(dir.File("out.tif"), PatternImage(4, 3, 8, 3), write));
    TTiffMetadata m;
    ASSERT_TRUE(ReadTiffMetadataFile(dir.File("out.tif"), m));
    EXPECT_TRUE(m.IccProfile.empty());
    EXPECT_EQ(m.Resolution, (TTiffResolution { 240, 240, TResolutionUnit::Inch }));
    EXPECT_EQ(m.Orientation, 1);
}

TEST(TiffMetadata, UnitNames)
{
    EXPECT_STREQ(ResolutionUnitName(TResolutionUnit::Inch), "inch");
    EXPECT_STREQ(ResolutionUnitName(TResolutionUnit::Centimeter), "cm");
    EXPECT_STREQ(ResolutionUnitName(TResolutionUnit::None), "none");
}

} // namespace
