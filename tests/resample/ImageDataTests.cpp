// Tests of the image record, the pixel-format table and loading and saving RAW tiles.
#include <cmath>

#include <gtest/gtest.h>

#include "ResampleFixtures.h"
#include "resample/ImageData.h"
#include "resample/PixelMath.h"

TEST(ImageRecord, AllocZeroFillsAndReleaseClears)
{
    struct Case {
        const char* name;
        TImageFormat format;
        int64_t size;
    };
    const Case cases[] = { { "8-bit", R8G8B8, 5 * 3 * 3 }, { "16-bit", R16G16B16, 5 * 3 * 6 } };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TImageData image;
        EXPECT_FALSE(IsValidImage(image));
        ASSERT_TRUE(AllocImage(5, 3, c.format, image));
        EXPECT_EQ(image.Size, c.size);
        EXPECT_EQ(image.Palette, nullptr);
        EXPECT_TRUE(std::all_of(image.Bits, image.Bits + image.Size, [](uint8_t b) { return !b; }));
        // A second allocation replaces the first buffer (ASan reports a leak otherwise).
        ASSERT_TRUE(AllocImage(2, 2, c.format, image));
        ReleaseImage(image);
        EXPECT_EQ(image.Bits, nullptr);
        EXPECT_EQ(image.Width, 0);
        EXPECT_EQ(image.Size, 0);
        EXPECT_FALSE(IsValidImage(image));
        ReleaseImage(image); // safe on a cleared record
    }
}

TEST(ImageRecord, AllocRefusesBadArguments)
{
    TImageData image;
    EXPECT_THROW(AllocImage(0, 5, R8G8B8, image), EImageError);
    EXPECT_THROW(AllocImage(5, -1, R8G8B8, image), EImageError);
    EXPECT_THROW(AllocImage(5, 5, TImageFormat(12), image), EImageError);
    EXPECT_EQ(image.Bits, nullptr);
}

TEST(ImageRecord, SizesBeyond32BitsAreComputedIn64)
{
    const TImageFormatInfo* info = GetFormatInfo(R8G8B8);
    ASSERT_NE(info, nullptr);
    EXPECT_EQ(info->GetPixelsSize(40000, 40000), int64_t(40000) * 40000 * 3);
    // (2^31 − 1)² × 6 does not fit in 64 bits: refused rather than wrapped.
    EXPECT_EQ(GetFormatInfo(R16G16B16)->GetPixelsSize(2147483647, 2147483647), -1);
    TImageData image { 10, 10, R8G8B8, 299, nullptr, nullptr, nullptr };
    EXPECT_FALSE(IsValidImage(image)) << "a Size that disagrees with the sides";
}

TEST(PixelFormat, GetPixelScalesByOneOverMax)
{
    const uint8_t bytes8[3] = { 0, 128, 255 };
    const TColorFPRec c8 = GetFormatInfo(R8G8B8)->GetPixelFP(bytes8);
    EXPECT_EQ(c8.B, 0.0f);
    EXPECT_EQ(c8.G, 128.0f * float(1.0 / 255.0));
    EXPECT_EQ(c8.R, 255.0f * float(1.0 / 255.0));
    EXPECT_EQ(c8.A, 1.0f);
    const uint8_t bytes16[6] = { 0x01, 0x00, 0x00, 0x80, 0xFF, 0xFF }; // little-endian samples
    const TColorFPRec c16 = GetFormatInfo(R16G16B16)->GetPixelFP(bytes16);
    EXPECT_EQ(c16.B, 1.0f * float(1.0 / 65535.0));
    EXPECT_EQ(c16.G, 32768.0f * float(1.0 / 65535.0));
    EXPECT_EQ(c16.R, 65535.0f * float(1.0 / 65535.0));
}

TEST(PixelFormat, RoundingGoesHalfToEven)
{
    struct Case {
        double value;
        double expected;
    };
    const Case cases[] = { { 2.5, 2 }, { 3.5, 4 }, { 0.5, 0 }, { 1.5, 2 }, { 254.5, 254 },
        { 2.4999, 2 }, { 2.5001, 3 }, { -3.5, 0 }, { 300.5, 255 } };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.value);
        EXPECT_EQ(ClampRoundHalfEven(c.value, 255.0), c.expected);
    }
    EXPECT_EQ(ClampRoundHalfEven(std::nan(""), 255.0), 0.0);
    EXPECT_EQ(RoundHalfEven(5000.5L), 5000.0L);
    EXPECT_EQ(RoundHalfEven(1666.67L), 1667.0L);
    EXPECT_EQ(RoundHalfEven(5001.5L), 5002.0L);
}

