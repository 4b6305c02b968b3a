// Tests of the kernels, the contributor lists and the nearest and filtered stretches.
#include <cmath>

#include <gtest/gtest.h>

#include "ResampleReference.h"
#include "resample/Resampler.h"

namespace {

const TResizeFilter kAllFilters[] = { rfNearest, rfBilinear, rfBicubic, rfLanczos };

} // namespace

TEST(Kernels, KnownValues)
{
    struct Case {
        const char* name;
        float value;
        float expected;
    };
    const float kTwoOverPi = float(2.0 / 3.14159265358979323846);
    const Case cases[] = {
        { "Sinc(0)", Sinc(0.0f), 1.0f },
        { "Sinc(0.5)", Sinc(0.5f), kTwoOverPi },
        { "Linear(0.25)", LinearKernel(0.25f), 0.75f },
        { "Linear(-0.25)", LinearKernel(-0.25f), 0.75f },
        { "Linear(1)", LinearKernel(1.0f), 0.0f },
        { "CatmullRom(0)", CatmullRomKernel(0.0f), 1.0f },
        { "CatmullRom(0.5)", CatmullRomKernel(0.5f), 0.5625f },
        { "CatmullRom(-1.5)", CatmullRomKernel(-1.5f), -0.0625f },
        { "CatmullRom(1)", CatmullRomKernel(1.0f), 0.0f },
        { "CatmullRom(2)", CatmullRomKernel(2.0f), 0.0f },
        { "Lanczos(0)", LanczosKernel(0.0f), 1.0f },
        { "Lanczos(3)", LanczosKernel(3.0f), 0.0f },
        { "Lanczos(-3.5)", LanczosKernel(-3.5f), 0.0f },
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_NEAR(c.value, c.expected, 1e-7f);
    }
    // π rounded to float is not π, so the zero crossings of Sinc are only nearly zero.
    EXPECT_NE(LanczosKernel(1.0f), 0.0f);
    EXPECT_LT(std::fabs(LanczosKernel(1.0f)), 1e-7f);
}

TEST(Clusters, WorkedExampleFortyColumnsToTwenty)
{
    const TMappingTable table = BuildClusters(20, 40, LanczosKernel, 3.0f);
    ASSERT_EQ(table.size(), 20u);

    // Destination column 5: centre 10.5, source columns 5..16 (4 and 17 weigh 0).
    const TCluster& c5 = table[5];
    ASSERT_EQ(c5.size(), 12u);
    const float outsideIn[6] = { 0.003678f, 0.015011f, -0.033896f, -0.066436f, 0.135095f,
        0.445034f };
    for (int k = 0; k < 12; ++k) {
        SCOPED_TRACE(k);
        EXPECT_EQ(c5[size_t(k)].Pos, 5 + k);
        if (k != 5) { // index 5 (source column 10) carries the correction
            EXPECT_NEAR(c5[size_t(k)].Weight, outsideIn[k < 6 ? k : 11 - k], 1e-6f);
        }
    }
    for (int k = 0; k < 5; ++k)
        EXPECT_EQ(c5[size_t(k)].Weight, c5[size_t(11 - k)].Weight) << "symmetric about 10.5";
    EXPECT_NEAR(c5[5].Weight, 0.448062f, 1e-6f);
    EXPECT_NEAR(c5[5].Weight - c5[6].Weight, 0.003028f, 1e-6f);
    float sum = 0.0f;
    for (const TPointRec& p : c5)
        sum += p.Weight;
    EXPECT_NEAR(sum, 1.0f, 1e-6f);

    // Destination column 0: centre 0.5, j = −5..6, the first six clamped onto the edge pixel.
    const TCluster& c0 = table[0];
    ASSERT_EQ(c0.size(), 12u);
    for (int k = 0; k < 12; ++k)
        EXPECT_EQ(c0[size_t(k)].Pos, k < 6 ? 0 : k - 5) << k;
    EXPECT_EQ(c0[0].Weight, c5[0].Weight) << "clamped contributors keep their own weights";
}

TEST(Clusters, LanczosShrinkByIntegerFactorTakesSixTimesItsTaps)
{
    for (int d : { 2, 10 }) {
        SCOPED_TRACE(d);
        const TMappingTable table = BuildClusters(100, 100 * d, LanczosKernel, 3.0f);
        EXPECT_EQ(table[50].size(), size_t(6 * d));
    }
}

