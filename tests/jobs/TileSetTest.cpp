// Tests of the tile selection check: supported types, positions read from names, grid size.
#include "jobs/TileSet.h"

#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "jobs/JobTexts.h"

namespace {

TEST(IsSupportedExt, AcceptsTheFiveUpperCasedExtensions)
{
    const struct {
        const char* ext;
        bool expected;
    } cases[] = {
        { ".TIF", true },
        { ".TIFF", true },
        { ".KRO", true },
        { ".RAW", true },
        { ".RGB", true },
        { ".tif", false },
        { ".JPG", false },
        { "TIF", false },
        { ".TIF ", false },
        { ".TI", false },
        { "", false },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.ext);
        EXPECT_EQ(IsSupportedExt(c.ext), c.expected);
    }
    EXPECT_TRUE(HasSupportedExt("/in/a.Tif"));
    EXPECT_TRUE(HasSupportedExt("a_x1y1.big.tif"));
    EXPECT_FALSE(HasSupportedExt("/in/a.jpg"));
    EXPECT_FALSE(HasSupportedExt("/in.tif/a"));
    EXPECT_STREQ(JobText::InvalidFileType, "Then file type is invalid");
}

struct IndexCase {
    const char* name;
    std::string input;
    bool found;
    int32_t x;
    int32_t y;
};

TEST(ParseTileIndex, ReadsColumnAndRowAfterTheLastUnderscoreX)
{
    const IndexCase cases[] = {
        { "capitals", "tile_X3Y12.tif", true, 3, 12 },
        { "lower case", "pano_x2y5.kro", true, 2, 5 },
        { "bigtiff", "img_X10Y2.big.tif", true, 10, 2 },
        { "no _X", "tile3_2.tif", false, 0, 0 },
        { "split tile with size part", "p_1000X1000_x3y2.tif", true, 3, 2 },
        { "with folder", "/in/tiles/a_X2Y1.raw", true, 2, 1 },
        { "tile-like folder is ignored", "/in/a_X1Y1.d/tile.tif", false, 0, 0 },
        { "seven characters after _", "a_X1Y1.ti", true, 1, 1 },
        { "six characters after _", "a_X1Y1.t", false, 0, 0 },
        { "_ at the start", "_X1Y1.tif", true, 1, 1 },
        { "empty", "", false, 0, 0 },
        { "short: lone underscore", "_", false, 0, 0 },
        { "short: _X", "_X", false, 0, 0 },
        { "short: _X1Y1", "_X1Y1", false, 0, 0 },
        { "last character is never read", "a_X1Y2345", true, 1, 234 },
        { "no Y before the last character", "a_X1234567", true, 123456, 0 },
        { "Y is the last character", "ab_X12345Y", true, 12345, 0 },
        { "column not a number", "a_XabY2.tif", true, 0, 2 },
        { "row not a number", "p_X3Y2_more.tif", true, 3, 0 },
        { "column overflows", "a_X99999999999Y2.tif", true, 0, 2 },
    };
    for (const IndexCase& c : cases) {
        SCOPED_TRACE(c.name);
        int32_t x = -7;
        int32_t y = -7;
        const bool found = ParseTileIndex(c.input, x, y);
        EXPECT_EQ(found, c.found);
        if (c.found) {
            EXPECT_EQ(x, c.x);
            EXPECT_EQ(y, c.y);
        }
    }
}

struct SetCase {
    const char* name;
    std::vector<std::string> names;
    bool ok;
    int32_t columns;
    int32_t rows;
    std::string message;
};

TEST(CheckTileSet, GivesTheGridOrTheMessageToShow)
{
    const std::vector<std::string> grid3x2 = { "/in/a_X2Y1.tif", "/in/a_X1Y1.tif", "/in/a_X3Y2.tif",
        "/in/a_X1Y2.tif", "/in/a_X3Y1.tif", "/in/a_X2Y2.tif" };
    const std::vector<std::string> five(grid3x2.begin(), grid3x2.end() - 1);
    const SetCase cases[] = {
        { "3 x 2 set in any order", grid3x2, true, 3, 2, "6 files selected" },
        { "one missing", five, false, 0, 0, "The number of selected files must be : 6" },
        { "single tile", { "a_x1y1.raw" }, true, 1, 1, "1 files selected" },
        { "upper and lower case are one type", { "a_X1Y1.TIF", "a_X2Y1.tif" }, true, 2, 1,
            "2 files selected" },
        { "tif with kro", { "a_X1Y1.tif", "a_X2Y1.kro" }, false, 0, 0,
            "You can't select two different type of files" },
        { "type is checked before the count", { "a_X1Y1.kro", "b.tif", "c.tif" }, false, 0, 0,
            "You can't select two different type of files" },
        { "names without positions", { "a.tif", "b.tif" }, false, 0, 0,
            "Can't merge the selected files" },
        { "column 0 gives no grid", { "a_X0Y3.tif", "a_X0Y1.tif" }, false, 0, 0,
            "Can't merge the selected files" },
        { "negative positions give no grid", { "a_X-2Y3.tif", "a_X-1Y1.tif" }, false, 0, 0,
            "Can't merge the selected files" },
        { "a name without position still counts", { "a_X1Y1.tif", "a_X2Y1.tif", "b.tif" }, false, 0,
            0, "The number of selected files must be : 2" },
        { "repeated positions are not looked for", { "a_X1Y1.tif", "a_X1Y1.tif" }, false, 0, 0,
            "The number of selected files must be : 1" },
        { "product beyond 32 bits", { "a_X65536Y65536.tif" }, false, 0, 0,
            "The number of selected files must be : 4294967296" },
        { "empty selection", {}, false, 0, 0, "Can't merge the selected files" },
    };
    for (const SetCase& c : cases) {
        SCOPED_TRACE(c.name);
        const TTileSetCheck check = CheckTileSet(c.names);
        EXPECT_EQ(check.Ok, c.ok);
        EXPECT_EQ(check.Message, c.message);
        if (c.ok) {
            EXPECT_EQ(check.Columns, c.columns);
            EXPECT_EQ(check.Rows, c.rows);
        }
    }
}

} // namespace
