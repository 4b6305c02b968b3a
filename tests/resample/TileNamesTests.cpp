// Tests of the file-name grammar as the resize worker reads it.
#include <gtest/gtest.h>

#include "resample/TileNames.h"

TEST(TileNames, SplitFileName)
{
    struct Case {
        const char* name;
        const char* base;
        const char* extension;
    };
    const Case cases[] = {
        { "/in/photo_1000X500_x2y3.big.tif", "photo", "big.tif" },
        { "photo.tif", "photo", "tif" },
        { "photo.TIF", "photo", "TIF" },
        { "p_5000X5000_x1y1.big.tif", "p", "big.tif" },
        { "photo_2015.tif", "photo_2015", "tif" }, // no "X" after the "_"
        { "my_x1.tif", "my_x1", "tif" }, // no "Y"
        { "photo_10000x8000_x1y2.raw", "photo", "raw" },
        { "photo_1000X500.raw", "photo", "raw" },
        { "photo", "photo", "" },
        // Underscores in the folder are not part of the name.
        { "/data/scan_x1y2/photo.raw", "photo", "raw" },
        { "/data/run_10X20/photo.raw", "photo", "raw" },
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::string base, extension;
        TileNames::SplitFileName(c.name, base, extension);
        EXPECT_EQ(base, c.base);
        EXPECT_EQ(extension, c.extension);
    }
}

TEST(TileNames, RawSizeAndTileIndex)
{
    struct Case {
        const char* name;
        uint32_t width, height, column, row;
    };
    const Case cases[] = {
        { "photo_1000X500.raw", 1000, 500, 0, 0 },
        { "/t/photo_1000x500_x1y2.raw", 1000, 500, 1, 2 },
        { "photo_1000X1000_x3y2.raw", 1000, 1000, 3, 2 },
        { "photo.raw", 0, 0, 0, 0 },
        { "a_X12.raw", 0, 0, 0, 0 },
        { "p_x10y20.raw", 0, 0, 10, 20 },
        { "p_10X20.raw", 10, 20, 0, 0 },
        { "p_99999999999X20.raw", 0, 20, 0, 0 }, // does not fit: 0
        { "p_12aX5.raw", 0, 5, 0, 0 },
        { "/in_x4y5/p_8X6.raw", 8, 6, 0, 0 },
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        uint32_t w = 9, h = 9, col = 9, row = 9;
        TileNames::RawSizeFromName(c.name, w, h);
        TileNames::TileIndexFromName(c.name, col, row);
        EXPECT_EQ(w, c.width);
        EXPECT_EQ(h, c.height);
        EXPECT_EQ(col, c.column);
        EXPECT_EQ(row, c.row);
    }
}

TEST(TileNames, StrToIntSafe)
{
    struct Case {
        const char* text;
        int32_t value;
    };
    const Case cases[] = { { "0", 0 }, { "10000", 10000 }, { "+7", 7 }, { "-7", -7 }, { "", 0 },
        { "+", 0 }, { "+-5", 0 }, { "--5", 0 }, { "12a", 0 }, { " 1", 0 },
        { "2147483647", 2147483647 }, { "2147483648", 0 } };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        EXPECT_EQ(TileNames::StrToIntSafe(c.text), c.value);
    }
    EXPECT_EQ(TileNames::FolderOf("/a/b/c.raw"), "/a/b/");
    EXPECT_EQ(TileNames::FolderOf("c.raw"), "");
}
