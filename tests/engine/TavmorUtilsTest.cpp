// Tests of the RAW and tile file-name grammar, the number formats and the file helpers.
#include "engine/TavmorUtils.h"

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <limits>
#include <string>
#include <unistd.h>

#include <gtest/gtest.h>

namespace {

struct SplitCase {
    const char* name;
    std::string input;
    std::string base;
    std::string extension;
};

TEST(SplitFileName, TakesOffExtensionTilePartAndSizePart)
{
    const SplitCase cases[] = {
        { "plain", "photo.tif", "photo", "tif" },
        { "extension keeps its case", "photo.TIF", "photo", "TIF" },
        { "no extension", "photo", "photo", "" },
        { "empty", "", "", "" },
        { "only an extension", ".tif", "", "tif" },
        { "folder is dropped", "/in/photo_1000X500_x2y3.big.tif", "photo", "big.tif" },
        { "bigtiff tile", "p_5000X5000_x1y1.big.tif", "p", "big.tif" },
        { "BIG in capitals", "a.BIG.tif", "a", "big.tif" },
        { "raw tile, lower-case x", "photo_1000x500_x1y2.raw", "photo", "raw" },
        { "raw size only", "photo_1000X500.raw", "photo", "raw" },
        { "number without X is no size", "photo_2015.tif", "photo_2015", "tif" },
        { "x without y is no tile", "my_x1.tif", "my_x1", "tif" },
        { "y without digit is no tile", "my_x1y.tif", "my_x1y", "tif" },
        { "size needs a digit after X", "a_12X.raw", "a_12X", "raw" },
        { "X first is no size", "a_X12.raw", "a_X12", "raw" },
        { "only the last tile part goes", "t_x1y1_x2y2.tif", "t_x1y1", "tif" },
        { "only the last size part goes", "a_1X2_3X4.raw", "a_1X2", "raw" },
        { "tile part without size part", "tile_x3y12.tif", "tile", "tif" },
        { "underscore at the start", "_x1y1.tif", "", "tif" },
        { "short: lone underscore", "_", "_", "" },
        { "short: trailing underscore", "a_", "a_", "" },
        { "short: one character after", "a_x", "a_x", "" },
        { "short: two characters after", "a_x1", "a_x1", "" },
        { "dot in a folder is no extension", "/data/v1.2/photo", "photo", "" },
        { "tile-like folder is ignored", "/data/t_x1y2/photo.tif", "photo", "tif" },
        { "size-like folder is ignored", "/data/s_10X20/photo.raw", "photo", "raw" },
        { "Y beyond the scanned 100 characters", "p_x1" + std::string(100, 'a') + "y2.tif",
            "p_x1" + std::string(100, 'a') + "y2", "tif" },
        { "Y just inside the scanned 100 characters", "p_x1" + std::string(94, 'a') + "y2.tif", "p",
            "tif" },
    };
    for (const SplitCase& c : cases) {
        SCOPED_TRACE(c.name);
        const TSplitName split = SplitFileName(c.input);
        EXPECT_EQ(split.Base, c.base);
        EXPECT_EQ(split.Extension, c.extension);
        EXPECT_EQ(BaseNameOf(c.input), c.base);
    }
}

struct SizeCase {
    const char* name;
    std::string input;
    uint32_t width;
    uint32_t height;
};

TEST(RawSizeFromName, ReadsWidthAndHeightAfterTheBaseName)
{
    const SizeCase cases[] = {
        { "raw name", "photo_1000X500.raw", 1000, 500 },
        { "raw tile, lower-case x", "photo_1000x500_x1y2.raw", 1000, 500 },
        { "with folder", "/in/photo_1000X500.raw", 1000, 500 },
        { "bigtiff", "p_10X20.big.tif", 10, 20 },
        { "missing size", "photo.raw", 0, 0 },
        { "empty", "", 0, 0 },
        { "empty base", ".raw", 0, 0 },
        // A size part needs a digit after its X, so "_12X" stays in the base and nothing is read.
        { "missing height", "a_12X.raw", 0, 0 },
        { "missing width", "a_X12.raw", 0, 0 },
        { "zero width", "a_0X500.raw", 0, 500 },
        { "zero height", "a_1000X0.raw", 1000, 0 },
        { "largest width", "a_2147483647X7.raw", 2147483647, 7 },
        { "width overflows", "a_5000000000X10.raw", 0, 10 },
        { "height overflows", "a_10X2147483648.raw", 10, 0 },
        { "huge height", "a_10X99999999999999999999999999.raw", 10, 0 },
        { "wrong separator between", "photo_1000*500.raw", 0, 0 },
        { "wrong separator before", "photo-1000X500.raw", 0, 0 },
        { "height not a number", "photo_1000X500-x.raw", 1000, 0 },
        { "no end after the height", "photo_1000X500", 1000, 0 },
        { "size-like folder", "/d/s_10X20/photo.raw", 0, 0 },
    };
    for (const SizeCase& c : cases) {
        SCOPED_TRACE(c.name);
        uint32_t width = 99;
        uint32_t height = 99;
        RawSizeFromName(c.input, width, height);
        EXPECT_EQ(width, c.width);
        EXPECT_EQ(height, c.height);
    }
}

TEST(TileIndexFromName, ReadsColumnAndRowAfterTheLastUnderscore)
{
    const SizeCase cases[] = {
        { "split tile", "photo_1000X1000_x3y2.raw", 3, 2 },
        { "two digits", "p_x10y20.raw", 10, 20 },
        { "capitals", "p_X3Y2.RAW", 3, 2 },
        { "bigtiff", "p_x4y5.big.tif", 4, 5 },
        { "size part is no position", "p_10X20.raw", 0, 0 },
        { "no Y", "p_x3.raw", 0, 0 },
        { "no dot after the row", "p_x3y2", 3, 0 },
        { "no underscore", "x3y2.raw", 3, 2 },
        { "empty", "", 0, 0 },
        { "lone underscore", "_", 0, 0 },
        { "column overflows", "p_x99999999999y2.raw", 0, 2 },
        { "negative column", "p_x-1y2.raw", 0, 2 },
        { "tile-like folder", "/d/a_x1y1.d/tile.raw", 0, 0 },
    };
    for (const SizeCase& c : cases) {
        SCOPED_TRACE(c.name);
        uint32_t column = 99;
        uint32_t row = 99;
        TileIndexFromName(c.input, column, row);
        EXPECT_EQ(column, c.width);
        EXPECT_EQ(row, c.height);
    }
}

TEST(StrToIntSafe, ReadsDecimalIntegersInRangeOnly)
{
    const struct {
        const char* text;
        int32_t expected;
    } cases[] = {
        { "0", 0 },
        { "42", 42 },
        { "+42", 42 },
        { "-42", -42 },
        { "007", 7 },
        { "2147483647", 2147483647 },
        { "-2147483648", std::numeric_limits<int32_t>::min() },
        { "2147483648", 0 },
        { "-2147483649", 0 },
        { "99999999999999999999999", 0 },
        { "", 0 },
        { "-", 0 },
        { "+", 0 },
        { "12a", 0 },
        { " 1", 0 },
        { "1 ", 0 },
        { "0x10", 0 },
        { "1.5", 0 },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        EXPECT_EQ(StrToIntSafe(c.text), c.expected);
    }
}

TEST(SwapEndian32, ReversesTheFourBytes)
{
    EXPECT_EQ(SwapEndian32(0x12345678u), 0x78563412u);
    EXPECT_EQ(SwapEndian32(0x000000FFu), 0xFF000000u);
    EXPECT_EQ(SwapEndian32(SwapEndian32(0xA1B2C3D4u)), 0xA1B2C3D4u);
}

TEST(FormatThousands, GroupsDigitsByThree)
{
    const struct {
        int64_t value;
        const char* expected;
    } cases[] = {
        { 0, "0" },
        { 999, "999" },
        { 1000, "1.000" },
        { 1234567, "1.234.567" },
        { 999999999999999, "999.999.999.999.999" },
        { 1234567890123456, "1234.567.890.123.456" },
        { -1, "-1" },
        { -100, "-100" },
        { -1000, "-1.000" },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.value);
        EXPECT_EQ(FormatThousands(c.value), c.expected);
    }
}