TEST(Clusters, EveryTableStaysInsideTheSourceAndSumsToOne)
{
    for (TResizeFilter f : { rfBilinear, rfBicubic, rfLanczos })
        for (int32_t src = 1; src <= 13; ++src)
            for (int32_t dst = 1; dst <= 13; ++dst) {
                SCOPED_TRACE(testing::Message() << "filter " << f << " " << src << " -> " << dst);
                const TMappingTable table = BuildClusters(dst, src, KernelOf(f), RadiusOf(f));
                ASSERT_EQ(table.size(), size_t(dst));
                for (const TCluster& c : table) {
                    ASSERT_FALSE(c.empty());
                    float sum = 0.0f;
                    for (size_t k = 0; k < c.size(); ++k) {
                        EXPECT_GE(c[k].Pos, 0);
                        EXPECT_LT(c[k].Pos, src);
                        if (k > 0) {
                            EXPECT_GE(c[k].Pos, c[k - 1].Pos) << "ascending source order";
                        }
                        sum += c[k].Weight;
                    }
                    EXPECT_NEAR(sum, 1.0f, 2e-6f);
                }
            }
}

TEST(Clusters, DegenerateCounts)
{
    const TMappingTable one = BuildClusters(4, 1, LanczosKernel, 3.0f);
    ASSERT_EQ(one.size(), 4u);
    for (const TCluster& c : one) {
        ASSERT_EQ(c.size(), 1u);
        EXPECT_EQ(c[0].Pos, 0);
        EXPECT_EQ(c[0].Weight, 1.0f);
    }
    EXPECT_TRUE(BuildClusters(0, 5, LanczosKernel, 3.0f).empty());
    EXPECT_TRUE(BuildClusters(5, 0, LanczosKernel, 3.0f).empty());
    int32_t low = 7, high = 7;
    ClusterRange(TMappingTable {}, low, high);
    EXPECT_GT(low, high) << "an empty table has an empty range";
}

TEST(NearestStretch, TakesTruncatedFixedPointPositions)
{
    struct Case {
        const char* name;
        int32_t fromW, fromH, toW, toH;
        std::vector<int32_t> columns; // source column of each destination column
        std::vector<int32_t> rows;
    };
    const Case cases[] = {
        { "10 to 4", 10, 1, 4, 1, { 0, 2, 5, 7 }, { 0 } },
        { "halving takes even columns and rows", 8, 6, 4, 3, { 0, 2, 4, 6 }, { 0, 2, 4 } },
        { "enlarging repeats", 3, 2, 7, 3, { 0, 0, 0, 1, 1, 2, 2 }, { 0, 0, 1 } },
        { "one pixel wide", 1, 1, 5, 2, { 0, 0, 0, 0, 0 }, { 0, 0 } },
        // 40000 × 65536 needs more than 32 bits.
        { "wider than 32767", 40000, 1, 3, 1, { 0, 13333, 26666 }, { 0 } },
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        for (TImageFormat format : { R8G8B8, R16G16B16 }) {
            TOwnedImage image(c.fromW, c.fromH, format);
            // Each pixel encodes its position: R = x, G = y, B = channel marker.
            FillImage(image, [](int32_t x, int32_t y, int32_t ch) {
                return ch == 0 ? uint32_t(x) : ch == 1 ? uint32_t(y) : 200u;
            });
            ASSERT_TRUE(ScaleImage(image.Image, c.toW, c.toH, rfNearest));
            ASSERT_EQ(image.Image.Width, c.toW);
            ASSERT_EQ(image.Image.Height, c.toH);
            for (int32_t y = 0; y < c.toH; ++y)
                for (int32_t x = 0; x < c.toW; ++x) {
                    const uint32_t mask = format == R8G8B8 ? 0xFF : 0xFFFF;
                    EXPECT_EQ(image.At(x, y, 0), uint32_t(c.columns[size_t(x)]) & mask) << x;
                    EXPECT_EQ(image.At(x, y, 1), uint32_t(c.rows[size_t(y)])) << y;
                    EXPECT_EQ(image.At(x, y, 2), 200u);
                }
        }
    }
}

TEST(ScaleImage, SameSizeOrInvalidImageIsLeftAlone)
{
    TOwnedImage image(5, 4, R8G8B8);
    FillNoise(image);
    const std::vector<uint8_t> before = image.Bytes();
    uint8_t* bits = image.Image.Bits;
    for (TResizeFilter f : kAllFilters) {
        EXPECT_FALSE(ScaleImage(image.Image, 5, 4, f));
        EXPECT_EQ(image.Image.Bits, bits);
        EXPECT_EQ(image.Bytes(), before);
    }
    TImageData empty;
    EXPECT_FALSE(ScaleImage(empty, 3, 3, rfLanczos));
}

