// The edges of what the engine accepts: one-pixel lines and columns, the side limit of
// 100000000 pixels on sparse files, grids of one column or row, tiles of another depth, a
// KRO shorter than its header says, and names with spaces, non-ASCII letters and dots.
#include <cstdint>
#include <fcntl.h>
#include <filesystem>
#include <string>
#include <unistd.h>
#include <vector>

#include <gtest/gtest.h>

#include "engine/TavmorManager.h"
#include "engine/TavmorUtils.h"
#include "support/EngineRig.h"
#include "support/TestImages.h"
#include "support/TileFixtures.h"

namespace {

using namespace TestImages;

std::string RawName(const std::string& base, uint32_t width, uint32_t height)
{
    return base + "_" + std::to_string(width) + "X" + std::to_string(height) + ".raw";
}

std::string ExtensionOf(FileType kind)
{
    return kind == FileType::TIF ? ".tif" : kind == FileType::KRO ? ".kro" : ".raw";
}

struct TShapeCase {
    const char* name;
    uint32_t width;
    uint32_t height;
    uint32_t tileWidth;
    uint32_t tileHeight;
};

TEST(Limits, OnePixelShapesSurviveCopySplitAndMerge)
{
    const TShapeCase cases[] = {
        { "one pixel", 1, 1, 1, 1 },
        { "one column", 1, 9, 1, 4 },
        { "one line", 9, 1, 4, 1 },
        { "grid of one column", 7, 5, 7, 2 },
        { "grid of one row", 7, 5, 3, 5 },
        { "tiles larger than the image", 3, 2, 50, 50 },
        { "tiles of one pixel", 3, 2, 1, 1 },
    };
    for (const TShapeCase& c : cases) {
        for (const FileType kind : { FileType::TIF, FileType::RAW, FileType::KRO }) {
            for (const uint8_t bits : { 8, 16 }) {
                SCOPED_TRACE(std::string(c.name) + ExtensionOf(kind) + " " + std::to_string(bits));
                const uint8_t channels = kind == FileType::KRO ? 4 : 3;
                const TPixels image = PatternImage(c.width, c.height, bits, channels);
                TTempDir in;
                const std::string input = kind == FileType::RAW
                    ? in.File(RawName("p", c.width, c.height))
                    : in.File(std::string("p") + ExtensionOf(kind));
                ASSERT_TRUE(TileFixtures::WriteImageFile(input, image));

                // A copy into the same kind.
                TRig copy;
                ASSERT_TRUE(TileFixtures::ProbeInto(copy.Engine, input));
                copy.Engine.OutInfo.ImageType = kind;
                TTempDir copied;
                copy.Engine.CopyRegion(0, 0, c.width, c.height, copied.Path(), "");
                ASSERT_FALSE(copy.Engine.Abort);
                ASSERT_EQ(copied.Names().size(), 1u);
                const auto back = ReadImage(copied.File(copied.Names().front()), bits);
                ASSERT_TRUE(back.has_value());
                EXPECT_TRUE(SamePixels(image, *back));

                // A split and a merge back.
                TRig split;
                ASSERT_TRUE(TileFixtures::ProbeInto(split.Engine, input));
                split.Engine.OutInfo.ImageType = kind;
                TTempDir tiles;
                std::vector<std::string> list;
                split.Engine.SplitImage(c.tileWidth, c.tileHeight, list, tiles.Path(), "");
                ASSERT_FALSE(split.Engine.Abort);
                const uint32_t countX = (c.width + c.tileWidth - 1) / c.tileWidth;
                const uint32_t countY = (c.height + c.tileHeight - 1) / c.tileHeight;
                ASSERT_EQ(list.size(), size_t { countX } * countY);
                TRig merge;
                merge.Engine.OutInfo.ImageType = kind;
                TTempDir merged;
                merge.Engine.MergeTiles(countX, countY, list, merged.Path(), "");
                ASSERT_FALSE(merge.Engine.Abort);
                ASSERT_EQ(merged.Names().size(), 1u);
                const auto joined = ReadImage(merged.File(merged.Names().front()), bits);
                ASSERT_TRUE(joined.has_value());
                EXPECT_TRUE(SamePixels(image, *joined));
            }
        }
    }
}

/// Makes a sparse file of the given size: no blocks written, so gigabytes cost nothing.
bool MakeSparse(const std::string& path, uint64_t size)
{
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (fd < 0) {
        return false;
    }
    const bool ok = ::ftruncate(fd, static_cast<off_t>(size)) == 0;
    return ::close(fd) == 0 && ok;
}

TEST(Limits, SidesOfOneHundredMillionPixelsPassAndOneMoreIsRefused)
{
    struct TSideCase {
        const char* name;
        uint32_t width;
        uint32_t height;
        bool accepted;
    };
    const TSideCase cases[] = {
        { "widest", 100000000, 1, true },
        { "highest", 1, 100000000, true },
        { "one pixel wider", 100000001, 1, false },
        { "one line higher", 1, 100000001, false },
    };
    for (const TSideCase& c : cases) {
        SCOPED_TRACE(c.name);
        TTempDir dir;
        const std::string path = dir.File(RawName("side", c.width, c.height));
        ASSERT_TRUE(MakeSparse(path, uint64_t { c.width } * c.height * 3));
        TRig rig;
        rig.Engine.InInfo.FileName = path;
        rig.Engine.CheckFile(false);
        EXPECT_EQ(rig.Engine.InInfo.ImageIsOk, c.accepted);
        if (c.accepted) {
            EXPECT_TRUE(rig.Dialogs.All.empty());
            EXPECT_EQ(rig.Engine.InInfo.Width, c.width);
            EXPECT_EQ(rig.Engine.InInfo.Height, c.height);
        } else {
            EXPECT_EQ(rig.Dialogs.Messages,
                std::vector<std::string> { "Image dimensions exceed internal limits" });
        }
    }
    // A KRO header may claim the same; its probe applies the limit too.
    for (const uint32_t width : { 100000001u, 4000000000u }) {
        SCOPED_TRACE(width);
        TTempDir dir;
        ASSERT_TRUE(WriteBytes(dir.File("big.kro"), KroHeader(width, 1, 8, 4)));
        TRig rig;
        rig.Engine.InInfo.FileName = dir.File("big.kro");
        rig.Engine.CheckFile(false);
        EXPECT_FALSE(rig.Engine.InInfo.ImageIsOk);
    }
}

TEST(Limits, CropAtTheFarEndOfAWideSparseRawReadsTheRightBytes)
{
    // 100000000 x 8 pixels of 8 bits: 2.4 GB, past every 32-bit offset, on a sparse file. The
    // last line ends with a marked pixel; a crop of the last four pixels of the last line
    // must find it, and must find zeros before it.
    constexpr uint32_t kWidth = 100000000;
    constexpr uint32_t kHeight = 8;
    TTempDir dir;
    const std::string path = dir.File(RawName("wide", kWidth, kHeight));
    const uint64_t size = uint64_t { kWidth } * kHeight * 3;
    ASSERT_TRUE(MakeSparse(path, size));
    {
        const int fd = ::open(path.c_str(), O_WRONLY);
        ASSERT_GE(fd, 0);
        const uint8_t mark[3] = { 11, 22, 33 };
        ASSERT_EQ(::pwrite(fd, mark, 3, static_cast<off_t>(size - 3)), 3);
        ASSERT_EQ(::close(fd), 0);
    }
    TRig rig;
    ASSERT_TRUE(TileFixtures::ProbeInto(rig.Engine, path));
    rig.Engine.OutInfo.ImageType = FileType::RAW;
    TTempDir out;
    rig.Engine.CopyRegion(kWidth - 4, kHeight - 1, 4, 1, out.Path(), "");
    ASSERT_FALSE(rig.Engine.Abort);
    const std::vector<uint8_t> expected = { 0, 0, 0, 0, 0, 0, 0, 0, 0, 11, 22, 33 };
    EXPECT_EQ(ReadBytes(out.File(RawName("wide", 4, 1))), expected);
}

TEST(Limits, AKroShorterThanItsHeaderSaysFailsEveryOperationCleanly)
{
    // 4 x 6 pixels claimed, four and a half lines present: lines of 16 bytes.
    TTempDir in;
    ASSERT_TRUE(WriteKro(in.File("p.kro"), PatternImage(4, 6, 8, 4)));
    std::filesystem::resize_file(in.File("p.kro"), 20 + 4 * 16 + 8);
    const std::vector<uint8_t> original = ReadBytes(in.File("p.kro"));

    TRig copy;
    ASSERT_TRUE(TileFixtures::ProbeInto(copy.Engine, in.File("p.kro")));
    copy.Engine.OutInfo.ImageType = FileType::TIF;
    TTempDir copied;
    copy.Engine.CopyRegion(0, 0, 4, 6, copied.Path(), "");
    EXPECT_TRUE(copy.Engine.Abort);
    EXPECT_EQ(copy.Hooks.Errors, std::vector<std::string> { "Read file error" });
    EXPECT_TRUE(copied.Names().empty());

    // Bands of two lines: the first two are whole, the third is not; no tile stays.
    TRig split;
    ASSERT_TRUE(TileFixtures::ProbeInto(split.Engine, in.File("p.kro")));
    split.Engine.OutInfo.ImageType = FileType::RAW;
    TTempDir tiles;
    std::vector<std::string> list;
    split.Engine.SplitImage(4, 2, list, tiles.Path(), "");
    EXPECT_TRUE(split.Engine.Abort);
    EXPECT_EQ(split.Hooks.Errors, std::vector<std::string> { "Input file read error" });
    EXPECT_TRUE(tiles.Names().empty());
    EXPECT_TRUE(list.empty());

    // As a tile of a merge.
    TTempDir grid;
    ASSERT_TRUE(WriteKro(grid.File("q_4X6_x1y1.kro"), PatternImage(4, 6, 8, 4)));
    ASSERT_TRUE(WriteBytes(grid.File("q_4X6_x2y1.kro"), original));
    TRig merge;
    merge.Engine.OutInfo.ImageType = FileType::KRO;
    TTempDir merged;
    merge.Engine.MergeTiles(
        2, 1, { grid.File("q_4X6_x1y1.kro"), grid.File("q_4X6_x2y1.kro") }, merged.Path(), "");
    EXPECT_TRUE(merge.Engine.Abort);
    EXPECT_EQ(merge.Hooks.Errors, std::vector<std::string> { "Tile X=2 Y=1 read error" });
    EXPECT_TRUE(merged.Names().empty());

    EXPECT_EQ(ReadBytes(in.File("p.kro")), original);
}

TEST(Limits, SixteenBitTilesAmongEightBitOnesAreRefused)
{
    struct TDepthCase {
        const char* name;
        FileType kind;
        const char* spoiltTile; ///< rewritten with 16-bit samples
        const char* error;
    };
    const TDepthCase cases[] = {
        { "tif, a middle tile", FileType::TIF, "p_2X2_x2y1.tif", "Tile X=2 Y=1 is not valid" },
        { "tif, the first tile", FileType::TIF, "p_2X2_x1y1.tif", "Tile X=1 Y=1 is not valid" },
        // A RAW tile's depth comes from its length: twice the bytes read as 16 bits. The last
        // tile gives the depth of the grid, so the first tile is the one that differs.
        { "raw, the last tile", FileType::RAW, "p_2X2_x2y2.raw", "Tile X=1 Y=1 is not valid" },
    };
    for (const TDepthCase& c : cases) {
        SCOPED_TRACE(c.name);
        TTempDir in;
        ASSERT_TRUE(TileFixtures::WriteImageFile(in.File("p.tif"), PatternImage(4, 4, 8, 3)));
        TRig split;
        ASSERT_TRUE(TileFixtures::ProbeInto(split.Engine, in.File("p.tif")));
        split.Engine.OutInfo.ImageType = c.kind;
        TTempDir tiles;
        std::vector<std::string> list;
        split.Engine.SplitImage(2, 2, list, tiles.Path(), "");
        ASSERT_FALSE(split.Engine.Abort);
        ASSERT_EQ(list.size(), 4u);
        const std::string spoilt = tiles.File(c.spoiltTile);
        ASSERT_TRUE(std::filesystem::exists(spoilt));
        ASSERT_TRUE(TileFixtures::WriteImageFile(spoilt, PatternImage(2, 2, 16, 3)));
        TRig merge;
        merge.Engine.OutInfo.ImageType = FileType::TIF;
        TTempDir merged;
        merge.Engine.MergeTiles(2, 2, list, merged.Path(), "");
        EXPECT_TRUE(merge.Engine.Abort);
        EXPECT_EQ(merge.Hooks.Errors, std::vector<std::string> { c.error });
        EXPECT_TRUE(merged.Names().empty());
    }
}

TEST(Limits, NamesWithSpacesNonAsciiLettersAndDots)
{
    struct TNameCase {
        const char* input;
        FileType out;
        const char* copyName; ///< the copy's output name
        const char* firstTile; ///< the first tile of a split into 2 x 2 tiles
        const char* mergedName;
    };
    const TNameCase cases[] = {
        { "my pano.v2.tif", FileType::TIF, "my pano.v2.tif", "my pano.v2_2X2_x1y1.tif",
            "my pano.v2.tif" },
        { "Ärger über Öl.kro", FileType::RAW, "Ärger über Öl_3X4.raw", "Ärger über Öl_2X2_x1y1.raw",
            "Ärger über Öl_3X4.raw" },
        { "a.b c.d_3X4.raw", FileType::KRO, "a.b c.d.kro", "a.b c.d_2X2_x1y1.kro", "a.b c.d.kro" },
        { "日本 の.写真.tif", FileType::RAW, "日本 の.写真_3X4.raw", "日本 の.写真_2X2_x1y1.raw",
            "日本 の.写真_3X4.raw" },
    };
    for (const TNameCase& c : cases) {
        SCOPED_TRACE(c.input);
        const bool kro = UpperExtensionOf(c.input) == ".KRO";
        const TPixels image = PatternImage(3, 4, 8, kro ? 4 : 3);
        TTempDir in;
        ASSERT_TRUE(TileFixtures::WriteImageFile(in.File(c.input), image));

        TRig copy;
        ASSERT_TRUE(TileFixtures::ProbeInto(copy.Engine, in.File(c.input)));
        copy.Engine.OutInfo.ImageType = c.out;
        TTempDir copied;
        copy.Engine.CopyRegion(0, 0, 3, 4, copied.Path(), "");
        ASSERT_FALSE(copy.Engine.Abort);
        EXPECT_EQ(copied.Names(), std::vector<std::string> { c.copyName });

        TRig split;
        ASSERT_TRUE(TileFixtures::ProbeInto(split.Engine, in.File(c.input)));
        split.Engine.OutInfo.ImageType = c.out;
        TTempDir tiles;
        std::vector<std::string> list;
        split.Engine.SplitImage(2, 2, list, tiles.Path(), "");
        ASSERT_FALSE(split.Engine.Abort);
        ASSERT_EQ(list.size(), 4u);
        EXPECT_EQ(FileNameOf(list.front()), c.firstTile);

        TRig merge;
        merge.Engine.OutInfo.ImageType = c.out;
        TTempDir merged;
        merge.Engine.MergeTiles(2, 2, list, merged.Path(), "");
        ASSERT_FALSE(merge.Engine.Abort);
        EXPECT_EQ(merged.Names(), std::vector<std::string> { c.mergedName });
        const auto joined = ReadImage(merged.File(c.mergedName), 8);
        ASSERT_TRUE(joined.has_value());
        EXPECT_TRUE(SamePixels(WithChannels(image, c.out == FileType::KRO ? 4 : 3), *joined));
    }
}

} // namespace
