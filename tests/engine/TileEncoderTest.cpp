// The tile encoders: what each codec writes decodes back to the tile (exactly for the lossless
// ones), an encoder serves tile after tile with the same bytes as a fresh one, JPEG tiles whose
// tables are shared decode after them, and rows missing or in excess fail.
#include "engine/TileEncoder.h"

#include <cstdlib>
#include <optional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "support/TileDecoders.h"

namespace {

using namespace TestImages;

/// A smooth tile whose samples still encode their place: R follows x, G follows y.
std::vector<uint8_t> SmoothTile(uint32_t width, uint32_t height, uint8_t channels)
{
    std::vector<uint8_t> samples(size_t(width) * height * channels);
    for (uint32_t y = 0; y < height; ++y) {
        for (uint32_t x = 0; x < width; ++x) {
            uint8_t* p = samples.data() + (size_t(y) * width + x) * channels;
            p[0] = static_cast<uint8_t>(40 + 3 * x);
            p[1] = static_cast<uint8_t>(30 + 4 * y);
            p[2] = static_cast<uint8_t>(100 + x + y);
            if (channels == 4) {
                p[3] = static_cast<uint8_t>(255 - 5 * x);
            }
        }
    }
    return samples;
}

std::optional<TTile> Decode(TTileCodec codec, const std::vector<uint8_t>& bytes, uint32_t width,
    uint32_t height, uint8_t channels)
{
    switch (codec) {
    case TTileCodec::Jpeg:
        return DecodeJpeg(bytes);
    case TTileCodec::Png:
        return DecodePng(bytes);
    case TTileCodec::Webp:
        return DecodeWebp(bytes);
    case TTileCodec::Deflate:
        break;
    }
    return DecodeDeflateTile(bytes, width, height, channels);
}

TEST(TileEncoder, EveryCodecDecodesBackToTheTile)
{
    struct Case {
        const char* name;
        TTileCodec codec;
        uint8_t channels;
        int maxColourError; ///< 0: lossless
    };
    // Lossy codecs at quality 75 on this smooth tile: JPEG's 4:2:0 chroma and quantisation
    // stay within 10 levels, WebP's (whose YUV conversion is coarser) within 16; a lost row or
    // a channel swap moves samples by tens.
    const Case cases[] = {
        { "jpeg_rgb", TTileCodec::Jpeg, 3, 10 },
        { "png_rgb", TTileCodec::Png, 3, 0 },
        { "png_rgba", TTileCodec::Png, 4, 0 },
        { "webp_rgb", TTileCodec::Webp, 3, 16 },
        { "webp_rgba", TTileCodec::Webp, 4, 16 },
        { "deflate_rgb", TTileCodec::Deflate, 3, 0 },
        { "deflate_rgba", TTileCodec::Deflate, 4, 0 },
    };
    // Odd sides: neither a multiple of JPEG's 16-pixel blocks nor of anything else.
    const uint32_t width = 37;
    const uint32_t height = 23;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::vector<uint8_t> tile = SmoothTile(width, height, c.channels);
        const auto encoder = MakeTileEncoder({ c.codec, 75, true });
        std::vector<uint8_t> bytes;
        ASSERT_TRUE(EncodeTile(
            *encoder, tile.data(), width, height, c.channels, size_t(width) * c.channels, bytes));
        const std::optional<TTile> decoded = Decode(c.codec, bytes, width, height, c.channels);
        ASSERT_TRUE(decoded.has_value());
        ASSERT_EQ(width, decoded->Width);
        ASSERT_EQ(height, decoded->Height);
        ASSERT_EQ(c.channels, decoded->Channels);
        int worst = 0;
        for (size_t i = 0; i < tile.size(); ++i) {
            const int error = std::abs(int(tile[i]) - int(decoded->Samples[i]));
            // Alpha is kept losslessly by every codec that keeps it.
            const bool alpha = c.channels == 4 && i % 4 == 3;
            if (alpha) {
                ASSERT_EQ(tile[i], decoded->Samples[i]) << "sample " << i;
            } else if (error > worst) {
                worst = error;
            }
        }
        EXPECT_LE(worst, c.maxColourError);
    }
}