TEST(ScaleImage, RefusedSizesThrowAndKeepThePixels)
{
    TOwnedImage image(5, 4, R8G8B8);
    FillNoise(image);
    const std::vector<uint8_t> before = image.Bytes();
    EXPECT_THROW(ScaleImage(image.Image, 0, 2, rfLanczos), EImageError);
    EXPECT_THROW(ScaleImage(image.Image, 2, -3, rfNearest), EImageError);
    // More bytes than 64 bits can count: the destination cannot be allocated.
    EXPECT_THROW(ScaleImage(image.Image, 2000000000, 2000000000, rfLanczos), EImageError);
    EXPECT_EQ(image.Image.Width, 5);
    EXPECT_EQ(image.Bytes(), before);
}

TEST(ScaleImage, UniformImagesKeepTheirExactValues)
{
    struct Size {
        int32_t w, h;
    };
    const Size targets[] = { { 9, 5 }, { 20, 14 }, { 40, 3 }, { 7, 14 }, { 1, 1 }, { 61, 33 } };
    for (TImageFormat format : { R8G8B8, R16G16B16 })
        for (uint32_t value : { 0u, 1u, 77u, 254u, 255u, 40000u, 65535u }) {
            if (format == R8G8B8 && value > 255)
                continue;
            for (TResizeFilter f : kAllFilters)
                for (const Size& s : targets) {
                    SCOPED_TRACE(testing::Message()
                        << GetFormatInfo(format)->Name << " value " << value << " filter " << f
                        << " to " << s.w << "x" << s.h);
                    TOwnedImage image(40, 14, format);
                    FillImage(image, [&](int32_t, int32_t, int32_t) { return value; });
                    ScaleImage(image.Image, s.w, s.h, f);
                    bool uniform = true;
                    for (int32_t y = 0; y < s.h; ++y)
                        for (int32_t x = 0; x < s.w; ++x)
                            for (int32_t c = 0; c < 3; ++c)
                                uniform = uniform && image.At(x, y, c) == value;
                    EXPECT_TRUE(uniform);
                }
        }
}

TEST(ScaleImage, HardEdgeRingsButIsClampedNotWrapped)
{
    for (TImageFormat format : { R8G8B8, R16G16B16 }) {
        SCOPED_TRACE(GetFormatInfo(format)->Name);
        const uint32_t white = format == R8G8B8 ? 255 : 65535;
        TOwnedImage image(64, 4, format);
        FillImage(image, [&](int32_t x, int32_t, int32_t) { return x < 32 ? 0u : white; });
        ASSERT_TRUE(ScaleImage(image.Image, 32, 2, rfLanczos));
        bool ringsDark = false, ringsLight = false;
        for (int32_t x = 0; x < 32; ++x) {
            const uint32_t v = image.At(x, 0, 1);
            // Overshoot is a few percent of the step; a wrapped value would land far away.
            if (x < 16) {
                EXPECT_LT(v, white / 16) << x;
                ringsDark = ringsDark || v > 0;
            } else {
                EXPECT_GT(v, white - white / 16) << x;
                ringsLight = ringsLight || v < white;
            }
        }
        EXPECT_TRUE(ringsDark);
        EXPECT_TRUE(ringsLight);
        EXPECT_EQ(image.At(0, 0, 1), 0u) << "far from the edge the black stays black";
        EXPECT_EQ(image.At(31, 0, 1), white);
    }
}

