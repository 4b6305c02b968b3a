// Tests of cutting an image into tile files: names, grid, pixels, failures and abort.
#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <string>
#include <sys/resource.h>
#include <vector>

#include <gtest/gtest.h>

#include "engine/EngineTexts.h"
#include "engine/OpenFileLimit.h"
#include "engine/TavmorManager.h"
#include "engine/TavmorUtils.h"
#include "support/EngineRecorder.h"
#include "support/FaultSeam.h"
#include "support/RecordingDialogs.h"
#include "support/TestImages.h"
#include "support/TileFixtures.h"

namespace {

using TestImages::CropOf;
using TestImages::PatternImage;
using TestImages::ReadImage;
using TestImages::SamePixels;
using TestImages::TPixels;
using TestImages::TTempDir;
using TestImages::WithChannels;

uint8_t ChannelsOf(FileType kind)
{
    return kind == FileType::KRO ? 4 : 3;
}

class TileSplitTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        Recorder.Attach(Engine);
        Engine.Dialogs = &Dialogs;
    }

    /// Writes image as In/name and probes it as the engine's input.
    void UseInput(const std::string& path, const TPixels& image)
    {
        ASSERT_TRUE(TileFixtures::WriteImageFile(path, image)) << path;
        ASSERT_TRUE(TileFixtures::ProbeInto(Engine, path)) << path;
    }

    void Split(uint32_t tileWidth, uint32_t tileHeight, FileType kind)
    {
        Engine.OutInfo.ImageType = kind;
        Engine.Abort = false;
        Engine.SplitImage(tileWidth, tileHeight, List, Out.Path(), "");
    }

    /// Out.File of each name.
    std::vector<std::string> InOut(const std::vector<std::string>& names) const
    {
        std::vector<std::string> paths;
        for (const std::string& name : names) {
            paths.push_back(Out.File(name));
        }
        return paths;
    }

    /// Every listed tile holds the matching rectangle of image, in the tile kind's channels.
    void ExpectTilesOf(const TPixels& image, uint32_t tileWidth, uint32_t tileHeight)
    {
        for (const std::string& path : List) {
            SCOPED_TRACE(path);
            uint32_t column = 0;
            uint32_t row = 0;
            TileIndexFromName(path, column, row);
            const auto tile = ReadImage(path);
            ASSERT_TRUE(tile.has_value());
            const uint32_t x = (column - 1) * tileWidth;
            const uint32_t y = (row - 1) * tileHeight;
            const TPixels expected =
                WithChannels(CropOf(image, x, y, tile->Width, tile->Height), tile->Channels);
            EXPECT_TRUE(SamePixels(expected, *tile));
        }
    }

    TTempDir In;
    TTempDir Out;
    TTavmor Engine;
    TEngineRecorder Recorder;
    TRecordingDialogs Dialogs;
    std::vector<std::string> List;
};

struct GridCase {
    const char* name;
    std::string input;
    uint32_t width;
    uint32_t height;
    uint8_t bits;
    uint32_t tileWidth;
    uint32_t tileHeight;
    FileType kind;
    std::vector<std::string> tiles; ///< in the order of the list: band by band
};

