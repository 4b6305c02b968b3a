// The parallel strip encoder on its own: strips reach the sink in order whatever the thread
// count, and a sink or encoder failure stops the write at once.
#include "engine/TiffStripEncoder.h"

#include <cstdint>
#include <vector>

#include <gtest/gtest.h>

#include "support/TestImages.h"
#include "support/TiffOutputFixtures.h"

using namespace TestImages;

namespace {

TStripFormat FormatOf(const TPixels& image, TTiffCompression compression, uint32_t rows)
{
    TStripFormat f;
    f.Width = image.Width;
    f.Height = image.Height;
    f.Bits = image.Bits;
    f.Samples = image.Channels;
    f.Compression = compression;
    f.RowsPerStrip = rows;
    return f;
}

TEST(TiffStripEncoder, StripsArriveInOrderWithTheirSizes)
{
    const TPixels image = PatternImage(13, 50, 8, 3);
    // Batches of one strip, of two (4 x 39 bytes each), and of the whole image.
    for (uint64_t batchBytes : { uint64_t(1), uint64_t(2 * 4 * 39), kStripBatchBytes }) {
        for (uint32_t threads : { 1u, 2u, 3u }) {
            for (auto codec : { TTiffCompression::None, TTiffCompression::Lzw }) {
                SCOPED_TRACE(std::to_string(threads) + " threads, codec "
                    + std::to_string(int(codec)) + ", batches of " + std::to_string(batchBytes)
                    + " bytes");
                const TStripFormat format = FormatOf(image, codec, 4);
                EXPECT_EQ(format.StripCount(), 13u);
                std::vector<uint32_t> order;
                std::vector<size_t> sizes;
                TParallelStripEncoder encoder;
                encoder.SetBatchBytesForTests(batchBytes);
                ASSERT_TRUE(
                    encoder.Start(format, threads, [&](uint32_t strip, const uint8_t*, size_t n) {
                        order.push_back(strip);
                        sizes.push_back(n);
                        return true;
                    }));
                for (uint32_t y = 0; y < image.Height; ++y) {
                    ASSERT_TRUE(encoder.PushRow(NativeLine(image, y).data()));
                }
                ASSERT_TRUE(encoder.Finish());
                ASSERT_EQ(order.size(), 13u);
                for (uint32_t i = 0; i < 13; ++i) {
                    EXPECT_EQ(order[i], i);
                }
                if (codec == TTiffCompression::None) {
                    EXPECT_EQ(sizes.front(), 4u * 39);
                    EXPECT_EQ(sizes.back(), 2u * 39) << "the last strip holds the 2 rows left";
                }
            }
        }
    }
}

TEST(TiffStripEncoder, ASinkFailureStopsTheWrite)
{
    const TPixels image = PatternImage(13, 50, 8, 3);
    for (uint32_t threads : { 1u, 3u }) {
        SCOPED_TRACE(threads);
        uint32_t calls = 0;
        TParallelStripEncoder encoder;
        encoder.SetBatchBytesForTests(3 * 2 * 39); // strips 3, 4 and 5 travel together
        ASSERT_TRUE(encoder.Start(FormatOf(image, TTiffCompression::Deflate, 2), threads,
            [&](uint32_t strip, const uint8_t*, size_t) {
                ++calls;
                return strip != 3;
            }));
        bool ok = true;
        for (uint32_t y = 0; ok && y < image.Height; ++y) {
            ok = encoder.PushRow(NativeLine(image, y).data());
        }
        EXPECT_FALSE(ok && encoder.Finish());
        EXPECT_EQ(calls, 4u) << "no strip after the failed one";
        EXPECT_FALSE(encoder.PushRow(NativeLine(image, 0).data()));
        EXPECT_FALSE(encoder.Finish());
    }
}

TEST(TiffStripEncoder, RefusesWhatLibtiffRefuses)
{
    const TPixels image = PatternImage(4, 4, 8, 3);
    TStripFormat format = FormatOf(image, TTiffCompression::Deflate, 1);
    format.Level = 13; // libtiff's Deflate stops at 12
    TParallelStripEncoder encoder;
    const auto sink = [](uint32_t, const uint8_t*, size_t) { return true; };
    EXPECT_FALSE(encoder.Start(format, 2, sink));
    EXPECT_FALSE(encoder.PushRow(NativeLine(image, 0).data()));
    format = FormatOf(image, TTiffCompression::Lzw, 1);
    format.Bits = 12;
    EXPECT_FALSE(encoder.Start(format, 2, sink));
    EXPECT_FALSE(encoder.Start(FormatOf(image, TTiffCompression::Lzw, 1), 2, nullptr));
}

} // namespace