TEST(FormatPixelCount, ScalesByThousandsWithTwoDecimals)
{
    const struct {
        int64_t value;
        char separator;
        const char* expected;
    } cases[] = {
        { 0, '.', "0.00 Pixels" },
        { 999, '.', "999.00 Pixels" },
        { 1000, '.', "1.00 Kilopixels" },
        { 999999, '.', "1000.00 Kilopixels" },
        { 12345678, '.', "12.35 Megapixels" },
        { 12345678, ',', "12,35 Megapixels" },
        { 2500000000, '.', "2.50 Gigapixels" },
        { std::numeric_limits<int64_t>::max(), '.', "9.22 Exapixels" },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.value);
        EXPECT_EQ(FormatPixelCount(c.value, c.separator), c.expected);
    }
}

TEST(PathHelpers, SplitFolderNameAndExtension)
{
    const struct {
        const char* path;
        const char* directory;
        const char* fileName;
        const char* upperExt;
    } cases[] = {
        { "/a/b.tif", "/a/", "b.tif", ".TIF" },
        { "b.Tiff", "", "b.Tiff", ".TIFF" },
        { "b", "", "b", "" },
        { "/a.d/b", "/a.d/", "b", "" },
        { "/a/", "/a/", "", "" },
        { "x.big.tif", "", "x.big.tif", ".TIF" },
        { "", "", "", "" },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.path);
        EXPECT_EQ(DirectoryOf(c.path), c.directory);
        EXPECT_EQ(FileNameOf(c.path), c.fileName);
        EXPECT_EQ(UpperExtensionOf(c.path), c.upperExt);
    }
    EXPECT_EQ(UpperCase("ab_x1Y2.tif"), "AB_X1Y2.TIF");
}