TEST_F(TileSplitTest, NamesEveryTileAndCopiesItsRectangle)
{
    const GridCase cases[] = {
        { "three columns, the last one narrower", "photo.tif", 25, 10, 8, 10, 10, FileType::TIF,
            { "photo_10X10_x1y1.tif", "photo_10X10_x2y1.tif", "photo_5X10_x3y1.tif" } },
        { "tile larger than the image", "photo.tif", 7, 5, 16, 10, 10, FileType::TIF,
            { "photo_7X5_x1y1.tif" } },
        { "exact multiples", "photo.kro", 20, 10, 8, 10, 5, FileType::KRO,
            { "photo_10X5_x1y1.kro", "photo_10X5_x2y1.kro", "photo_10X5_x1y2.kro",
                "photo_10X5_x2y2.kro" } },
        { "last band lower", "photo.tif", 4, 5, 16, 4, 2, FileType::RAW,
            { "photo_4X2_x1y1.raw", "photo_4X2_x1y2.raw", "photo_4X1_x1y3.raw" } },
        { "raw input drops its own size part", "photo_10X5.raw", 10, 5, 8, 6, 6, FileType::RAW,
            { "photo_6X5_x1y1.raw", "photo_4X5_x2y1.raw" } },
        { "a tile split again starts from the base name", "p_10X10_x1y1.tif", 10, 10, 8, 5, 10,
            FileType::KRO, { "p_5X10_x1y1.kro", "p_5X10_x2y1.kro" } },
        { "one pixel wide", "thin.tif", 1, 3, 8, 1, 1, FileType::TIF,
            { "thin_1X1_x1y1.tif", "thin_1X1_x1y2.tif", "thin_1X1_x1y3.tif" } },
        { "one line high, odd widths", "wide.kro", 7, 1, 16, 3, 3, FileType::TIF,
            { "wide_3X1_x1y1.tif", "wide_3X1_x2y1.tif", "wide_1X1_x3y1.tif" } },
    };
    for (const GridCase& c : cases) {
        SCOPED_TRACE(c.name);
        TTempDir in;
        TTempDir out;
        TTavmor engine;
        TEngineRecorder recorder;
        recorder.Attach(engine);
        const uint8_t channels = UpperExtensionOf(c.input) == ".KRO" ? 4 : 3;
        const TPixels image = PatternImage(c.width, c.height, c.bits, channels);
        ASSERT_TRUE(TileFixtures::WriteImageFile(in.File(c.input), image));
        ASSERT_TRUE(TileFixtures::ProbeInto(engine, in.File(c.input)));
        engine.OutInfo.ImageType = c.kind;
        std::vector<std::string> list;

        engine.SplitImage(c.tileWidth, c.tileHeight, list, out.Path(), "cap");

        EXPECT_FALSE(engine.Abort);
        EXPECT_TRUE(recorder.Errors.empty());
        std::vector<std::string> expected;
        for (const std::string& name : c.tiles) {
            expected.push_back(out.File(name));
        }
        EXPECT_EQ(list, expected);
        std::vector<std::string> sorted = c.tiles;
        std::sort(sorted.begin(), sorted.end());
        EXPECT_EQ(out.Names(), sorted);
        EXPECT_EQ(recorder.ShowCount, 1);
        EXPECT_EQ(recorder.ShowMax, int32_t(c.height));
        EXPECT_EQ(recorder.ShowCaption, "cap");
        EXPECT_EQ(recorder.HideCount, 1);
        ASSERT_FALSE(recorder.Positions.empty());
        EXPECT_EQ(recorder.Positions.back(), int32_t(c.height));
        EXPECT_FALSE(engine.ForceBigTiff);
        for (const std::string& path : list) {
            SCOPED_TRACE(path);
            uint32_t column = 0;
            uint32_t row = 0;
            TileIndexFromName(path, column, row);
            const auto tile = ReadImage(path);
            ASSERT_TRUE(tile.has_value());
            EXPECT_EQ(tile->Bits, c.bits);
            EXPECT_EQ(tile->Channels, ChannelsOf(c.kind));
            const uint32_t tileWidth = std::min(c.tileWidth, c.width);
            const uint32_t tileHeight = std::min(c.tileHeight, c.height);
            const TPixels expectedTile =
                WithChannels(CropOf(image, (column - 1) * tileWidth, (row - 1) * tileHeight,
                                 tile->Width, tile->Height),
                    ChannelsOf(c.kind));
            EXPECT_TRUE(SamePixels(expectedTile, *tile));
        }
    }
}

TEST_F(TileSplitTest, ReportsProgressEverySevenLinesAndAtEachBandEnd)
{
    UseInput(In.File("p.tif"), PatternImage(3, 16, 8, 3));

    Split(2, 10, FileType::RAW);

    ASSERT_FALSE(Engine.Abort);
    EXPECT_EQ(Recorder.Positions, (std::vector<int32_t> { 7, 10, 14, 16 }));
    EXPECT_EQ(Recorder.Statuses,
        (std::vector<std::string> { "Processing row 1/2 (4)", "Processing row 2/2 (3)" }));
}

