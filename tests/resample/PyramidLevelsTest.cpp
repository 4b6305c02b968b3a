// The rows of a pyramid: 16-bit to 8-bit rounding, alpha flattened onto a background, the 2 x 2
// average with halves to even (odd edges, alpha weighting) and the levels made line by line.
#include <cstdint>
#include <string>
#include <tuple>
#include <vector>

#include <gtest/gtest.h>

#include "resample/EightBitRows.h"
#include "resample/HalvingLevels.h"

namespace {

TEST(EightBitRows, SixteenBitsRoundToTheNearest)
{
    // v / 257 rounded: 257k + 128 stays at k, 257k + 129 goes up.
    const std::vector<uint16_t> in { 0, 128, 129, 385, 386, 65406, 65407, 65535, 32896, 32895,
        32767, 32768 };
    const std::vector<uint8_t> expected { 0, 0, 1, 1, 2, 254, 255, 255, 128, 128, 127, 128 };
    std::vector<uint8_t> out(in.size());
    TEightBitRowSpec setup;
    setup.Bits = 16;
    setup.Channels = 3;
    ToEightBitRow(setup, reinterpret_cast<const uint8_t*>(in.data()), 4, out.data());
    EXPECT_EQ(expected, out);
}

TEST(EightBitRows, AlphaKeptOrFlattened)
{
    struct Case {
        const char* name;
        bool flatten;
        std::vector<uint8_t> in; ///< RGBA pixels
        std::vector<uint8_t> expected;
    };
    // Background 255, 0, 10. Flattened: round((c * a + b * (255 - a)) / 255).
    const Case cases[] = {
        { "kept", false, { 200, 100, 50, 128, 1, 2, 3, 0 }, { 200, 100, 50, 128, 1, 2, 3, 0 } },
        { "opaque_and_clear", true, { 200, 100, 50, 255, 1, 2, 3, 0 },
            { 200, 100, 50, 255, 0, 10 } },
        // (200 * 128 + 255 * 127) / 255 = 227.39; (100 * 128) / 255 = 50.20;
        // (50 * 128 + 10 * 127) / 255 = 30.08
        { "half", true, { 200, 100, 50, 128 }, { 227, 50, 30 } },
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TEightBitRowSpec setup;
        setup.Channels = 4;
        setup.Flatten = c.flatten;
        setup.Background = { 255, 0, 10 };
        EXPECT_EQ(c.flatten ? 3 : 4, EightBitChannels(setup));
        std::vector<uint8_t> out(c.expected.size());
        ToEightBitRow(setup, c.in.data(), static_cast<uint32_t>(c.in.size() / 4), out.data());
        EXPECT_EQ(c.expected, out);
    }
}

TEST(HalveRows, AveragesRoundHalfToEven)
{
    struct Case {
        const char* name;
        uint8_t channels;
        uint32_t width;
        std::vector<uint8_t> top;
        std::vector<uint8_t> bottom; ///< empty: the odd last row
        std::vector<uint8_t> expected;
    };
    const Case cases[] = {
        // Sums 6 (1.5 -> 2), 10 (2.5 -> 2), 3 (0.75 -> 1), 9 (2.25 -> 2) per channel.
        { "four_pixels", 3, 2, { 1, 2, 0, 2, 3, 1 }, { 1, 2, 1, 2, 3, 1 }, { 2, 2, 1 } },
        { "four_pixels_more", 3, 2, { 2, 0, 0, 3, 0, 0 }, { 2, 4, 5, 2, 5, 4 }, { 2, 2, 2 } },
        // Odd width: the last column averages its two rows (3.5 -> 4, 4.5 -> 4, 5.5 -> 6).
        { "odd_width", 3, 3, { 0, 0, 0, 0, 0, 0, 3, 4, 5 }, { 0, 0, 0, 0, 0, 0, 4, 5, 6 },
            { 0, 0, 0, 4, 4, 6 } },
        // Odd last row: pairs along the row (1.5 -> 2, 2.5 -> 2), the lone pixel as it is.
        { "odd_row", 3, 3, { 1, 2, 7, 2, 3, 8, 9, 9, 9 }, {}, { 2, 2, 8, 9, 9, 9 } },
        // Alpha: the transparent pixels give no colour; alpha 510 / 4 = 127.5 -> 128.
        { "alpha_weighted", 4, 2, { 250, 0, 10, 255, 0, 255, 0, 0 },
            { 250, 0, 10, 255, 0, 0, 255, 0 }, { 250, 0, 10, 128 } },
        // All transparent: the plain average (0 + 255 + 0 + 255) / 4 = 127.5 -> 128.
        { "all_transparent", 4, 2, { 0, 9, 0, 0, 255, 9, 0, 0 }, { 0, 9, 0, 0, 255, 9, 0, 0 },
            { 128, 9, 0, 0 } },
        // Weights 100 and 50 on one row: (30 * 100 + 60 * 50) / 150 = 40; alpha 75.
        { "alpha_row", 4, 2, { 30, 30, 30, 100, 60, 60, 60, 50 }, {}, { 40, 40, 40, 75 } },
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::vector<uint8_t> out(c.expected.size());
        HalveRows(c.top.data(), c.bottom.empty() ? nullptr : c.bottom.data(), c.width, c.channels,
            out.data());
        EXPECT_EQ(c.expected, out);
    }
}

TEST(HalveRows, WideRgbRowsMatchThePixelByPixelAverage)
{
    // Rows are halved in pieces of 512 pixel pairs: widths around one and two pieces, odd and
    // even, against the average of each 2 x 2 block done the plain way.
    for (const uint32_t width : { 1023u, 1024u, 1025u, 1026u, 2049u, 3001u }) {
        SCOPED_TRACE(width);
        std::vector<uint8_t> top(size_t(width) * 3);
        std::vector<uint8_t> bottom(top.size());
        uint32_t seed = width;
        for (size_t i = 0; i < top.size(); ++i) {
            seed = seed * 1103515245u + 12345u;
            top[i] = static_cast<uint8_t>(seed >> 16);
            bottom[i] = static_cast<uint8_t>(seed >> 24);
        }
        const uint32_t outWidth = width / 2 + width % 2;
        std::vector<uint8_t> expected(size_t(outWidth) * 3);
        for (uint32_t x = 0; x < outWidth; ++x) {
            const bool pair = 2 * x + 1 < width;
            for (uint32_t c = 0; c < 3; ++c) {
                const size_t i = size_t(2 * x) * 3 + c;
                const uint32_t sum =
                    top[i] + bottom[i] + (pair ? uint32_t(top[i + 3]) + bottom[i + 3] : 0u);
                const uint32_t n = pair ? 4 : 2;
                const uint32_t whole = sum / n;
                const uint32_t twice = 2 * (sum % n);
                expected[size_t(x) * 3 + c] = static_cast<uint8_t>(
                    whole + ((twice > n || (twice == n && whole % 2 == 1)) ? 1 : 0));
            }
        }
        std::vector<uint8_t> out(expected.size() + 1, 77);
        HalveRows(top.data(), bottom.data(), width, 3, out.data());
        EXPECT_EQ(77, out.back()); // nothing written past the row
        out.pop_back();
        EXPECT_EQ(expected, out);
    }
}

TEST(HalvingLevels, SidesAndRowOrder)
{
    struct Case {
        uint32_t width;
        uint32_t height;
        uint32_t toOnePixel;
    };
    const Case cases[] = { { 1, 1, 0 }, { 2, 1, 1 }, { 5, 3, 3 }, { 1, 1000, 10 }, { 1024, 7, 10 },
        { 1025, 7, 11 }, { 30000, 20000, 15 } };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.width) + "x" + std::to_string(c.height));
        EXPECT_EQ(c.toOnePixel, HalvingsToOnePixel(c.width, c.height));
        EXPECT_EQ(1u, LevelSide(std::max(c.width, c.height), c.toOnePixel));
    }
    EXPECT_EQ(15000u, LevelSide(30000, 1));
    EXPECT_EQ(1875u, LevelSide(30000, 4));
    EXPECT_EQ(938u, LevelSide(30000, 5));

    // 5 x 3 down to 1 x 1: each level's rows in order, a smaller level's row right after the
    // row that completes it; a constant image stays constant.
    THalvingLevels levels(5, 3, 3, 3);
    std::vector<std::tuple<uint32_t, uint32_t>> order;
    bool constant = true;
    const THalvingLevels::TRowSink sink = [&](uint32_t level, uint32_t y, const uint8_t* row) {
        order.emplace_back(level, y);
        for (uint32_t i = 0; i < LevelSide(5, level) * 3; ++i) {
            constant = constant && row[i] == 77;
        }
    };
    const std::vector<uint8_t> row(5 * 3, 77);
    for (int y = 0; y < 3; ++y) {
        levels.AddRow(row.data(), sink);
    }
    const std::vector<std::tuple<uint32_t, uint32_t>> expected { { 0, 0 }, { 0, 1 }, { 1, 0 },
        { 0, 2 }, { 1, 1 }, { 2, 0 }, { 3, 0 } };
    EXPECT_EQ(expected, order);
    EXPECT_TRUE(constant);
}

} // namespace
