// Tests of the tile lookup by name and of joining a grid of tiles into one image.
#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <fcntl.h>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "engine/TavmorManager.h"
#include "engine/TavmorUtils.h"
#include "support/EngineRecorder.h"
#include "support/FaultSeam.h"
#include "support/RecordingDialogs.h"
#include "support/TestImages.h"
#include "support/TileFixtures.h"

namespace {

using TestImages::PatternImage;
using TestImages::ReadBytes;
using TestImages::ReadImage;
using TestImages::SamePixels;
using TestImages::TPixels;
using TestImages::TTempDir;
using TestImages::WithChannels;

struct LookupCase {
    const char* name;
    std::vector<std::string> files;
    uint32_t column;
    uint32_t row;
    std::string expected;
};

TEST(FindTileFile, FindsTheFirstNameCarryingTheKey)
{
    const LookupCase cases[] = {
        { "split's lower-case names", { "/t/p_10X10_x1y1.tif", "/t/p_10X10_x2y1.tif" }, 2, 1,
            "/t/p_10X10_x2y1.tif" },
        { "order of the list does not matter",
            { "/t/p_5X10_x3y1.tif", "/t/p_10X10_x1y1.tif", "/t/p_10X10_x2y1.tif" }, 1, 1,
            "/t/p_10X10_x1y1.tif" },
        { "first match wins", { "/a/p_x1y1.tif", "/b/p_x1y1.tif" }, 1, 1, "/a/p_x1y1.tif" },
        { "upper-case names", { "/t/P_X1Y2.TIF" }, 1, 2, "/t/P_X1Y2.TIF" },
        { "missing tile", { "/t/p_x1y1.tif", "/t/p_x2y1.tif" }, 1, 2, "" },
        { "empty list", {}, 1, 1, "" },
        { "column 1 is not column 11", { "/t/p_x11y1.tif" }, 1, 1, "" },
        { "row 1 is not row 12", { "/t/p_x1y12.tif" }, 1, 1, "" },
        { "leading zero is another number", { "/t/p_x01y1.tif" }, 1, 1, "" },
        { "two-digit column and row", { "/t/p_x1y1.tif", "/t/p_x12y34.tif" }, 12, 34,
            "/t/p_x12y34.tif" },
        { "extension of the first file decides", { "/t/p_x1y1.tif", "/t/p_x2y1.kro" }, 2, 1, "" },
        { "extension compared without case", { "/t/p_x1y1.TIF", "/t/p_x2y1.tif" }, 2, 1,
            "/t/p_x2y1.tif" },
        { "bigtiff keys end in BIG.TIF", { "/t/p_9X9_x1y1.big.tif", "/t/p_9X9_x2y1.big.tif" }, 2, 1,
            "/t/p_9X9_x2y1.big.tif" },
        { "plain tif is no bigtiff tile", { "/t/p_x1y1.big.tif", "/t/p_x2y1.tif" }, 2, 1, "" },
        { "key inside a folder name counts", { "/t/q_x1y1.tif/p.tif" }, 1, 1,
            "/t/q_x1y1.tif/p.tif" },
        { "size part is no tile", { "/t/p_10X20.raw" }, 10, 20, "" },
    };
    for (const LookupCase& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(FindTileFile(c.files, c.column, c.row), c.expected);
    }
}

TEST(TTileFinder, AgreesWithFindTileFileOnEveryPosition)
{
    // Names with several key-like parts, near misses and duplicates: the indexed lookup must
    // give the name the plain search gives, for every position up to past the grid.
    const std::vector<std::vector<std::string>> lists = {
        { "/t/p_10X10_x1y1.tif", "/t/p_10X10_x2y1.tif", "/t/p_5X10_x3y1.tif", "/t/p_10X3_x1y2.tif",
            "/t/p_10X3_x2y2.tif", "/t/p_5X3_x3y2.tif" },
        { "/a_x1y1.kro/p_x2y1.kro", "/t/p_x2y1.kro", "/t/P_X1Y1.KRO", "/t/p_x1y1.kro.tif",
            "/t/p_x3y_1.kro", "/t/p_xy1.kro", "/t/p_x3y1.kr", "/t/p__x3y2.kro", "/t/p_x03y1.kro",
            "/t/p_x1y1_x3y3.kro" },
        { "/t/p_x1y1.big.tif", "/t/p_x2y1.tif", "/t/p_x2y1.BIG.TIF", "/t/p_x1y2.big.tiff" },
        { "/t/noextension_x1y1", "/t/p_x2y1.", "/t/p_x1y2" },
    };
    for (const auto& files : lists) {
        SCOPED_TRACE(files.front());
        const TTileFinder finder(files);
        for (uint32_t column = 0; column <= 4; ++column) {
            for (uint32_t row = 0; row <= 4; ++row) {
                SCOPED_TRACE(std::to_string(column) + "," + std::to_string(row));
                EXPECT_EQ(finder.Find(column, row), FindTileFile(files, column, row));
            }
        }
    }
}

uint8_t ChannelsOf(FileType kind)
{
    return kind == FileType::KRO ? 4 : 3;
}

/// Writes image as folder/name and splits it there into tiles of kind; the tiles' names.
std::vector<std::string> SplitInto(const TTempDir& folder, const std::string& name,
    const TPixels& image, uint32_t tileWidth, uint32_t tileHeight, FileType kind, bool lzw = false)
{
    TTavmor splitter;
    std::vector<std::string> list;
    EXPECT_TRUE(TileFixtures::WriteImageFile(folder.File(name), image));
    EXPECT_TRUE(TileFixtures::ProbeInto(splitter, folder.File(name)));
    splitter.OutInfo.ImageType = kind;
    splitter.Lzw = lzw;
    splitter.SplitImage(tileWidth, tileHeight, list, folder.Path(), "");
    EXPECT_FALSE(splitter.Abort);
    return list;
}

class TileMergeTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        Recorder.Attach(Engine);
        Engine.Dialogs = &Dialogs;
    }

    void Merge(uint32_t countX, uint32_t countY, const std::vector<std::string>& files,
        FileType kind, const std::string& folder)
    {
        Engine.OutInfo.ImageType = kind;
        Engine.Abort = false;
        Engine.MergeTiles(countX, countY, files, folder, "");
    }
    void Merge(uint32_t countX, uint32_t countY, const std::vector<std::string>& files,
        FileType kind = FileType::KRO)
    {
        Merge(countX, countY, files, kind, Out.Path());
    }

    TTempDir Tiles;
    TTempDir Out;
    TTavmor Engine;
    TEngineRecorder Recorder;
    TRecordingDialogs Dialogs;
};