TEST_F(TileSplitTest, RefusesAMissingOrInvalidInput)
{
    UseInput(In.File("p.tif"), PatternImage(4, 4, 8, 3));
    Engine.InInfo.ImageIsOk = false;
    Split(2, 2, FileType::TIF);
    EXPECT_TRUE(Engine.Abort);

    ASSERT_TRUE(TileFixtures::ProbeInto(Engine, In.File("p.tif")));
    ASSERT_TRUE(DeleteFileAt(In.File("p.tif")));
    Split(2, 2, FileType::TIF);
    EXPECT_TRUE(Engine.Abort);

    EXPECT_EQ(Recorder.Errors,
        (std::vector<std::string> {
            "File not found or bad file!", "File not found or bad file!" }));
    EXPECT_EQ(Recorder.ShowCount, 0);
    EXPECT_EQ(Recorder.HideCount, 0);
    EXPECT_TRUE(Out.Names().empty());
    EXPECT_TRUE(List.empty());
}

TEST_F(TileSplitTest, DecliningToOverwriteATileEndsTheSplitWithNothingHalfWritten)
{
    UseInput(In.File("photo.tif"), PatternImage(25, 10, 8, 3));
    const std::string existing = Out.File("photo_10X10_x2y1.tif");
    ASSERT_TRUE(TestImages::WriteBytes(existing, { 'o', 'l', 'd' }));
    Dialogs.DefaultAnswer = false;
    const uint64_t available = OpenFilesAvailable();

    Split(10, 10, FileType::TIF);

    EXPECT_TRUE(Engine.Abort);
    EXPECT_EQ(Dialogs.Questions,
        (std::vector<std::string> { "Output file exists. Do you want to overwrite it?" }));
    // The question comes before the name is complete, so the report names the tile without
    // its extension.
    EXPECT_EQ(Recorder.Errors,
        (std::vector<std::string> { "Cant't create file " + Out.File("photo_10X10_x2y1") }));
    EXPECT_EQ(Recorder.ShowCount, 1);
    EXPECT_EQ(Recorder.HideCount, 1);
    // The first tile was created empty: it is closed and gone, and off the list.
    EXPECT_TRUE(List.empty());
    EXPECT_EQ(Out.Names(), (std::vector<std::string> { "photo_10X10_x2y1.tif" }));
    EXPECT_EQ(TestImages::ReadBytes(existing), (std::vector<uint8_t> { 'o', 'l', 'd' }));
    EXPECT_EQ(OpenFilesAvailable(), available);
}

TEST_F(TileSplitTest, OverwritesAnExistingTileWhenTheUserAgrees)
{
    const TPixels image = PatternImage(25, 10, 8, 3);
    UseInput(In.File("photo.tif"), image);
    ASSERT_TRUE(TestImages::WriteBytes(Out.File("photo_10X10_x2y1.tif"), { 'o', 'l', 'd' }));
    Dialogs.DefaultAnswer = true;

    Split(10, 10, FileType::TIF);

    ASSERT_FALSE(Engine.Abort);
    EXPECT_EQ(Dialogs.Questions.size(), 1u);
    EXPECT_EQ(List.size(), 3u);
    ExpectTilesOf(image, 10, 10);
}

TEST_F(TileSplitTest, RefusesATileNamedLikeTheInput)
{
    // Splitting a tile again with its own size would write the tile onto itself, also when
    // the output folder is named through a link.
    const std::string input = In.File("p_10X10_x1y1.tif");
    UseInput(input, PatternImage(10, 10, 8, 3));
    const std::vector<uint8_t> before = TestImages::ReadBytes(input);
    std::filesystem::create_directory_symlink(In.Path(), Out.File("link"));

    for (const std::string& folder : { In.Path(), Out.File("link") + "/" }) {
        SCOPED_TRACE(folder);
        Recorder = {};
        Recorder.Attach(Engine);
        Dialogs.ErrorDialogs.clear();
        Engine.OutInfo.ImageType = FileType::TIF;
        Engine.Abort = false;

        Engine.SplitImage(10, 10, List, folder, "");

        EXPECT_TRUE(Engine.Abort);
        EXPECT_EQ(
            Dialogs.ErrorDialogs, (std::vector<std::string> { "Cannot overwrite input file" }));
        EXPECT_TRUE(Dialogs.Questions.empty());
        EXPECT_EQ(Recorder.Errors,
            (std::vector<std::string> { "Cant't create file " + folder + "p_10X10_x1y1" }));
        EXPECT_TRUE(List.empty());
        EXPECT_EQ(In.Names(), (std::vector<std::string> { "p_10X10_x1y1.tif" }));
        EXPECT_EQ(TestImages::ReadBytes(input), before);
    }
}

