// Tests that the AVX2 inner loops give exactly the plain loops' results, loop by loop and through
// ScaleImage, for every length (odd, below one vector), tap count, divider and thread count.
#include <cmath>
#include <cstring>
#include <limits>
#include <random>

#include <gtest/gtest.h>

#include "ResampleReference.h"
#include "resample/ResampleKernels.h"

namespace {

/// Selects an instruction set for the length of a test and gives the previous one back.
class TIsaScope {
public:
    explicit TIsaScope(TResampleIsa isa)
        : FPrevious(SelectedResampleIsa())
    {
        Selected = SelectResampleIsa(isa);
    }
    ~TIsaScope() { (void)SelectResampleIsa(FPrevious); }
    TIsaScope(const TIsaScope&) = delete;
    TIsaScope& operator=(const TIsaScope&) = delete;
    bool Selected = false;

private:
    TResampleIsa FPrevious;
};

bool HasAvx2()
{
    return DetectedResampleIsa() == TResampleIsa::Avx2;
}

/// Bit patterns, so that a different NaN or sign of zero counts as a difference too.
std::vector<uint32_t> Bits(const std::vector<float>& v, size_t count)
{
    std::vector<uint32_t> bits(count);
    if (count > 0)
        std::memcpy(bits.data(), v.data(), count * sizeof(float));
    return bits;
}

// Weights like those of the tables: mostly small, some negative, a few zero.
std::vector<float> Weights(std::mt19937& random, size_t taps)
{
    std::uniform_real_distribution<float> weight(-0.2f, 0.6f);
    std::vector<float> w(taps);
    for (size_t k = 0; k < taps; ++k)
        w[k] = k % 7 == 3 ? 0.0f : weight(random);
    return w;
}

template <typename TSample>
void CheckVertical(const TResampleKernels& plain, const TResampleKernels& avx2)
{
    std::mt19937 random(7);
    for (size_t taps : { 1u, 2u, 3u, 4u, 5u, 12u, 13u, 18u, 60u, 61u })
        for (size_t count : { 0u, 1u, 3u, 7u, 8u, 9u, 31u, 32u, 33u, 63u, 97u, 300u, 1001u }) {
            SCOPED_TRACE(testing::Message()
                << sizeof(TSample) * 8 << "-bit, " << taps << " taps, " << count << " samples");
            // Rows may repeat, as the edge rows do in a clamped cluster.
            std::vector<std::vector<TSample>> storage(taps, std::vector<TSample>(count + 1));
            std::vector<const TSample*> rows(taps);
            for (size_t k = 0; k < taps; ++k) {
                for (TSample& s : storage[k])
                    s = TSample(random());
                rows[k] = storage[k % 5 == 4 ? 0 : k].data();
            }
            const std::vector<float> w = Weights(random, taps);
            std::vector<float> expected(count + 1, -1.0f), actual(count + 1, -2.0f);
            auto vertical = [&](const TResampleKernels& k, std::vector<float>& line) {
                if constexpr (sizeof(TSample) == 1)
                    k.Vertical8(rows.data(), w.data(), taps, count, line.data());
                else
                    k.Vertical16(rows.data(), w.data(), taps, count, line.data());
            };
            vertical(plain, expected);
            vertical(avx2, actual);
            EXPECT_EQ(Bits(actual, count), Bits(expected, count));
            EXPECT_EQ(actual[count], -2.0f) << "nothing written past the line";
        }
}

} // namespace

TEST(ResampleKernels, SelectionFollowsTheProcessor)
{
    EXPECT_TRUE(SelectResampleIsa(TResampleIsa::Generic));
    EXPECT_EQ(SelectedResampleIsa(), TResampleIsa::Generic);
    EXPECT_EQ(&SelectedKernels(), &GenericKernels());
    EXPECT_EQ(SelectResampleIsa(TResampleIsa::Avx2), HasAvx2());
    EXPECT_TRUE(SelectResampleIsa(DetectedResampleIsa()));
    EXPECT_EQ(&SelectedKernels(), &KernelsFor(DetectedResampleIsa()));
}

TEST(ResampleKernels, VerticalPassMatchesThePlainLoopBitForBit)
{
    if (!HasAvx2())
        GTEST_SKIP() << "this processor has no AVX2";
    CheckVertical<uint8_t>(GenericKernels(), Avx2Kernels());
    CheckVertical<uint16_t>(GenericKernels(), Avx2Kernels());
}