struct RoundTripCase {
    const char* name;
    std::string input;
    uint8_t bits;
    uint8_t channels;
    FileType tileKind;
    bool lzw; ///< LZW for TIFF tiles and output
    FileType mergeKind;
    uint32_t tileWidth;
    uint32_t tileHeight;
    bool reversed; ///< the list handed to the merge in reverse order
    std::string output;
};

TEST_F(TileMergeTest, SplitThenMergeGivesBackTheImage)
{
    // 11 x 7 in tiles of 4 x 3: a 3 x 3 grid whose last column and row are narrower.
    const RoundTripCase cases[] = {
        { "tif tiles to tif", "img.tif", 8, 3, FileType::TIF, false, FileType::TIF, 4, 3, false,
            "img.tif" },
        { "16-bit rgba, kro tiles to lzw tif", "img.tif", 16, 4, FileType::KRO, true, FileType::TIF,
            4, 3, true, "img.tif" },
        { "kro through kro tiles", "img.kro", 8, 4, FileType::KRO, false, FileType::KRO, 4, 3, true,
            "img.kro" },
        { "16-bit kro through raw tiles", "img.kro", 16, 4, FileType::RAW, false, FileType::KRO, 4,
            3, false, "img.kro" },
        { "raw through lzw tif tiles", "img_11X7.raw", 8, 3, FileType::TIF, true, FileType::RAW, 4,
            3, false, "img_11X7.raw" },
        { "16-bit raw through raw tiles", "img_11X7.raw", 16, 3, FileType::RAW, false,
            FileType::RAW, 4, 3, true, "img_11X7.raw" },
        { "16-bit tif through raw tiles to raw", "img.tif", 16, 3, FileType::RAW, false,
            FileType::RAW, 4, 3, false, "img_11X7.raw" },
        { "one tile", "img.tif", 16, 3, FileType::KRO, false, FileType::TIF, 20, 20, false,
            "img.tif" },
        { "one column of one-line tiles", "img.kro", 8, 4, FileType::TIF, false, FileType::KRO, 11,
            1, true, "img.kro" },
    };
    for (const RoundTripCase& c : cases) {
        SCOPED_TRACE(c.name);
        TTempDir tiles;
        TTempDir out;
        TTempDir direct;
        const TPixels image = PatternImage(11, 7, c.bits, c.channels);
        std::vector<std::string> files =
            SplitInto(tiles, c.input, image, c.tileWidth, c.tileHeight, c.tileKind, c.lzw);
        if (c.reversed) {
            std::reverse(files.begin(), files.end());
        }
        const uint32_t countX = (11 + c.tileWidth - 1) / c.tileWidth;
        const uint32_t countY = (7 + c.tileHeight - 1) / c.tileHeight;
        ASSERT_EQ(files.size(), size_t { countX } * countY);
        TTavmor engine;
        TEngineRecorder recorder;
        recorder.Attach(engine);
        engine.OutInfo.ImageType = c.mergeKind;
        engine.Lzw = c.lzw;

        engine.MergeTiles(countX, countY, files, out.Path(), "cap");

        EXPECT_FALSE(engine.Abort);
        EXPECT_TRUE(recorder.Errors.empty());
        EXPECT_EQ(recorder.ShowCount, 1);
        EXPECT_EQ(recorder.ShowMax, 7);
        EXPECT_EQ(recorder.ShowCaption, "cap");
        EXPECT_EQ(recorder.HideCount, 1);
        EXPECT_EQ(out.Names(), (std::vector<std::string> { c.output }));
        const std::string merged = out.File(c.output);
        EXPECT_EQ(engine.OutInfo.FileName, merged);
        EXPECT_EQ(engine.OutInfo.Width, 11u);
        EXPECT_EQ(engine.OutInfo.Height, 7u);
        EXPECT_EQ(engine.OutInfo.Bits, c.bits);
        EXPECT_EQ(engine.OutInfo.Channels, ChannelsOf(c.mergeKind));
        EXPECT_EQ(engine.OutInfo.ScanLine, nullptr);
        EXPECT_FALSE(engine.OutOpen);

        const TPixels expected =
            WithChannels(WithChannels(image, ChannelsOf(c.tileKind)), ChannelsOf(c.mergeKind));
        const auto result = ReadImage(merged);
        ASSERT_TRUE(result.has_value());
        EXPECT_TRUE(SamePixels(expected, *result));

        // Unless the tiles lost the alpha samples, the merged file is byte for byte the file a
        // direct conversion of the input writes.
        if (expected == WithChannels(image, ChannelsOf(c.mergeKind))) {
            TTavmor converter;
            ASSERT_TRUE(TileFixtures::ProbeInto(converter, tiles.File(c.input)));
            converter.OutInfo.ImageType = c.mergeKind;
            converter.Lzw = c.lzw;
            converter.CopyRegion(0, 0, 11, 7, direct.Path(), "");
            ASSERT_FALSE(converter.Abort);
            EXPECT_EQ(ReadBytes(merged), ReadBytes(direct.File(c.output)));
            if (UpperExtensionOf(c.input) == UpperExtensionOf(c.output)
                && c.mergeKind != FileType::TIF) {
                EXPECT_EQ(ReadBytes(merged), ReadBytes(tiles.File(c.input)));
            }
        }
    }
}