struct AbortCase {
    const char* name;
    uint32_t tileHeight;
    int32_t abortAt; ///< progress position at which the user aborts
    bool inStatus; ///< the abort comes in the status hook that follows that position
};

TEST_F(TileSplitTest, AbortAtAnyPointLeavesNoTile)
{
    // 6 x 9 into 3-pixel-wide tiles: two columns; positions fire every 7 lines and at the end
    // of each band, a status after each position of the 7-line rhythm. Completed bands are no
    // exception: tiles take their names only when the whole grid is written.
    const AbortCase cases[] = {
        { "inside the only band", 9, 7, false },
        { "inside the third band", 3, 7, false },
        { "at the end of the first band", 3, 3, false },
        { "at the end of the last band", 3, 9, false },
        { "in the status of a band's last line", 7, 7, true },
        { "at the progress of a band's last line", 7, 7, false },
    };
    const TPixels image = PatternImage(6, 9, 8, 3);
    for (const AbortCase& c : cases) {
        SCOPED_TRACE(c.name);
        TTempDir out;
        TTavmor engine;
        TEngineRecorder recorder;
        recorder.Attach(engine);
        bool abortNext = false;
        engine.OnUpdateProgress = [&](int32_t position) {
            recorder.Positions.push_back(position);
            if (position == c.abortAt) {
                engine.Abort = engine.Abort || !c.inStatus;
                abortNext = c.inStatus;
            }
        };
        engine.OnStatus = [&](const std::string&) { engine.Abort = engine.Abort || abortNext; };
        ASSERT_TRUE(TileFixtures::WriteImageFile(In.File("p.tif"), image));
        ASSERT_TRUE(TileFixtures::ProbeInto(engine, In.File("p.tif")));
        engine.OutInfo.ImageType = FileType::TIF;
        std::vector<std::string> list;

        engine.SplitImage(3, c.tileHeight, list, out.Path(), "");

        EXPECT_TRUE(engine.Abort);
        EXPECT_TRUE(recorder.Errors.empty());
        EXPECT_EQ(recorder.HideCount, 1);
        EXPECT_TRUE(list.empty());
        EXPECT_TRUE(out.Names().empty());
    }
}

struct FaultCase {
    const char* name;
    FileType kind;
    int failWriteAt; ///< this write and every later one fail
    int failCloseAt;
    const char* uncreatedTile; ///< the tile whose creation fails, if any
};

TEST_F(TileSplitTest, AFailedWriteOrCloseIsAWriteErrorAndLeavesNoPartialTile)
{
    // RAW input, so that every seam call after the probe belongs to the split: the input's
    // open, then the tiles' writes and closes. Three columns of 5 x 4.
    const FaultCase cases[] = {
        { "every RAW write fails", FileType::RAW, 1, 0, nullptr },
        { "a TIFF header cannot be written", FileType::TIF, 1, 0, "p_2X4_x1y1.tif" },
        { "a TIFF line cannot be written", FileType::TIF, 4, 0, nullptr },
        { "the first tile's close fails", FileType::RAW, 0, 1, nullptr },
        { "a KRO tile's close fails", FileType::KRO, 0, 2, nullptr },
    };
    const TPixels image = PatternImage(5, 4, 8, 3);
    for (const FaultCase& c : cases) {
        SCOPED_TRACE(c.name);
        TTempDir out;
        TTavmor engine;
        TEngineRecorder recorder;
        recorder.Attach(engine);
        TRecordingDialogs dialogs;
        engine.Dialogs = &dialogs;
        ASSERT_TRUE(TileFixtures::WriteImageFile(In.File("p_5X4.raw"), image));
        ASSERT_TRUE(TileFixtures::ProbeInto(engine, In.File("p_5X4.raw")));
        engine.OutInfo.ImageType = c.kind;
        std::vector<std::string> list;
        TFaultSeam seam;
        seam.FailWriteAt = c.failWriteAt;
        seam.FailCloseAt = c.failCloseAt;
        seam.FailFollowing = c.failWriteAt > 0;
        {
            TSeamInstaller installed(seam);
            engine.SplitImage(2, 4, list, out.Path(), "");
        }

        EXPECT_TRUE(engine.Abort);
        if (c.uncreatedTile != nullptr) {
            EXPECT_EQ(dialogs.Messages, (std::vector<std::string> { "Write to file error" }));
            EXPECT_EQ(recorder.Errors,
                (std::vector<std::string> { "Cant't create file " + out.File(c.uncreatedTile) }));
        } else {
            EXPECT_TRUE(dialogs.All.empty());
            EXPECT_EQ(recorder.Errors, (std::vector<std::string> { "Write to file error" }));
        }
        EXPECT_EQ(recorder.HideCount, 1);
        EXPECT_TRUE(list.empty());
        EXPECT_TRUE(out.Names().empty());
    }
}

