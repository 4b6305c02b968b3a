// The pyramid layouts: which levels are written, the tiles' spans with and without overlap, the
// tile names (Deep Zoom's level/column_row, IIIF's canonical region/size) and the descriptors.
#include "jobs/PyramidLayout.h"

#include <string>
#include <vector>

#include <gtest/gtest.h>

namespace {

TPyramidLayoutSpec LayoutSetup(
    TPyramidLayoutKind kind, uint32_t width, uint32_t height, uint32_t tile, uint32_t overlap = 0)
{
    TPyramidLayoutSpec setup;
    setup.Kind = kind;
    setup.Width = width;
    setup.Height = height;
    setup.TileSize = tile;
    setup.Overlap = overlap;
    setup.Name = "p";
    return setup;
}

TEST(PyramidLayout, DeepZoomLevelsSpansAndNames)
{
    const TPyramidLayout layout(LayoutSetup(TPyramidLayoutKind::Dzi, 1000, 700, 254, 1));
    ASSERT_EQ(11u, layout.Levels().size()); // 1000 halved 10 times is 1
    EXPECT_EQ((std::vector<std::string> { "p_files", "p.dzi" }), layout.Entries());
    EXPECT_EQ("p_files/10/0_0.jpg", layout.TilePath(0, 0, 0));
    EXPECT_EQ("p_files/9/1_0.jpg", layout.TilePath(1, 1, 0));
    EXPECT_EQ("p_files/0/0_0.jpg", layout.TilePath(10, 0, 0));
    EXPECT_TRUE(layout.TileFolders(0, 0, 0).empty());
    const std::vector<std::string> folders = layout.Folders();
    ASSERT_EQ(12u, folders.size());
    EXPECT_EQ("p_files", folders[0]);
    EXPECT_EQ("p_files/10", folders[1]);
    EXPECT_EQ("p_files/0", folders[11]);

    struct Span {
        uint32_t level;
        uint32_t tile;
        uint32_t begin;
        uint32_t end;
    };
    // Overlap on the sides that have a neighbour only.
    const Span columns[] = { { 0, 0, 0, 255 }, { 0, 1, 253, 509 }, { 0, 3, 761, 1000 },
        { 1, 0, 0, 255 }, { 1, 1, 253, 500 }, { 2, 0, 0, 250 } };
    for (const Span& s : columns) {
        SCOPED_TRACE(std::to_string(s.level) + "/" + std::to_string(s.tile));
        const TTileGrid& grid = layout.Levels()[s.level].Columns;
        EXPECT_EQ(s.begin, grid.Begin(s.tile));
        EXPECT_EQ(s.end, grid.End(s.tile));
    }
    EXPECT_EQ(4u, layout.Levels()[0].Columns.Count());
    EXPECT_EQ(3u, layout.Levels()[0].Rows.Count());
    EXPECT_EQ(500u, layout.Levels()[1].Width);
    EXPECT_EQ(350u, layout.Levels()[1].Height);
    EXPECT_FALSE(layout.Levels()[0].Padded);

    EXPECT_EQ(std::make_pair(std::string("p.dzi"),
                  std::string("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
                              "<Image xmlns=\"http://schemas.microsoft.com/deepzoom/2008\""
                              " Format=\"jpg\" Overlap=\"1\" TileSize=\"254\">\n"
                              "  <Size Width=\"1000\" Height=\"700\"/>\n</Image>\n")),
        layout.Descriptor());

    const TPyramidLayout single(LayoutSetup(TPyramidLayoutKind::Dzi, 1, 1, 254, 1));
    ASSERT_EQ(1u, single.Levels().size());
    EXPECT_EQ("p_files/0/0_0.jpg", single.TilePath(0, 0, 0));
}

TEST(PyramidLayout, IiifCanonicalRegionsAndSizes)
{
    const TPyramidLayout layout(LayoutSetup(TPyramidLayoutKind::Iiif, 1000, 700, 256, 5));
    EXPECT_EQ(0u, layout.Levels()[0].Columns.Overlap); // IIIF tiles never overlap
    EXPECT_EQ((std::vector<uint64_t> { 1, 2, 4 }), layout.IiifScaleFactors());
    struct Case {
        uint32_t reduction;
        uint32_t column;
        uint32_t row;
        const char* path;
    };
    const Case cases[] = {
        { 0, 0, 0, "p/0,0,256,256/256,256/0/default.jpg" },
        { 0, 3, 2, "p/768,512,232,188/232,188/0/default.jpg" },
        // Half size: regions of 512 full-size pixels, 256 at this level; the last ones clipped.
        { 1, 1, 1, "p/512,512,488,188/244,94/0/default.jpg" },
        // The level that fits in one tile, and smaller ones: the whole image.
        { 2, 0, 0, "p/full/250,175/0/default.jpg" },
        { 9, 0, 0, "p/full/2,2/0/default.jpg" },
        { 10, 0, 0, "p/full/1,1/0/default.jpg" },
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.path);
        EXPECT_EQ(c.path, layout.TilePath(c.reduction, c.column, c.row));
    }
    const std::vector<std::string> folders = layout.TileFolders(0, 3, 2);
    EXPECT_EQ((std::vector<std::string> { "p/768,512,232,188", "p/768,512,232,188/232,188",
                  "p/768,512,232,188/232,188/0" }),
        folders);
    EXPECT_EQ((std::vector<std::string> { "p" }), layout.Entries());