TEST_F(TileMergeTest, FindsTheTilesOfABigTiffSplit)
{
    // Tiles named as a BigTIFF split names them; the lookup keys end in "BIG.TIF".
    const TPixels image = PatternImage(5, 3, 8, 3);
    const std::vector<std::string> small = SplitInto(Tiles, "p.tif", image, 3, 3, FileType::TIF);
    std::vector<std::string> files;
    for (const std::string& path : small) {
        const std::string big = path.substr(0, path.size() - 4) + ".big.tif";
        std::filesystem::rename(path, big);
        files.push_back(big);
    }

    Merge(2, 1, files, FileType::RAW);

    ASSERT_FALSE(Engine.Abort);
    const auto result = ReadImage(Out.File("p_5X3.raw"));
    ASSERT_TRUE(result.has_value());
    EXPECT_TRUE(SamePixels(image, *result));
}

TEST_F(TileMergeTest, ReportsProgressEverySevenOutputLines)
{
    Merge(1, 2, SplitInto(Tiles, "p.kro", PatternImage(2, 16, 8, 4), 2, 10, FileType::KRO));

    ASSERT_FALSE(Engine.Abort);
    EXPECT_EQ(Recorder.ShowMax, 16);
    EXPECT_EQ(Recorder.Positions, (std::vector<int32_t> { 7, 14 }));
    EXPECT_EQ(Recorder.Statuses,
        (std::vector<std::string> { "Processing row 1/2 (4)", "Processing row 2/2 (3)" }));
}