TEST_F(TileSplitTest, AShortInputIsAReadErrorAndLeavesNoTile)
{
    // A KRO input cut inside its third line: the band of lines 0-1 is complete, the next not;
    // the complete band's tiles go too, since a partial grid would merge into a cut image.
    const std::string input = In.File("p.kro");
    ASSERT_TRUE(TileFixtures::WriteImageFile(input, PatternImage(4, 4, 8, 4)));
    std::vector<uint8_t> bytes = TestImages::ReadBytes(input);
    bytes.resize(20 + 2 * 16 + 5);
    ASSERT_TRUE(TestImages::WriteBytes(input, bytes));
    ASSERT_TRUE(TileFixtures::ProbeInto(Engine, input));

    Split(2, 2, FileType::KRO);

    EXPECT_TRUE(Engine.Abort);
    EXPECT_EQ(Recorder.Errors, (std::vector<std::string> { "Input file read error" }));
    EXPECT_TRUE(List.empty());
    EXPECT_TRUE(Out.Names().empty());
    EXPECT_EQ(Recorder.HideCount, 1);
}

TEST(OpenFileLimit, RaisesTheSoftLimitToTheHardOne)
{
    const uint64_t soft = RaiseOpenFileLimit();
    rlimit limit {};
    ASSERT_EQ(getrlimit(RLIMIT_NOFILE, &limit), 0);
    EXPECT_EQ(soft, limit.rlim_cur == RLIM_INFINITY ? UINT64_MAX : uint64_t { limit.rlim_cur });
    if (limit.rlim_max != RLIM_INFINITY) {
        EXPECT_EQ(limit.rlim_cur, limit.rlim_max);
    }
}

TEST(OpenFileLimit, CountsTheFilesStillAvailable)
{
    TileFixtures::TOpenFileAllowance allowance(10);
    EXPECT_EQ(OpenFilesAvailable(), 10u);
    FILE* file = std::fopen("/dev/null", "r");
    ASSERT_NE(file, nullptr);
    EXPECT_EQ(OpenFilesAvailable(), 9u);
    std::fclose(file);
}

TEST_F(TileSplitTest, RefusesAGridNeedingMoreOpenFilesThanAllowed)
{
    const TPixels image = PatternImage(40, 2, 8, 3);
    UseInput(In.File("p.tif"), image);
    {
        // The input takes one file, and the split keeps a few in reserve beside the columns.
        TileFixtures::TOpenFileAllowance allowance(20);
        Split(1, 1, FileType::RAW);
        EXPECT_TRUE(Engine.Abort);
        EXPECT_EQ(Recorder.Errors,
            (std::vector<std::string> {
                "Too many tile columns: the system does not allow this many open files" }));
        EXPECT_EQ(Recorder.ShowCount, 0);
        EXPECT_TRUE(List.empty());
        EXPECT_TRUE(Out.Names().empty());

        Split(10, 1, FileType::RAW);
        EXPECT_FALSE(Engine.Abort);
        EXPECT_EQ(List.size(), 8u);
    }
    ExpectTilesOf(image, 10, 1);
}

} // namespace