TEST(TileEncoder, ReusedEncoderWritesTheBytesOfAFreshOne)
{
    for (const TTileCodec codec :
        { TTileCodec::Jpeg, TTileCodec::Png, TTileCodec::Webp, TTileCodec::Deflate }) {
        SCOPED_TRACE(static_cast<int>(codec));
        const TTileCodecOptions options { codec, 60, false };
        const std::vector<uint8_t> first = SmoothTile(20, 30, 3);
        const std::vector<uint8_t> second = SmoothTile(16, 9, 3);
        std::vector<uint8_t> fresh;
        ASSERT_TRUE(EncodeTile(*MakeTileEncoder(options), second.data(), 16, 9, 3, 48, fresh));

        const auto reused = MakeTileEncoder(options);
        std::vector<uint8_t> bytes;
        ASSERT_TRUE(EncodeTile(*reused, first.data(), 20, 30, 3, 60, bytes));
        ASSERT_TRUE(EncodeTile(*reused, second.data(), 16, 9, 3, 48, bytes));
        EXPECT_EQ(fresh, bytes);
        // A tile left half-way is dropped by the next Begin.
        ASSERT_TRUE(reused->Begin(20, 30, 3));
        ASSERT_TRUE(reused->AddRow(first.data()));
        ASSERT_TRUE(EncodeTile(*reused, second.data(), 16, 9, 3, 48, bytes));
        EXPECT_EQ(fresh, bytes);
    }
}

/// True when bytes hold the JPEG marker 0xFF code (entropy-coded data never does: it stuffs a
/// zero after every 0xFF).
bool HasMarker(const std::vector<uint8_t>& bytes, uint8_t code)
{
    for (size_t i = 0; i + 1 < bytes.size(); ++i) {
        if (bytes[i] == 0xFF && bytes[i + 1] == code) {
            return true;
        }
    }
    return false;
}

TEST(TileEncoder, JpegTilesWithSharedTablesDecodeAfterTheTables)
{
    constexpr uint8_t kDqt = 0xDB;
    constexpr uint8_t kDht = 0xC4;
    const std::vector<uint8_t> tile = SmoothTile(37, 23, 3);
    std::vector<uint8_t> whole;
    std::vector<uint8_t> shared;
    std::vector<uint8_t> tables;
    ASSERT_TRUE(EncodeTile(
        *MakeTileEncoder({ TTileCodec::Jpeg, 75, false }), tile.data(), 37, 23, 3, 111, whole));
    ASSERT_TRUE(EncodeTile(*MakeTileEncoder({ TTileCodec::Jpeg, 75, false, true }), tile.data(), 37,
        23, 3, 111, shared));
    ASSERT_TRUE(JpegTables(75, tables));
    EXPECT_TRUE(HasMarker(whole, kDqt) && HasMarker(whole, kDht));
    EXPECT_FALSE(HasMarker(shared, kDqt) || HasMarker(shared, kDht));
    EXPECT_TRUE(HasMarker(tables, kDqt) && HasMarker(tables, kDht));
    // As a TIFF reader does: the tables (without their EOI), then the tile (without its SOI).
    ASSERT_GE(tables.size(), 4u);
    ASSERT_GE(shared.size(), 2u);
    std::vector<uint8_t> joined(tables.begin(), tables.end() - 2);
    joined.insert(joined.end(), shared.begin() + 2, shared.end());
    const auto fromWhole = DecodeJpeg(whole);
    const auto fromJoined = DecodeJpeg(joined);
    ASSERT_TRUE(fromWhole.has_value());
    ASSERT_TRUE(fromJoined.has_value());
    EXPECT_EQ(fromWhole->Samples, fromJoined->Samples);
}

TEST(TileEncoder, RefusalsAndMissingRows)
{
    const std::vector<uint8_t> row(64 * 4, 7);
    std::vector<uint8_t> bytes;
    for (const TTileCodec codec :
        { TTileCodec::Jpeg, TTileCodec::Png, TTileCodec::Webp, TTileCodec::Deflate }) {
        SCOPED_TRACE(static_cast<int>(codec));
        const auto encoder = MakeTileEncoder({ codec, 75, true });
        EXPECT_FALSE(encoder->Begin(0, 4, 3));
        EXPECT_FALSE(encoder->Begin(4, 4, 2));
        // Finish before the last row, and a row past the last, both fail.
        ASSERT_TRUE(encoder->Begin(8, 2, 3));
        ASSERT_TRUE(encoder->AddRow(row.data()));
        EXPECT_FALSE(encoder->Finish(bytes));
        ASSERT_TRUE(encoder->Begin(8, 1, 3));
        ASSERT_TRUE(encoder->AddRow(row.data()));
        EXPECT_FALSE(encoder->AddRow(row.data()));
    }
    // JPEG has no alpha: an RGBA tile must be flattened before it.
    EXPECT_FALSE(MakeTileEncoder({ TTileCodec::Jpeg, 75, true })->Begin(8, 8, 4));
}

} // namespace