TEST(PixelFormat, SetPixelScalesRoundsAndClamps)
{
    struct Case {
        float value;
        uint32_t expected8;
        uint32_t expected16;
    };
    // 0.5 is the one float in 0..1 whose product with 255 or 65535 is a tie (127.5, 32767.5).
    const Case cases[] = { { 0.5f, 128, 32768 }, { float(2.4 / 255), 2, 617 },
        { float(2.6 / 255), 3, 668 }, { -0.25f, 0, 0 }, { 1.75f, 255, 65535 },
        { 1.0f, 255, 65535 } };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.value);
        uint8_t px[3] = { 9, 9, 9 };
        GetFormatInfo(R8G8B8)->SetPixelFP(px, TColorFPRec { c.value, 0.0f, 1.0f, 0.0f });
        EXPECT_EQ(px[0], c.expected8) << "B goes to byte 0";
        EXPECT_EQ(px[1], 0);
        EXPECT_EQ(px[2], 255) << "R goes to byte 2";
        uint8_t px16[6] = {};
        GetFormatInfo(R16G16B16)->SetPixelFP(px16, TColorFPRec { c.value, 0.0f, 0.0f, 0.0f });
        EXPECT_EQ(uint32_t(px16[0]) | uint32_t(px16[1]) << 8, c.expected16);
    }
}

TEST(RawFiles, SaveThenLoadGivesTheSameBytes)
{
    TScratchDir dir;
    for (TImageFormat format : { R8G8B8, R16G16B16 }) {
        SCOPED_TRACE(GetFormatInfo(format)->Name);
        TOwnedImage image(7, 3, format);
        FillImage(image, [&](int32_t x, int32_t y, int32_t c) {
            return format == R8G8B8 ? uint32_t(x * 30 + y * 7 + c)
                                    : uint32_t(x * 9000 + y * 300 + c);
        });
        const std::string path = dir.File("t.raw");
        SaveRawPixels(path, image.Image);
        EXPECT_EQ(ReadFileBytes(path), image.Bytes()) << "nothing before, between or after rows";
        TOwnedImage loaded;
        LoadRawPixels(path, 7, 3, format, loaded.Image);
        EXPECT_EQ(loaded.Bytes(), image.Bytes());
    }
}

TEST(RawFiles, LoadReusesAMatchingBufferAndIgnoresTrailingBytes)
{
    TScratchDir dir;
    std::vector<uint8_t> bytes(2 * 2 * 3 + 5, 0x11);
    WriteFileBytes(dir.File("t.raw"), bytes);
    TOwnedImage image(2, 2, R8G8B8);
    uint8_t* before = image.Image.Bits;
    LoadRawPixels(dir.File("t.raw"), 2, 2, R8G8B8, image.Image);
    EXPECT_EQ(image.Image.Bits, before);
    EXPECT_EQ(image.Bytes(), std::vector<uint8_t>(12, 0x11));
}

TEST(RawFiles, FailuresThrow)
{
    TScratchDir dir;
    WriteFileBytes(dir.File("short.raw"), std::vector<uint8_t>(2 * 2 * 3 - 1, 1));
    TOwnedImage image;
    // A short tile would otherwise come out with black rows and be reported as resized.
    EXPECT_THROW(LoadRawPixels(dir.File("short.raw"), 2, 2, R8G8B8, image.Image), EImageError);
    EXPECT_THROW(LoadRawPixels(dir.File("missing.raw"), 2, 2, R8G8B8, image.Image), EImageError);
    TOwnedImage pixels(2, 2, R8G8B8);
    EXPECT_THROW(SaveRawPixels(dir.File("no/such/folder.raw"), pixels.Image), EImageError);
}

TEST(RawFiles, FailedWriteThrowsAndSparesWhatIsNotARegularFile)
{
    if (!std::filesystem::exists("/dev/full"))
        GTEST_SKIP() << "needs /dev/full to provoke a failed write";
    TOwnedImage pixels(200, 200, R8G8B8);
    EXPECT_THROW(SaveRawPixels("/dev/full", pixels.Image), EImageError);
    EXPECT_TRUE(std::filesystem::exists("/dev/full")) << "a device is never removed";
}