TEST_F(TileMergeTest, KeepsTheDescriptionOfTheEnginesOwnInput)
{
    ASSERT_TRUE(TileFixtures::WriteImageFile(Out.File("current.tif"), PatternImage(3, 3, 8, 3)));
    ASSERT_TRUE(TileFixtures::ProbeInto(Engine, Out.File("current.tif")));
    const TPixels image = PatternImage(4, 4, 16, 4);

    Merge(2, 2, SplitInto(Tiles, "p.kro", image, 2, 2, FileType::KRO));

    ASSERT_FALSE(Engine.Abort);
    EXPECT_EQ(Engine.InInfo.Bits, 8);
    EXPECT_EQ(Engine.OutInfo.Bits, 16);
    const auto result = ReadImage(Out.File("p.kro"));
    ASSERT_TRUE(result.has_value());
    EXPECT_TRUE(SamePixels(image, *result));
}

struct SpoiltTileCase {
    const char* name;
    /// Spoils the grid: takes a tile off the list or rewrites one of them.
    std::function<void(std::vector<std::string>& files, const TTempDir& tiles)> spoil;
    std::string error;
    bool outputCreated; ///< the fault shows only once the output exists
    std::vector<std::string> messages; ///< probe messages shown on the way
};

void Drop(std::vector<std::string>& files, const std::string& tail)
{
    std::erase_if(files, [&](const std::string& f) { return f.ends_with(tail); });
}