    // A picture within one tile: region full, size max at full resolution.
    TPyramidLayoutSpec small = LayoutSetup(TPyramidLayoutKind::Iiif, 300, 200, 256);
    small.Extension = "png";
    small.IiifId = "https://example.org/iiif/\"p\"";
    const TPyramidLayout smallLayout(small);
    EXPECT_EQ("p/0,0,256,200/256,200/0/default.png", smallLayout.TilePath(0, 0, 0));
    EXPECT_EQ("p/full/150,100/0/default.png", smallLayout.TilePath(1, 0, 0));
    EXPECT_EQ(std::make_pair(std::string("p/info.json"),
                  std::string("{\n"
                              "  \"@context\": \"http://iiif.io/api/image/3/context.json\",\n"
                              "  \"id\": \"https://example.org/iiif/\\\"p\\\"\",\n"
                              "  \"type\": \"ImageService3\",\n"
                              "  \"protocol\": \"http://iiif.io/api/image\",\n"
                              "  \"profile\": \"level0\",\n"
                              "  \"width\": 300,\n  \"height\": 200,\n"
                              "  \"tiles\": [\n"
                              "    { \"width\": 256, \"height\": 256, \"scaleFactors\": [1, 2] }\n"
                              "  ],\n"
                              "  \"sizes\": [\n"
                              "    { \"width\": 1, \"height\": 1 },\n"
                              "    { \"width\": 2, \"height\": 1 },\n"
                              "    { \"width\": 3, \"height\": 2 },\n"
                              "    { \"width\": 5, \"height\": 4 },\n"
                              "    { \"width\": 10, \"height\": 7 },\n"
                              "    { \"width\": 19, \"height\": 13 },\n"
                              "    { \"width\": 38, \"height\": 25 },\n"
                              "    { \"width\": 75, \"height\": 50 },\n"
                              "    { \"width\": 150, \"height\": 100 }\n"
                              "  ],\n"
                              "  \"extraFormats\": [\"png\"],\n"
                              "  \"preferredFormats\": [\"png\"]\n}\n")),
        smallLayout.Descriptor());

    const TPyramidLayout whole(LayoutSetup(TPyramidLayoutKind::Iiif, 200, 100, 256));
    EXPECT_EQ("p/full/max/0/default.jpg", whole.TilePath(0, 0, 0));
    EXPECT_EQ((std::vector<uint64_t> { 1 }), whole.IiifScaleFactors());
}

TEST(PyramidLayout, TiffPagesDownToOneTile)
{
    struct Case {
        uint32_t width;
        uint32_t height;
        size_t pages;
    };
    const Case cases[] = { { 1000, 700, 3 }, { 256, 256, 1 }, { 257, 10, 2 }, { 10, 100000, 10 } };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.width) + "x" + std::to_string(c.height));
        TPyramidLayoutSpec setup = LayoutSetup(TPyramidLayoutKind::Tiff, c.width, c.height, 256);
        const TPyramidLayout layout(setup);
        ASSERT_EQ(c.pages, layout.Levels().size());
        EXPECT_LE(layout.Levels().back().Width, 256u);
        EXPECT_LE(layout.Levels().back().Height, 256u);
        EXPECT_TRUE(layout.Levels().back().Padded);
        EXPECT_TRUE(layout.Folders().empty());
        EXPECT_EQ((std::vector<std::string> { "p.tif" }), layout.Entries());
        setup.BigTiff = true;
        EXPECT_EQ((std::vector<std::string> { "p.big.tif" }), TPyramidLayout(setup).Entries());
    }
}

} // namespace