TEST(ResampleKernels, HorizontalPassMatchesThePlainLoopBitForBit)
{
    if (!HasAvx2())
        GTEST_SKIP() << "this processor has no AVX2";
    struct Case {
        int32_t from, to;
    };
    // Shrinking by whole and broken factors, enlarging, equal; widths below and around the
    // eight pixels of one AVX2 step.
    const Case cases[] = { { 1, 5 }, { 2, 1 }, { 7, 3 }, { 9, 9 }, { 16, 8 }, { 17, 8 }, { 40, 20 },
        { 61, 13 }, { 100, 10 }, { 105, 10 }, { 237, 100 }, { 13, 61 } };
    std::mt19937 random(11);
    std::uniform_real_distribution<float> value(-0.1f, 1.1f);
    for (const Case& c : cases)
        for (TResizeFilter f : { rfBilinear, rfBicubic, rfLanczos }) {
            SCOPED_TRACE(testing::Message() << c.from << " to " << c.to << " filter " << f);
            const TMappingTable table = BuildClusters(c.to, c.from, KernelOf(f), RadiusOf(f));
            int32_t low = 0, high = 0;
            ClusterRange(table, low, high);
            const TColumnTable columns = FlattenColumns(table, low);
            std::vector<float> line(size_t(high - low + 1) * kLineChannels + 1);
            for (float& v : line)
                v = value(random);
            const size_t count = size_t(c.to) * kLineChannels;
            std::vector<float> expected(count + 1), actual(count + 1);
            GenericKernels().Horizontal(line.data(), columns, c.to, expected.data());
            Avx2Kernels().Horizontal(line.data(), columns, c.to, actual.data());
            EXPECT_EQ(Bits(actual, count), Bits(expected, count));
        }
}

TEST(ResampleKernels, ConversionBackToSamplesMatchesThePlainLoop)
{
    if (!HasAvx2())
        GTEST_SKIP() << "this processor has no AVX2";
    // The one exact tie in range (0.5 gives 127.5 and 32767.5, which go to the even 128 and
    // 32768), values near ties and beyond both ends, both zeros, infinities and a NaN, then noise.
    std::vector<float> in = { 2.5f / 255, 3.5f / 255, 0.5f, 1.0f, 1.5f, -0.0f, 0.0f, -1e-9f, -3.0f,
        2.0f, 0.5f / 65535, 1.5f / 65535, 254.5f / 255, 255.5f / 255,
        std::numeric_limits<float>::quiet_NaN(), std::numeric_limits<float>::infinity(),
        -std::numeric_limits<float>::infinity(), 1.0f - 1e-7f };
    std::mt19937 random(3);
    std::uniform_real_distribution<float> value(-0.05f, 1.05f);
    while (in.size() < 200)
        in.push_back(value(random));
    for (size_t count : { 0u, 1u, 15u, 16u, 17u, 18u, 33u, 200u }) {
        SCOPED_TRACE(count);
        std::vector<uint8_t> e8(count + 1, 7), a8(count + 1, 7);
        std::vector<uint16_t> e16(count + 1, 7), a16(count + 1, 7);
        GenericKernels().StoreRow8(in.data(), count, e8.data());
        Avx2Kernels().StoreRow8(in.data(), count, a8.data());
        GenericKernels().StoreRow16(in.data(), count, e16.data());
        Avx2Kernels().StoreRow16(in.data(), count, a16.data());
        EXPECT_EQ(a8, e8);
        EXPECT_EQ(a16, e16);
    }
    uint8_t tie8 = 0;
    uint16_t tie16 = 0;
    Avx2Kernels().StoreRow8(&in[2], 1, &tie8);
    Avx2Kernels().StoreRow16(&in[2], 1, &tie16);
    EXPECT_EQ(tie8, 128);
    EXPECT_EQ(tie16, 32768);
}

TEST(ResampleKernels, ScaleImageGivesTheSameBytesWithEitherSetAndAnyThreadCount)
{
    struct Case {
        int32_t fromW, fromH;
        double divider;
    };
    // Dividers of the resize job (whole and broken), odd sizes, sides below one vector, a
    // single row and a single column.
    const Case cases[] = { { 97, 61, 2.0 }, { 101, 67, 3.0 }, { 125, 63, 6.0 }, { 211, 121, 10.0 },
        { 211, 105, 10.5 }, { 73, 45, 2.37 }, { 9, 7, 2.0 }, { 301, 1, 3.0 }, { 1, 97, 2.0 },
        { 6, 40, 1.0 / 1.7 } };
    for (TImageFormat format : { R8G8B8, R16G16B16 })
        for (const Case& c : cases) {
            const int32_t toW = std::max(1, int32_t(std::nearbyint(c.fromW / c.divider)));
            const int32_t toH = std::max(1, int32_t(std::nearbyint(c.fromH / c.divider)));
            SCOPED_TRACE(testing::Message() << GetFormatInfo(format)->Name << " " << c.fromW << "x"
                                            << c.fromH << " to " << toW << "x" << toH);
            TOwnedImage source(c.fromW, c.fromH, format);
            FillNoise(source);
            TOwnedImage reference(toW, toH, format);
            ReferenceFilteredStretch(source.Image, reference.Image, LanczosKernel, 3.0f);
            for (TResampleIsa isa : { TResampleIsa::Generic, TResampleIsa::Avx2 }) {
                TIsaScope scope(isa);
                if (!scope.Selected)
                    continue;
                for (unsigned threads : { 1u, 2u, 3u }) {
                    SCOPED_TRACE(testing::Message()
                        << (isa == TResampleIsa::Avx2 ? "AVX2" : "plain") << ", threads "
                        << threads);
                    TOwnedImage image(c.fromW, c.fromH, format);
                    std::memcpy(image.Image.Bits, source.Image.Bits, size_t(source.Image.Size));
                    if (toW == c.fromW && toH == c.fromH)
                        continue;
                    ASSERT_TRUE(ScaleImage(image.Image, toW, toH, rfLanczos, threads));
                    EXPECT_EQ(image.Bytes(), reference.Bytes());
                }
            }
        }
}