TEST_F(TileMergeTest, RefusesAnIncompleteOrInconsistentGridAndLeavesNoOutput)
{
    // 5 x 4 in 2 x 2 KRO tiles: columns 2, 2 and 1 wide, two rows.
    const SpoiltTileCase cases[] = {
        { "tile (1, 1) missing", [](auto& files, auto&) { Drop(files, "_x1y1.kro"); },
            "Tile X=1 Y=1 is not valid", false, {} },
        { "last tile missing", [](auto& files, auto&) { Drop(files, "_x3y2.kro"); },
            "Tile X=3 Y=2 is not valid", false, {} },
        { "tile (2, 1) missing", [](auto& files, auto&) { Drop(files, "_x2y1.kro"); },
            "Tile X=2 Y=1 is not valid", true, {} },
        { "last column wider than the last tile",
            [](auto&, auto& tiles) {
                ASSERT_TRUE(
                    TestImages::WriteKro(tiles.File("p_1X2_x3y1.kro"), PatternImage(2, 2, 8, 4)));
            },
            "Tile X=3 Y=1 is not valid", true, {} },
        { "tile of the first row too low",
            [](auto&, auto& tiles) {
                ASSERT_TRUE(
                    TestImages::WriteKro(tiles.File("p_2X2_x2y1.kro"), PatternImage(2, 1, 8, 4)));
            },
            "Tile X=2 Y=1 is not valid", true, {} },
        { "16-bit tile among 8-bit ones",
            [](auto&, auto& tiles) {
                ASSERT_TRUE(
                    TestImages::WriteKro(tiles.File("p_2X2_x2y2.kro"), PatternImage(2, 2, 16, 4)));
            },
            "Tile X=2 Y=2 is not valid", true, {} },
        { "first tile deeper than the last",
            [](auto&, auto& tiles) {
                ASSERT_TRUE(
                    TestImages::WriteKro(tiles.File("p_2X2_x1y1.kro"), PatternImage(2, 2, 16, 4)));
            },
            "Tile X=1 Y=1 is not valid", true, {} },
        { "short tile",
            [](auto&, auto& tiles) {
                std::vector<uint8_t> bytes = ReadBytes(tiles.File("p_2X2_x2y2.kro"));
                bytes.resize(bytes.size() - 3);
                ASSERT_TRUE(TestImages::WriteBytes(tiles.File("p_2X2_x2y2.kro"), bytes));
            },
            "Tile X=2 Y=2 read error", true, {} },
        { "a tile's probe message reaches the user",
            [](auto&, auto& tiles) {
                ASSERT_TRUE(TestImages::WriteBytes(
                    tiles.File("p_2X2_x2y1.kro"), TestImages::KroHeader(2, 2, 8, 4, 2)));
            },
            "Tile X=2 Y=1 is not valid", true, { "KRO Header error" } },
    };
    for (const SpoiltTileCase& c : cases) {
        SCOPED_TRACE(c.name);
        TTempDir tiles;
        TTempDir out;
        std::vector<std::string> files =
            SplitInto(tiles, "p.kro", PatternImage(5, 4, 8, 4), 2, 2, FileType::KRO);
        c.spoil(files, tiles);
        const std::vector<std::string> tileNames = tiles.Names();
        TTavmor engine;
        TEngineRecorder recorder;
        recorder.Attach(engine);
        TRecordingDialogs dialogs;
        engine.Dialogs = &dialogs;
        engine.OutInfo.ImageType = FileType::TIF;

        engine.MergeTiles(3, 2, files, out.Path(), "");

        EXPECT_TRUE(engine.Abort);
        EXPECT_EQ(recorder.Errors, (std::vector<std::string> { c.error }));
        EXPECT_EQ(dialogs.Messages, c.messages);
        EXPECT_EQ(recorder.ShowCount, c.outputCreated ? 1 : 0);
        EXPECT_EQ(recorder.HideCount, c.outputCreated ? 1 : 0);
        EXPECT_TRUE(out.Names().empty());
        EXPECT_EQ(tiles.Names(), tileNames);
    }
}

struct DimensionCase {
    const char* name;
    std::vector<std::pair<std::string, TPixels>> tiles;
    uint32_t countX;
    uint32_t countY;
};

