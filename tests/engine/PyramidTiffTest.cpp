// The pyramidal TIFF writer: pages read back by libtiff page by page (tags, sizes and pixels),
// for Deflate and JPEG tiles (with their own tables or the page's), classic and BigTIFF, and a
// pyramid lacking a tile fails.
#include "engine/PyramidTiff.h"

#include <cstdlib>
#include <string>
#include <vector>

#include <tiffio.h>

#include <gtest/gtest.h>

#include "engine/TileEncoder.h"
#include "support/TestImages.h"

namespace {

using namespace TestImages;

constexpr uint32_t kTile = 16;

/// Sample c of pixel (x, y) of page p: smooth, and different on every page.
uint8_t PageSample(uint32_t p, uint32_t x, uint32_t y, uint32_t c)
{
    switch (c) {
    case 0:
        return static_cast<uint8_t>(20 + 4 * x + 30 * p);
    case 1:
        return static_cast<uint8_t>(20 + 4 * y);
    case 2:
        return static_cast<uint8_t>(200 - 2 * x - 2 * y);
    default:
        return static_cast<uint8_t>(90 + x + p);
    }
}

/// The tile (column, row) of page p, padded past the page's edge with its last pixels.
std::vector<uint8_t> PageTile(
    const TPyramidTiffSpec& setup, uint32_t p, uint32_t column, uint32_t row)
{
    const auto& page = setup.Pages[p];
    std::vector<uint8_t> tile(size_t(kTile) * kTile * setup.Channels);
    for (uint32_t y = 0; y < kTile; ++y) {
        for (uint32_t x = 0; x < kTile; ++x) {
            const uint32_t px = std::min(column * kTile + x, page.Width - 1);
            const uint32_t py = std::min(row * kTile + y, page.Height - 1);
            for (uint32_t c = 0; c < setup.Channels; ++c) {
                tile[(size_t(y) * kTile + x) * setup.Channels + c] = PageSample(p, px, py, c);
            }
        }
    }
    return tile;
}

uint32_t Across(uint32_t side)
{
    return (side + kTile - 1) / kTile;
}

/// Writes every tile of every page, the later pages' tiles in reverse order.
bool WritePyramid(const std::string& path, const TPyramidTiffSpec& setup, bool skipOne = false)
{
    TPyramidTiffWriter writer;
    if (!writer.Open(path, setup)) {
        return false;
    }
    const auto encoder = MakeTileEncoder({ setup.Codec, 90, false, !setup.JpegTables.empty() });
    for (uint32_t p = 0; p < setup.Pages.size(); ++p) {
        const uint32_t columns = Across(setup.Pages[p].Width);
        const uint32_t rows = Across(setup.Pages[p].Height);
        for (uint32_t i = 0; i < columns * rows; ++i) {
            const uint32_t index = p == 0 ? i : columns * rows - 1 - i;
            if (skipOne && p == 1 && i == 0) {
                continue;
            }
            const std::vector<uint8_t> tile = PageTile(setup, p, index % columns, index / columns);
            std::vector<uint8_t> bytes;
            if (!EncodeTile(*encoder, tile.data(), kTile, kTile, setup.Channels,
                    size_t(kTile) * setup.Channels, bytes)
                || !writer.WriteTile(p, index % columns, index / columns, bytes)) {
                return false;
            }
        }
    }
    return writer.Close();
}

TEST(PyramidTiff, PagesReadBackWithLibtiff)
{
    struct Case {
        const char* name;
        TTileCodec codec;
        uint8_t channels;
        bool bigTiff;
        int tolerance; ///< 0: exact
        bool sharedTables = false; ///< JPEG: the tables once in JPEGTables, not in each tile
    };
    // JPEG at quality 90 on these smooth pages, with 4:2:0 chroma, stays within 10 levels; a
    // misplaced tile or a wrong page is off by tens.
    const Case cases[] = {
        { "deflate_rgb", TTileCodec::Deflate, 3, false, 0 },
        { "deflate_rgba_bigtiff", TTileCodec::Deflate, 4, true, 0 },
        { "jpeg", TTileCodec::Jpeg, 3, false, 10 },
        { "jpeg_bigtiff", TTileCodec::Jpeg, 3, true, 10 },
        { "jpeg_shared_tables", TTileCodec::Jpeg, 3, false, 10, true },
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TTempDir dir;
        TPyramidTiffSpec setup;
        setup.Pages = { { 40, 37 }, { 20, 19 }, { 10, 10 } };
        setup.TileSize = kTile;
        setup.Channels = c.channels;
        setup.Codec = c.codec;
        setup.BigTiff = c.bigTiff;
        if (c.sharedTables) {
            ASSERT_TRUE(JpegTables(90, setup.JpegTables));
        }
        const std::string path = dir.File("p.tif");
        ASSERT_TRUE(WritePyramid(path, setup));
        // The spool leaves nothing behind.
        EXPECT_EQ(std::vector<std::string> { "p.tif" }, dir.Names());
        const std::vector<uint8_t> head = ReadBytes(path);
        ASSERT_GE(head.size(), 4u);
        EXPECT_EQ(c.bigTiff ? 43 : 42, head[2]);

        TIFF* tif = TIFFOpen(path.c_str(), "r");
        ASSERT_NE(nullptr, tif);
        EXPECT_EQ(3, TIFFNumberOfDirectories(tif));
        for (uint32_t p = 0; p < setup.Pages.size(); ++p) {
            SCOPED_TRACE(p);
            ASSERT_EQ(1, TIFFSetDirectory(tif, static_cast<tdir_t>(p)));
            uint32_t width = 0;
            uint32_t height = 0;
            uint32_t subfile = 99;
            uint32_t tileWidth = 0;
            uint16_t samples = 0;
            TIFFGetField(tif, TIFFTAG_IMAGEWIDTH, &width);
            TIFFGetField(tif, TIFFTAG_IMAGELENGTH, &height);
            TIFFGetField(tif, TIFFTAG_SUBFILETYPE, &subfile);
            TIFFGetField(tif, TIFFTAG_TILEWIDTH, &tileWidth);
            TIFFGetField(tif, TIFFTAG_SAMPLESPERPIXEL, &samples);
            EXPECT_EQ(setup.Pages[p].Width, width);
            EXPECT_EQ(setup.Pages[p].Height, height);
            EXPECT_EQ(p == 0 ? 0u : uint32_t(FILETYPE_REDUCEDIMAGE), subfile);
            EXPECT_EQ(kTile, tileWidth);
            EXPECT_EQ(c.channels, samples);
            if (c.codec == TTileCodec::Jpeg) {
                uint32_t tablesSize = 0;
                void* tables = nullptr;
                EXPECT_EQ(c.sharedTables ? 1 : 0,
                    TIFFGetField(tif, TIFFTAG_JPEGTABLES, &tablesSize, &tables));
                EXPECT_EQ(c.sharedTables ? setup.JpegTables.size() : 0u, size_t(tablesSize));
            }
            if (c.codec == TTileCodec::Jpeg) {
                TIFFSetField(tif, TIFFTAG_JPEGCOLORMODE, JPEGCOLORMODE_RGB);
            }
            std::vector<uint8_t> tile(size_t(TIFFTileSize(tif)));
            int worst = 0;
            for (uint32_t ty = 0; ty < height; ty += kTile) {
                for (uint32_t tx = 0; tx < width; tx += kTile) {
                    ASSERT_GT(TIFFReadTile(tif, tile.data(), tx, ty, 0, 0), 0);
                    for (uint32_t y = ty; y < std::min(height, ty + kTile); ++y) {
                        for (uint32_t x = tx; x < std::min(width, tx + kTile); ++x) {
                            for (uint32_t s = 0; s < c.channels; ++s) {
                                const size_t at =
                                    ((size_t(y - ty) * kTile) + (x - tx)) * c.channels + s;
                                worst = std::max(
                                    worst, std::abs(int(tile[at]) - PageSample(p, x, y, s)));
                            }
                        }
                    }
                }
            }
            EXPECT_LE(worst, c.tolerance);
        }
        TIFFClose(tif);
    }
}

TEST(PyramidTiff, MissingTileOrFolderFails)
{
    TTempDir dir;
    TPyramidTiffSpec setup;
    setup.Pages = { { 40, 37 }, { 20, 19 } };
    setup.TileSize = kTile;
    setup.Codec = TTileCodec::Deflate;
    EXPECT_FALSE(WritePyramid(dir.File("p.tif"), setup, true));
    EXPECT_FALSE(WritePyramid(dir.File("no/such/folder/p.tif"), setup));
    setup.TileSize = 20; // not a multiple of 16
    TPyramidTiffWriter writer;
    EXPECT_FALSE(writer.Open(dir.File("q.tif"), setup));
}

} // namespace
