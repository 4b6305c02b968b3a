// Pixel repacking between line buffers: every row of the conversion table, offsets, and the
// combinations that must leave the target alone.
#include <cstdint>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "engine/TavmorManager.h"

namespace {

struct TRepackCase {
    const char* name;
    uint8_t bits;
    uint8_t fromChannels;
    bool fromLsb;
    uint8_t toChannels;
    bool toLsb;
    uint32_t sourceX;
    uint32_t targetX;
    uint32_t count;
    std::vector<uint8_t> source;
    std::vector<uint8_t> expected; ///< the whole target, which starts as 0xEE bytes
    size_t targetSize;
};

constexpr uint8_t E = 0xEE;

TEST(RepackLine, ConvertsByTheTableAndTouchesNothingElse)
{
    const std::vector<uint8_t> rgb8 = { 1, 2, 3 };
    const std::vector<uint8_t> rgba8 = { 1, 2, 3, 4 };
    const std::vector<uint8_t> rgb16 = { 1, 2, 3, 4, 5, 6 };
    const std::vector<uint8_t> rgba16 = { 1, 2, 3, 4, 5, 6, 7, 8 };
    const TRepackCase cases[] = {
        { "8 3->3", 8, 3, true, 3, true, 0, 0, 1, rgb8, { 1, 2, 3, E }, 4 },
        { "8 3->4 opaque alpha", 8, 3, true, 4, false, 0, 0, 1, rgb8, { 1, 2, 3, 255, E }, 5 },
        { "8 4->3 drops alpha", 8, 4, false, 3, true, 0, 0, 1, rgba8, { 1, 2, 3, E }, 4 },
        { "8 4->4", 8, 4, true, 4, true, 0, 0, 1, rgba8, { 1, 2, 3, 4, E }, 5 },
        { "8-bit ignores byte order", 8, 3, false, 3, true, 0, 0, 1, rgb8, { 1, 2, 3, E }, 4 },
        { "16 3->3 same order", 16, 3, true, 3, true, 0, 0, 1, rgb16, { 1, 2, 3, 4, 5, 6, E }, 7 },
        { "16 3->4 same order", 16, 3, true, 4, true, 0, 0, 1, rgb16,
            { 1, 2, 3, 4, 5, 6, 255, 255, E }, 9 },
        { "16 4->3 same order", 16, 4, false, 3, false, 0, 0, 1, rgba16, { 1, 2, 3, 4, 5, 6, E },
            7 },
        { "16 4->4 same order", 16, 4, false, 4, false, 0, 0, 1, rgba16,
            { 1, 2, 3, 4, 5, 6, 7, 8, E }, 9 },
        { "16 3->3 swapped", 16, 3, true, 3, false, 0, 0, 1, rgb16, { 2, 1, 4, 3, 6, 5, E }, 7 },
        { "16 3->4 swapped", 16, 3, true, 4, false, 0, 0, 1, rgb16,
            { 2, 1, 4, 3, 6, 5, 255, 255, E }, 9 },
        { "16 4->3 swapped", 16, 4, false, 3, true, 0, 0, 1, rgba16, { 2, 1, 4, 3, 6, 5, E }, 7 },
        { "16 4->4 swapped, alpha too", 16, 4, false, 4, true, 0, 0, 1, rgba16,
            { 2, 1, 4, 3, 6, 5, 8, 7, E }, 9 },
        { "offsets and count", 8, 3, true, 4, false, 1, 2, 2, { 1, 2, 3, 4, 5, 6, 7, 8, 9 },
            { E, E, E, E, E, E, E, E, 4, 5, 6, 255, 7, 8, 9, 255, E }, 17 },
        { "16-bit offsets", 16, 4, false, 3, true, 1, 1, 1,
            { 0, 0, 0, 0, 0, 0, 0, 0, 1, 2, 3, 4, 5, 6, 7, 8 },
            { E, E, E, E, E, E, 2, 1, 4, 3, 6, 5, E }, 13 },
        { "count 0", 8, 3, true, 3, true, 0, 0, 0, rgb8, { E, E, E }, 3 },
        { "2 source channels", 8, 2, true, 3, true, 0, 0, 1, { 1, 2 }, { E, E, E }, 3 },
        { "5 target channels", 8, 3, true, 5, true, 0, 0, 1, rgb8, { E, E, E, E, E }, 5 },
        { "12 bits", 12, 3, true, 3, true, 0, 0, 1, rgb16, { E, E, E, E, E, E }, 6 },
    };
    for (const TRepackCase& c : cases) {
        SCOPED_TRACE(c.name);
        std::vector<uint8_t> source = c.source;
        std::vector<uint8_t> target(c.targetSize, E);
        TFileInfo from;
        from.Bits = c.bits;
        from.Channels = c.fromChannels;
        from.IsLsb = c.fromLsb;
        from.ScanLine = source.data();
        TFileInfo to;
        to.Bits = 99; // never consulted: the depth is the source's
        to.Channels = c.toChannels;
        to.IsLsb = c.toLsb;
        to.ScanLine = target.data();
        TTavmor::RepackLine(from, c.sourceX, to, c.targetX, c.count);
        EXPECT_EQ(target, c.expected);
    }
}

TEST(RepackLine, AssociatedAlphaBecomesStraightOnlyWhereAlphaIsKept)
{
    struct TAlphaCase {
        const char* name;
        uint8_t bits;
        bool fromLsb;
        uint8_t toChannels;
        bool toLsb;
        bool targetAssociated; ///< the target keeps associated alpha itself
        std::vector<uint8_t> source;
        std::vector<uint8_t> expected;
    };
    // Worked by hand: colour * max / alpha, halves up, at most max; 0 where alpha is 0.
    const std::vector<uint8_t> pixels8 = { 10, 20, 30, 255, /**/ 10, 20, 30, 0, /**/ 64, 0, 128,
        128, /**/ 200, 1, 0, 100 };
    // 16-bit, most significant byte first: (0x4000, 0, 0x8000, alpha 0x8000), then alpha 0
    // and alpha 0xFFFF.
    const std::vector<uint8_t> pixels16 = { 0x40, 0, 0, 0, 0x80, 0, 0x80, 0, /**/ 1, 2, 3, 4, 5, 6,
        0, 0, /**/ 0x12, 0x34, 0x56, 0x78, 0x9A, 0xBC, 0xFF, 0xFF };
    const TAlphaCase cases[] = {
        { "8-bit kept", 8, true, 4, true, false, pixels8,
            { 10, 20, 30, 255, /**/ 0, 0, 0, 0, /**/ 128, 0, 255, 128, /**/ 255, 3, 0, 100 } },
        { "8-bit dropped: colours as stored", 8, true, 3, true, false, pixels8,
            { 10, 20, 30, /**/ 10, 20, 30, /**/ 64, 0, 128, /**/ 200, 1, 0 } },
        { "8-bit into associated alpha: as stored", 8, true, 4, true, true, pixels8, pixels8 },
        { "16-bit kept, swapped", 16, false, 4, true, false, pixels16,
            { 0, 0x80, 0, 0, 0xFF, 0xFF, 0, 0x80, /**/ 0, 0, 0, 0, 0, 0, 0, 0, /**/ 0x34, 0x12,
                0x78, 0x56, 0xBC, 0x9A, 0xFF, 0xFF } },
        { "16-bit kept, same order", 16, false, 4, false, false, pixels16,
            { 0x80, 0, 0, 0, 0xFF, 0xFF, 0x80, 0, /**/ 0, 0, 0, 0, 0, 0, 0, 0, /**/ 0x12, 0x34,
                0x56, 0x78, 0x9A, 0xBC, 0xFF, 0xFF } },
    };
    for (const TAlphaCase& c : cases) {
        SCOPED_TRACE(c.name);
        std::vector<uint8_t> source = c.source;
        std::vector<uint8_t> target(c.expected.size(), E);
        TFileInfo from;
        from.Bits = c.bits;
        from.Channels = 4;
        from.IsLsb = c.fromLsb;
        from.AssociatedAlpha = true;
        from.ScanLine = source.data();
        TFileInfo to;
        to.Channels = c.toChannels;
        to.IsLsb = c.toLsb;
        to.AssociatedAlpha = c.targetAssociated;
        to.ScanLine = target.data();
        TTavmor::RepackLine(from, 0, to, 0, static_cast<uint32_t>(source.size() / (c.bits / 2)));
        EXPECT_EQ(target, c.expected);
        EXPECT_EQ(source, c.source);
    }
}

TEST(RepackLine, LongLinesMatchPixelByPixelConversion)
{
    // A line long enough for any vectorised path, 16-bit RGBA to swapped RGB.
    constexpr uint32_t kPixels = 1001;
    std::vector<uint8_t> source(kPixels * 8);
    for (size_t i = 0; i < source.size(); ++i) {
        source[i] = uint8_t(i * 7 + 3);
    }
    std::vector<uint8_t> target(kPixels * 6, E);
    TFileInfo from;
    from.Bits = 16;
    from.Channels = 4;
    from.IsLsb = false;
    from.ScanLine = source.data();
    TFileInfo to;
    to.Channels = 3;
    to.IsLsb = true;
    to.ScanLine = target.data();
    TTavmor::RepackLine(from, 0, to, 0, kPixels);
    for (uint32_t p = 0; p < kPixels; ++p) {
        for (uint32_t c = 0; c < 3; ++c) {
            ASSERT_EQ(target[p * 6 + c * 2], source[p * 8 + c * 2 + 1]) << "pixel " << p;
            ASSERT_EQ(target[p * 6 + c * 2 + 1], source[p * 8 + c * 2]) << "pixel " << p;
        }
    }
}

} // namespace