TEST_F(TileMergeTest, RefusesAGridWhoseOutputSizeDoesNotFit)
{
    const DimensionCase cases[] = {
        // 429,496,730 columns of 10 pixels make 4,294,967,300, which 32 bits would wrap to 4.
        { "width wrapping around 32 bits",
            { { "p_x1y1.kro", PatternImage(10, 1, 8, 4) },
                { "p_x429496730y1.kro", PatternImage(10, 1, 8, 4) } },
            429496730, 1 },
        { "wider than the limit",
            { { "p_x1y1.kro", PatternImage(10, 1, 8, 4) },
                { "p_x10000000y1.kro", PatternImage(11, 1, 8, 4) } },
            10000000, 1 },
        { "higher than the limit",
            { { "p_x1y1.kro", PatternImage(1, 10, 8, 4) },
                { "p_x1y10000000.kro", PatternImage(1, 11, 8, 4) } },
            1, 10000000 },
        { "no columns", { { "p_x1y1.kro", PatternImage(1, 1, 8, 4) } }, 0, 1 },
        { "no rows", { { "p_x1y1.kro", PatternImage(1, 1, 8, 4) } }, 1, 0 },
    };
    for (const DimensionCase& c : cases) {
        SCOPED_TRACE(c.name);
        TTempDir tiles;
        TTempDir out;
        std::vector<std::string> files;
        for (const auto& [name, image] : c.tiles) {
            ASSERT_TRUE(TestImages::WriteKro(tiles.File(name), image));
            files.push_back(tiles.File(name));
        }
        TTavmor engine;
        TEngineRecorder recorder;
        recorder.Attach(engine);
        TRecordingDialogs dialogs;
        engine.Dialogs = &dialogs;
        engine.OutInfo.ImageType = FileType::KRO;

        engine.MergeTiles(c.countX, c.countY, files, out.Path(), "");

        EXPECT_TRUE(engine.Abort);
        EXPECT_EQ(dialogs.All, (std::vector<std::string> { "Found error in tile dimensions" }));
        EXPECT_TRUE(recorder.Errors.empty());
        EXPECT_EQ(recorder.ShowCount, 0);
        EXPECT_TRUE(out.Names().empty());
    }
}

TEST_F(TileMergeTest, RefusesAnOutputThatIsOneOfTheTiles)
{
    // A tile found through its folder's name, merged into that folder, would be the output:
    // the overwrite would delete it before it is read.
    const std::string folder = Tiles.File("g_x1y1.kro") + "/";
    ASSERT_TRUE(std::filesystem::create_directory(folder));
    std::filesystem::create_directory_symlink(folder, Tiles.File("link"));
    const std::string tile = folder + "p.kro";
    ASSERT_TRUE(TestImages::WriteKro(tile, PatternImage(3, 2, 8, 4)));
    const std::vector<uint8_t> before = ReadBytes(tile);
    Dialogs.DefaultAnswer = true;

    for (const std::string& outFolder : { folder, Tiles.File("link") + "/" }) {
        SCOPED_TRACE(outFolder);
        Recorder = {};
        Recorder.Attach(Engine);
        Dialogs.ErrorDialogs.clear();

        Merge(1, 1, { tile }, FileType::KRO, outFolder);

        EXPECT_TRUE(Engine.Abort);
        EXPECT_EQ(
            Dialogs.ErrorDialogs, (std::vector<std::string> { "Cannot overwrite input file" }));
        EXPECT_TRUE(Dialogs.Questions.empty());
        EXPECT_EQ(Recorder.Errors,
            (std::vector<std::string> { "Cannot create the file " + outFolder + "p.kro" }));
        EXPECT_EQ(Recorder.ShowCount, 0);
        EXPECT_EQ(ReadBytes(tile), before);
    }
}

TEST_F(TileMergeTest, DecliningToOverwriteTheOutputKeepsIt)
{
    const std::vector<std::string> files =
        SplitInto(Tiles, "img.tif", PatternImage(4, 4, 8, 3), 2, 2, FileType::TIF);
    ASSERT_TRUE(TestImages::WriteBytes(Out.File("img.tif"), { 'o', 'l', 'd' }));
    Dialogs.DefaultAnswer = false;

    Merge(2, 2, files, FileType::TIF);

    EXPECT_TRUE(Engine.Abort);
    EXPECT_EQ(Dialogs.Questions,
        (std::vector<std::string> { "Output file exists. Do you want to overwrite it?" }));
    EXPECT_EQ(Recorder.Errors,
        (std::vector<std::string> { "Cannot create the file " + Out.File("img") }));
    EXPECT_EQ(Recorder.ShowCount, 0);
    EXPECT_EQ(ReadBytes(Out.File("img.tif")), (std::vector<uint8_t> { 'o', 'l', 'd' }));
}

