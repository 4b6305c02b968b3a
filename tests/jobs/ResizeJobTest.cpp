// The Resize job end to end on thin images (one side at least 10000 pixels, the other small):
// tiling and final passes with both methods, 8 and 16 bits, RAW, TIFF and KRO inputs, the
// refusals before any file is written, worker failures and abort at every step (pause and the
// pipeline's threads: ResizePipelineTest.cpp).
#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "engine/TavmorManager.h"
#include "engine/TavmorUtils.h"
#include "jobs/FakeHost.h"
#include "jobs/JobTexts.h"
#include "jobs/ResizeFixture.h"
#include "jobs/TavmorJobs.h"
#include "support/RecordingDialogs.h"
#include "support/TestImages.h"

namespace {

using namespace TestImages;

const std::string kTemp = "$$$TEMP$$$RESIZER$$$";

/// The sample of stripe (0..3, left to right) and half (0 top, 1 bottom): every region and
/// channel differs, and a 16-bit sample has a low byte of its own, so a swapped, shifted or
/// byte-wise misread region shows.
uint32_t RegionSample(uint32_t stripe, uint32_t half, uint32_t channel, uint8_t bits)
{
    const uint32_t v8 = 30 + 50 * stripe + 20 * half + 7 * channel;
    return bits == 8 ? v8 : (v8 << 8) | (stripe * 16 + half * 4 + channel + 1);
}

/// An image of four vertical stripes by two horizontal halves of constant colour.
TPixels RegionImage(uint32_t width, uint32_t height, uint8_t bits, uint8_t channels)
{
    TPixels image;
    image.Width = width;
    image.Height = height;
    image.Bits = bits;
    image.Channels = channels;
    image.Samples.resize(size_t(width) * height * channels);
    size_t i = 0;
    for (uint32_t y = 0; y < height; ++y) {
        for (uint32_t x = 0; x < width; ++x) {
            for (uint32_t c = 0; c < channels; ++c) {
                image.Samples[i++] = c == 3 ? (bits == 8 ? 0xFFu : 0xFFFFu)
                                            : RegionSample(x * 4 / width, y * 2 / height, c, bits);
            }
        }
    }
    return image;
}

/// Checks a resized region image: inside each region, away from the edges between regions
/// (where the filters blend), the colour is exactly the region's. Constant areas stay
/// constant through both methods, so no tolerance is needed.
void ExpectRegions(const TPixels& image, uint8_t bits)
{
    ASSERT_GE(image.Height, 4u);
    const uint32_t rows[2] = { 1, image.Height - 2 };
    for (uint32_t stripe = 0; stripe < 4; ++stripe) {
        const uint32_t x = (2 * stripe + 1) * image.Width / 8;
        for (uint32_t half = 0; half < 2; ++half) {
            for (uint32_t c = 0; c < 3; ++c) {
                EXPECT_EQ(RegionSample(stripe, half, c, bits), image.At(x, rows[half], c))
                    << "stripe " << stripe << " half " << half << " channel " << c;
            }
        }
    }
}

bool Contains(const std::vector<std::string>& texts, const std::string& text)
{
    return std::find(texts.begin(), texts.end(), text) != texts.end();
}

// ---- Resizing ----

struct TResizeCase {
    const char* name;
    TInputKind kind;
    uint32_t width, height;
    uint8_t bits;
    bool fast;
    int64_t target;
    const char* output; ///< the output kind
    std::string outName;
    uint32_t outWidth, outHeight;
};

/// Failures name the row, not its bytes.
void PrintTo(const TResizeCase& c, std::ostream* os)
{
    *os << c.name;
}

class ResizeJob : public ::testing::TestWithParam<TResizeCase> { };

TEST_P(ResizeJob, WritesTheResizedImageAndNothingElse)
{
    const TResizeCase& c = GetParam();
    TResizeFixture f;
    const uint8_t channels = c.kind == TInputKind::Kro ? 4 : 3;
    f.SelectInput(c.kind, RegionImage(c.width, c.height, c.bits, channels));
    f.Request.Output.Kind = c.output;
    f.Resize(c.target, c.fast);

    EXPECT_EQ(std::vector<std::string> {}, f.Host.Errors);
    EXPECT_EQ(std::vector<std::string> {}, f.Dialogs.All);
    EXPECT_EQ(TOutcome::Done, f.Result.Outcome);
    EXPECT_FALSE(f.Engine.Abort);
    ASSERT_EQ(std::vector<std::string> { c.outName }, f.OutDir.Names());
    f.ExpectInputUnchanged();
    EXPECT_FALSE(f.Host.ProgressVisible);

    const std::optional<TPixels> out = ReadImage(f.OutDir.File(c.outName));
    ASSERT_TRUE(out.has_value());
    EXPECT_EQ(c.outWidth, out->Width);
    EXPECT_EQ(c.outHeight, out->Height);
    EXPECT_EQ(c.bits, out->Bits);
    ExpectRegions(*out, c.bits);
}

INSTANTIATE_TEST_SUITE_P(Passes, ResizeJob,
    ::testing::Values(
        // One tiling pass (2 tiles, divider 10), then the final pass halves it.
        TResizeCase {
            "RawSlow", TInputKind::Raw, 20000, 300, 8, false, 1000, "tif", "pano.tif", 1000, 15 },
        TResizeCase { "RawFastToKro", TInputKind::Raw, 20000, 300, 8, true, 1000, "kro", "pano.kro",
            1000, 15 },
        // Divider 6: 1667 + 333 by 33; the final pass takes 2000 x 33 to 1000 x 16 (16.5),
        // though the height changes by less than 100 pixels.
        TResizeCase { "Tif16Slow", TInputKind::Tif, 12000, 200, 16, false, 1000, "raw",
            "pano_1000X16.raw", 1000, 16 },
        // Divider 10: 1000 + 200 by 20; the final pass by 1.2 to 1000 x 17 (16.67).
        TResizeCase {
            "Tif16Fast", TInputKind::Tif, 12000, 200, 16, true, 1000, "tif", "pano.tif", 1000, 17 },
        // Two rows of tiles, 10000 and 2000 high: 5120 + 1024 after the divider 1000 / 512.
        TResizeCase { "TallTwoRows", TInputKind::Raw, 1000, 12000, 8, true, 512, "tif", "pano.tif",
            512, 6144 },
        // No tiling pass; the input is not a size-named RAW file.
        TResizeCase { "KroSingleWorker", TInputKind::Kro, 10500, 300, 8, false, 1000, "tif",
            "pano.tif", 1000, 29 },
        TResizeCase { "UnnamedRaw16SingleWorker", TInputKind::RawUnnamed, 10500, 120, 16, true,
            1000, "tif", "pano.tif", 1000, 11 },
        TResizeCase { "NamedRawSingleWorker", TInputKind::Raw, 10500, 300, 8, true, 1000, "kro",
            "pano.kro", 1000, 29 }),
    [](const ::testing::TestParamInfo<TResizeCase>& info) { return std::string(info.param.name); });

TEST(ResizeJobRun, TargetWiderThanTheImageCopiesItUnchanged)
{
    TResizeFixture f;
    const TPixels image = PatternImage(10000, 40, 16, 3);
    f.SelectInput(TInputKind::Raw, image);
    f.Resize(20000, false);

    EXPECT_EQ(TOutcome::Done, f.Result.Outcome);
    ASSERT_EQ(std::vector<std::string> { "pano.tif" }, f.OutDir.Names());
    const std::optional<TPixels> out = ReadImage(f.OutDir.File("pano.tif"));
    ASSERT_TRUE(out.has_value());
    EXPECT_TRUE(SamePixels(image, *out));
    f.ExpectInputUnchanged();
}

TEST(ResizeJobRun, SameFolderWithAnotherTypeIsAccepted)
{
    TResizeFixture f;
    f.Request.Output.Folder = "";
    f.SelectInput(TInputKind::Raw, RegionImage(10000, 40, 8, 3));
    f.Resize(20000, false);

    EXPECT_EQ(TOutcome::Done, f.Result.Outcome);
    EXPECT_EQ((std::vector<std::string> { "pano.tif", "pano_10000X40.raw" }), f.InDir.Names());
}

TEST(ResizeJobRun, TileStepShowsEachTileHandedOut)
{
    TResizeFixture f;
    f.SelectInput(TInputKind::Raw, RegionImage(20000, 100, 8, 3));
    int32_t tileStepMax = -1;
    f.Host.OnProcessMessages = [&] {
        if (f.Host.ProgressVisible && f.Host.LastCaption == JobText::ResizeStepTiles) {
            tileStepMax = f.Host.LastMax;
        }
    };
    f.Resize(1000, true);

    EXPECT_EQ(TOutcome::Done, f.Result.Outcome);
    EXPECT_EQ(4, tileStepMax); // two tiles, each moving the gauge twice
    std::vector<std::string> tileLines;
    for (const std::string& s : f.Host.Statuses) {
        if (s.rfind(JobText::ResizingTile, 0) == 0
            && (tileLines.empty() || tileLines.back() != s)) {
            tileLines.push_back(s);
        }
    }
    EXPECT_EQ((std::vector<std::string> {
                  "Resizing tile 0/2", "Resizing tile 1/2", "Resizing tile 2/2" }),
        tileLines);
}

TEST(ResizeJobRun, TallImageNearItsTargetIsResizedTileByTile)
{
    TResizeFixture f;
    f.SelectInput(TInputKind::Raw, RegionImage(600, 12000, 8, 3));
    bool tileStep = false;
    f.Host.OnProcessMessages = [&] {
        tileStep = tileStep || f.Host.LastCaption == JobText::ResizeStepTiles;
    };
    f.Resize(590, true);

    EXPECT_EQ(TOutcome::Done, f.Result.Outcome);
    EXPECT_TRUE(tileStep); // no worker held the whole 12000 lines
    ASSERT_EQ(std::vector<std::string> { "pano.tif" }, f.OutDir.Names());
    const std::optional<TPixels> out = ReadImage(f.OutDir.File("pano.tif"));
    ASSERT_TRUE(out.has_value());
    EXPECT_EQ(590u, out->Width);
    EXPECT_EQ(11800u, out->Height); // 9833 + 1967
    ExpectRegions(*out, 8);
    f.ExpectInputUnchanged();
}

// ---- Refusals before anything is written ----

TEST(ResizeJobRun, RefusalsLeaveEverythingAsItWas)
{
    struct Case {
        const char* name;
        uint32_t width, height;
        bool sameFolder;
        bool noInput;
        std::string error;
    };
    const std::vector<Case> cases = {
        { "no input", 10000, 40, false, true, "File not found or bad file!" },
        { "would overwrite the input", 10000, 40, true, false, "Cannot overwrite input file" },
        { "too small", 9999, 9999, false, false,
            "Width and height of the input file must be > 10000" },
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TResizeFixture f;
        if (c.width == 9999) {
            // A sparse file: the probe takes the size from the name and the length.
            f.InputPath = f.InDir.File("pano_9999X9999.raw");
            ASSERT_TRUE(WriteBytes(f.InputPath, {}));
            std::filesystem::resize_file(f.InputPath, uintmax_t(9999) * 9999 * 3);
            ASSERT_TRUE(f.Jobs.SelectInputFile(f.InputPath));
            f.Host.DisableCount = 0;
        } else {
            f.SelectInput(TInputKind::Raw, RegionImage(c.width, c.height, 8, 3));
        }
        if (c.noInput) {
            f.Engine.InInfo = TFileInfo {};
        }
        if (c.sameFolder) {
            f.Request.Output.Folder = "";
            f.Request.Output.Kind = "raw";
        }
        const std::string expected = c.error;
        const std::vector<std::string> before = f.OutDir.Names();
        const std::vector<std::string> inBefore = f.InDir.Names();
        f.Resize(1000, false);

        EXPECT_EQ(std::vector<std::string> { expected }, f.Host.Errors);
        EXPECT_NE(TOutcome::Done, f.Result.Outcome);
        EXPECT_TRUE(f.Engine.Abort);
        EXPECT_EQ(0, f.Host.DisableCount);
        EXPECT_EQ(before, f.OutDir.Names());
        EXPECT_EQ(inBefore, f.InDir.Names());
    }
}

// ---- Failures and abort ----

TEST(ResizeJobRun, WorkerFailureIsReportedAndCleanedUp)
{
    struct Case {
        const char* name;
        uint32_t width, height;
    };
    // The height divided by the divider rounds to 0: the worker cannot write the tile.
    const Case cases[] = {
        { "in a tiling pass (4 / 10)", 20000, 4 },
        { "in the final pass (5 / 10.5)", 10500, 5 },
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TResizeFixture f;
        f.SelectInput(TInputKind::Raw, RegionImage(c.width, c.height, 8, 3));
        f.Resize(1000, false);

        EXPECT_EQ(std::vector<std::string> { "Error resizing the image" }, f.Host.Errors);
        EXPECT_EQ(std::vector<std::string> {}, f.Dialogs.All);
        // The message names the image and why.
        ASSERT_FALSE(f.Dialogs.Details.empty());
        EXPECT_EQ(f.InputPath, f.Dialogs.Details.back().first);
        EXPECT_NE(std::string::npos, f.Dialogs.Details.back().second.find("nothing"));
        EXPECT_NE(TOutcome::Done, f.Result.Outcome);
        EXPECT_EQ(std::vector<std::string> {}, f.OutDir.Names());
        f.ExpectInputUnchanged();
    }
}

TEST(ResizeJobRun, AbortAtAnyStepLeavesNothingBehind)
{
    struct Case {
        const char* name;
        TInputKind kind;
        uint32_t width;
        int64_t target;
        bool fast;
        const char* caption; ///< the step during which Abort is confirmed
        int look; ///< at this call of ProcessMessages within the step
    };
    // 20000 x 100 to 1000: a tiling pass into the intermediate, then the final worker into the
    // output; to 2000 (fast), the tiling pass writes the output itself.
    const Case cases[] = {
        { "split: input and intermediate opened", TInputKind::Raw, 20000, 1000, false, "Step 1/4",
            2 },
        { "tile workers", TInputKind::Raw, 20000, 1000, false, "Step 2/4", 2 },
        { "merge: the intermediate's last lines", TInputKind::Raw, 20000, 1000, false, "Step 3/4",
            2 },
        { "final worker", TInputKind::Raw, 20000, 1000, false, "Step 4/4", 1 },
        { "tiling pass into the output", TInputKind::Raw, 20000, 2000, true, "Step 4/4", 2 },
        { "final worker reading a KRO", TInputKind::Kro, 10500, 1000, false, "Step 4/4", 1 },
        { "final copy", TInputKind::Raw, 20000, 30000, false, "Step 4/4", 2 },
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TResizeFixture f;
        const uint8_t channels = c.kind == TInputKind::Kro ? 4 : 3;
        f.SelectInput(c.kind, RegionImage(c.width, 100, 8, channels));
        int calls = 0;
        bool aborted = false;
        f.Host.OnProcessMessages = [&] {
            if (aborted || f.Host.LastCaption != c.caption || !f.Host.ProgressVisible) {
                return;
            }
            if (++calls == c.look) {
                aborted = true;
                f.Jobs.ConfirmAbort(true);
            }
        };
        f.Resize(c.target, c.fast);

        EXPECT_TRUE(aborted);
        EXPECT_EQ(std::vector<std::string> {}, f.Host.Errors);
        EXPECT_NE(TOutcome::Done, f.Result.Outcome);
        EXPECT_EQ(std::vector<std::string> {}, f.OutDir.Names());
        EXPECT_FALSE(f.Host.ProgressVisible);
        f.ExpectInputUnchanged();
        if (std::string(c.caption) == JobText::ResizeStepTiles) {
            EXPECT_TRUE(Contains(f.Host.Statuses, JobText::KillingProcesses));
        }
    }
}

TEST(ResizeJobRun, EachRunHasATemporaryFolderOfItsOwn)
{
    // A file or a folder of the old fixed name, whatever it holds, is not the job's: it stays,
    // and it does not stop the job.
    TResizeFixture f;
    f.SelectInput(TInputKind::Raw, RegionImage(20000, 100, 8, 3));
    const std::string temp = f.OutDir.Path() + kTemp + "/";
    std::filesystem::create_directory(temp);
    ASSERT_TRUE(WriteBytes(temp + "note.txt", { 1, 2, 3 }));
    f.Resize(1000, true);

    EXPECT_EQ(TOutcome::Done, f.Result.Outcome);
    EXPECT_EQ((std::vector<std::string> { kTemp, "pano.tif" }), f.OutDir.Names());
    EXPECT_EQ(std::vector<std::string> { "note.txt" }, NamesIn(temp));
}

} // namespace