TEST(ScaleImage, AnUnchangedAxisKeepsTheSourceValues)
{
    for (TImageFormat format : { R8G8B8, R16G16B16 }) {
        SCOPED_TRACE(GetFormatInfo(format)->Name);
        const bool sixteen = format == R16G16B16;
        // Varies along x only: halving the height must give back every row unchanged.
        TOwnedImage rows(23, 10, format);
        FillImage(
            rows, [&](int32_t x, int32_t, int32_t c) { return NoiseSample(x, 0, c, sixteen); });
        ASSERT_TRUE(ScaleImage(rows.Image, 23, 5, rfLanczos));
        for (int32_t y = 0; y < 5; ++y)
            for (int32_t x = 0; x < 23; ++x)
                for (int32_t c = 0; c < 3; ++c)
                    ASSERT_EQ(rows.At(x, y, c), NoiseSample(x, 0, c, sixteen)) << x << "," << y;
        // And the transposed case: the width halves, columns vary along y only.
        TOwnedImage columns(10, 23, format);
        FillImage(
            columns, [&](int32_t, int32_t y, int32_t c) { return NoiseSample(0, y, c, sixteen); });
        ASSERT_TRUE(ScaleImage(columns.Image, 5, 23, rfLanczos));
        for (int32_t y = 0; y < 23; ++y)
            for (int32_t x = 0; x < 5; ++x)
                for (int32_t c = 0; c < 3; ++c)
                    ASSERT_EQ(columns.At(x, y, c), NoiseSample(0, y, c, sixteen)) << x << "," << y;
    }
}

TEST(ScaleImage, OnePixelSourceFillsTheDestination)
{
    for (TResizeFilter f : kAllFilters) {
        SCOPED_TRACE(f);
        TOwnedImage image(1, 1, R8G8B8);
        FillImage(image, [](int32_t, int32_t, int32_t c) { return uint32_t(10 + 100 * c); });
        ASSERT_TRUE(ScaleImage(image.Image, 6, 3, f));
        for (int32_t y = 0; y < 3; ++y)
            for (int32_t x = 0; x < 6; ++x)
                for (int32_t c = 0; c < 3; ++c)
                    EXPECT_EQ(image.At(x, y, c), uint32_t(10 + 100 * c));
    }
}

TEST(ScaleImage, FastLoopsMatchTheReferenceForAnyThreadCount)
{
    struct Case {
        int32_t fromW, fromH, toW, toH;
    };
    // Odd widths, shrinking, enlarging and one axis unchanged.
    const Case cases[] = { { 97, 61, 40, 23 }, { 61, 37, 97, 50 }, { 50, 40, 50, 7 },
        { 33, 80, 5, 80 }, { 3, 2, 2, 1 } };
    for (TImageFormat format : { R8G8B8, R16G16B16 })
        for (TResizeFilter f : kAllFilters)
            for (const Case& c : cases) {
                SCOPED_TRACE(testing::Message()
                    << GetFormatInfo(format)->Name << " filter " << f << " " << c.fromW << "x"
                    << c.fromH << " to " << c.toW << "x" << c.toH);
                TOwnedImage source(c.fromW, c.fromH, format);
                FillNoise(source);
                std::vector<uint8_t> expected;
                if (f != rfNearest) {
                    TOwnedImage reference(c.toW, c.toH, format);
                    ReferenceFilteredStretch(
                        source.Image, reference.Image, KernelOf(f), RadiusOf(f));
                    expected = reference.Bytes();
                }
                for (unsigned threads : { 1u, 2u, 3u, 0u }) {
                    SCOPED_TRACE(threads);
                    TOwnedImage image(c.fromW, c.fromH, format);
                    std::copy(
                        source.Image.Bits, source.Image.Bits + source.Image.Size, image.Image.Bits);
                    ASSERT_TRUE(ScaleImage(image.Image, c.toW, c.toH, f, threads));
                    if (expected.empty())
                        expected = image.Bytes();
                    EXPECT_EQ(image.Bytes(), expected);
                }
            }
}

TEST(ScaleImage, SixteenBitResultsAgreeWithEightBit)
{
    // The same picture at both depths (s and s × 257) must resize to the same picture; the
    // two depths quantise differently, so one 8-bit step of difference is allowed.
    TOwnedImage eight(45, 31, R8G8B8);
    TOwnedImage sixteen(45, 31, R16G16B16);
    FillImage(eight, [](int32_t x, int32_t y, int32_t c) { return NoiseSample(x, y, c, false); });
    FillImage(
        sixteen, [](int32_t x, int32_t y, int32_t c) { return NoiseSample(x, y, c, false) * 257; });
    ASSERT_TRUE(ScaleImage(eight.Image, 20, 13, rfLanczos));
    ASSERT_TRUE(ScaleImage(sixteen.Image, 20, 13, rfLanczos));
    for (int32_t y = 0; y < 13; ++y)
        for (int32_t x = 0; x < 20; ++x)
            for (int32_t c = 0; c < 3; ++c)
                EXPECT_NEAR(sixteen.At(x, y, c) / 257.0, double(eight.At(x, y, c)), 1.0)
                    << x << "," << y;
}