/// A fresh folder (ending in the separator) removed with everything in it at the end.
class FileHelpers : public ::testing::Test {
protected:
    void SetUp() override
    {
        std::string pattern = (std::filesystem::temp_directory_path() / "tavmor-utils-XXXXXX");
        ASSERT_NE(mkdtemp(pattern.data()), nullptr);
        Folder = pattern + kPathSeparator;
    }
    void TearDown() override
    {
        std::error_code ignored;
        std::filesystem::remove_all(Folder, ignored);
    }
    std::string Write(const std::string& name, const std::string& bytes)
    {
        const std::string path = Folder + name;
        std::ofstream(path, std::ios::binary) << bytes;
        return path;
    }
    std::string Folder;
};

TEST_F(FileHelpers, FileSizeOfReportsBytesOrMinusOne)
{
    EXPECT_EQ(FileSizeOf(Write("five.raw", "12345")), 5);
    EXPECT_EQ(FileSizeOf(Write("empty.raw", "")), 0);
    EXPECT_EQ(FileSizeOf(Folder + "missing.raw"), -1);
    EXPECT_EQ(FileSizeOf(""), -1);
    EXPECT_EQ(FileSizeOf(Folder), 0);
}

TEST_F(FileHelpers, ExistenceTellsFilesFromFolders)
{
    const std::string file = Write("a.tif", "x");
    EXPECT_TRUE(FileExists(file));
    EXPECT_FALSE(DirectoryExists(file));
    EXPECT_TRUE(DirectoryExists(Folder));
    EXPECT_FALSE(FileExists(Folder));
    EXPECT_FALSE(FileExists(Folder + "missing.tif"));
    EXPECT_FALSE(DirectoryExists(Folder + "missing/"));
    EXPECT_FALSE(FileExists(""));
}

TEST_F(FileHelpers, SameFileFollowsLinksButNotEqualContent)
{
    const std::string original = Write("a.tif", "same");
    const std::string copy = Write("b.tif", "same");
    const std::string symlink = Folder + "sym.tif";
    const std::string hardLink = Folder + "hard.tif";
    ASSERT_EQ(::symlink(original.c_str(), symlink.c_str()), 0);
    ASSERT_EQ(::link(original.c_str(), hardLink.c_str()), 0);

    EXPECT_TRUE(SameFile(original, original));
    EXPECT_TRUE(SameFile(original, symlink));
    EXPECT_TRUE(SameFile(hardLink, original));
    EXPECT_TRUE(SameFile(Folder + "." + kPathSeparator + "a.tif", original));
    EXPECT_FALSE(SameFile(original, copy));
    EXPECT_FALSE(SameFile(original, Folder + "missing.tif"));
    EXPECT_FALSE(SameFile(Folder + "missing.tif", Folder + "missing.tif"));
}

TEST_F(FileHelpers, DeleteFileAtRemovesOnce)
{
    const std::string file = Write("a.raw", "x");
    EXPECT_TRUE(DeleteFileAt(file));
    EXPECT_FALSE(FileExists(file));
    EXPECT_FALSE(DeleteFileAt(file));
    EXPECT_FALSE(DeleteFileAt(Folder));
}

TEST_F(FileHelpers, FreeSpaceOfIsZeroOnlyWhenUnknown)
{
    EXPECT_GT(FreeSpaceOf(Folder), 0);
    EXPECT_EQ(FreeSpaceOf(Folder + "missing/"), 0);
    EXPECT_EQ(FreeSpaceOf(""), 0);
}

} // namespace