TEST_F(TileMergeTest, AbortLeavesNoOutput)
{
    // 6 x 16 in 3 x 8 tiles: progress at output lines 7 (first band) and 14 (second band).
    const std::vector<std::string> files =
        SplitInto(Tiles, "p.kro", PatternImage(6, 16, 8, 4), 3, 8, FileType::KRO);
    for (const int32_t abortAt : { 7, 14 }) {
        SCOPED_TRACE(abortAt);
        TTempDir out;
        TTavmor engine;
        TEngineRecorder recorder;
        recorder.Attach(engine);
        engine.OnUpdateProgress = [&](int32_t position) {
            recorder.Positions.push_back(position);
            engine.Abort = engine.Abort || position == abortAt;
        };
        engine.OutInfo.ImageType = FileType::RAW;

        engine.MergeTiles(2, 2, files, out.Path(), "");

        EXPECT_TRUE(engine.Abort);
        EXPECT_TRUE(recorder.Errors.empty());
        EXPECT_EQ(recorder.Positions.back(), abortAt);
        EXPECT_EQ(recorder.HideCount, 1);
        EXPECT_TRUE(out.Names().empty());
    }
}

/// Fails the close of every file opened for writing: the output's close.
class TFailOutputClose : public TIoSeam {
public:
    int Open(const char* path, int flags, mode_t mode) override
    {
        const int fd = TIoSeam::Open(path, flags, mode);
        if (fd >= 0 && (flags & (O_WRONLY | O_RDWR)) != 0) {
            Writing.push_back(fd);
        }
        return fd;
    }
    int Close(int fd) override
    {
        const int result = TIoSeam::Close(fd);
        if (std::erase(Writing, fd) > 0) {
            errno = EIO;
            return -1;
        }
        return result;
    }

private:
    std::vector<int> Writing;
};

TEST_F(TileMergeTest, AFailedWriteOrCloseOfTheOutputIsAWriteError)
{
    const std::vector<std::string> files =
        SplitInto(Tiles, "p.kro", PatternImage(5, 4, 8, 4), 2, 2, FileType::KRO);
    struct Case {
        const char* name;
        FileType kind;
        int failWriteAt; ///< with every later write
        bool failClose;
    };
    const Case cases[] = {
        { "RAW writes fail", FileType::RAW, 1, false },
        { "a TIFF line write fails", FileType::TIF, 2, false },
        { "the RAW output's close fails", FileType::RAW, 0, true },
        { "the TIFF output's close fails", FileType::TIF, 0, true },
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TTempDir out;
        TTavmor engine;
        TEngineRecorder recorder;
        recorder.Attach(engine);
        engine.OutInfo.ImageType = c.kind;
        TFaultSeam writes;
        writes.FailWriteAt = c.failWriteAt;
        writes.FailFollowing = true;
        TFailOutputClose closes;
        {
            TSeamInstaller installed(c.failClose ? static_cast<TIoSeam&>(closes) : writes);
            engine.MergeTiles(3, 2, files, out.Path(), "");
        }

        EXPECT_TRUE(engine.Abort);
        EXPECT_EQ(recorder.Errors, (std::vector<std::string> { "Write to file error" }));
        EXPECT_EQ(recorder.HideCount, 1);
        EXPECT_TRUE(out.Names().empty());
    }
}

TEST_F(TileMergeTest, RefusesAGridNeedingMoreOpenFilesThanAllowed)
{
    const std::vector<std::string> files =
        SplitInto(Tiles, "p.kro", PatternImage(40, 1, 8, 4), 1, 1, FileType::KRO);
    {
        TileFixtures::TOpenFileAllowance allowance(20);
        Merge(40, 1, files);
    }

    EXPECT_TRUE(Engine.Abort);
    EXPECT_EQ(Recorder.Errors,
        (std::vector<std::string> {
            "Too many tile columns: the system does not allow this many open files" }));
    EXPECT_EQ(Recorder.ShowCount, 0);
    EXPECT_TRUE(Out.Names().empty());
}

} // namespace
