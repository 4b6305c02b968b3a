// The window's Start handler over the Convert, Crop, Split and Merge jobs against a recording
// host: the panel values it reads, the jobs' own checks and texts, and the outcome it shows.
#include "app/StartHandler.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "engine/TavmorManager.h"
#include "jobs/FakeHost.h"
#include "jobs/JobsFixture.h"
#include "jobs/TavmorJobs.h"
#include "support/RecordingDialogs.h"
#include "support/TestImages.h"

namespace {

using namespace TestImages;

/// The jobs with the window's panel values and Start handler over them.
struct TStartFixture : TJobsFixture {
    TPanelValues Values;
    TStartHandler Start { Jobs, Values };
};

// ---- Start handler ----

TEST(StartHandler, MissingBrowseFolderRunsNothing)
{
    TTempDir dir;
    TStartFixture f;
    f.SelectRaw(dir, "photo", 7, 5);
    f.Host.Statuses.clear();
    f.Host.DisableCount = f.Host.EnableCount = 0;
    f.Values.BrowseDirectory = dir.File("gone");
    f.Values.EditOutputFolder = dir.File("gone");

    f.Start.btStartClick();

    EXPECT_EQ(std::vector<std::string> { "Output directory doesn't exists" }, f.Host.Errors);
    EXPECT_EQ(std::vector<std::string> { "" }, f.Host.Statuses);
    EXPECT_EQ(0, f.Host.ShowCount);
    EXPECT_EQ(0, f.Host.HideCount);
    EXPECT_EQ(0, f.Host.DisableCount);
    EXPECT_EQ(0, f.Host.EnableCount);
    EXPECT_EQ((std::vector<std::string> { "photo_7X5.raw" }), dir.Names());
}

TEST(StartHandler, ConvertWithoutInputIsAborted)
{
    TStartFixture f;
    f.Start.btStartClick();
    EXPECT_EQ(std::vector<std::string> { "File not found" }, f.Host.Errors);
    EXPECT_EQ("Operation aborted", f.Host.LastStatus());
    EXPECT_FALSE(f.Host.ProgressVisible);
    EXPECT_GE(f.Host.EnableCount, 1);
    EXPECT_FALSE(f.Jobs.Running());
}

TEST(StartHandler, ConvertWritesBesideTheInputOrIntoTheChosenFolder)
{
    TTempDir dir;
    std::filesystem::create_directory(dir.File("out"));
    for (const bool chosen : { false, true }) {
        SCOPED_TRACE(chosen ? "chosen folder" : "input's folder");
        TStartFixture f;
        const TPixels image = f.SelectRaw(dir, "photo", 7, 5);
        f.Values.Output = TOutputChoice::Kro;
        if (chosen) {
            f.Values.EditOutputFolder = dir.File("out");
            f.Values.BrowseDirectory = dir.File("out");
        }

        f.Start.btStartClick();

        EXPECT_TRUE(f.Host.Errors.empty());
        EXPECT_EQ("Operation completed successfully", f.Host.LastStatus());
        EXPECT_EQ(1, f.Host.ShowCount);
        EXPECT_EQ(5, f.Host.LastMax);
        EXPECT_EQ("", f.Host.LastCaption);
        EXPECT_FALSE(f.Host.ProgressVisible);
        const std::string out = chosen ? dir.File("out/photo.kro") : dir.File("photo.kro");
        const auto written = ReadImage(out);
        ASSERT_TRUE(written.has_value());
        EXPECT_TRUE(SamePixels(WithChannels(image, 4), *written));
    }
    EXPECT_EQ((std::vector<std::string> { "out", "photo.kro", "photo_7X5.raw" }), dir.Names());
}

TEST(StartHandler, RefusedJobDoesNotSpoilTheNextOne)
{
    TTempDir dir;
    TStartFixture f;
    f.SelectRaw(dir, "photo", 7, 5);
    f.Values.Output = TOutputChoice::Kro;
    f.Values.CurrentPanel = TPanel::Crop;
    f.Values.CropX = 7;
    f.Start.btStartClick();
    EXPECT_EQ("Operation aborted", f.Host.LastStatus());

    f.Values.CurrentPanel = TPanel::Convert;
    f.Start.btStartClick();
    EXPECT_EQ("Operation completed successfully", f.Host.LastStatus());
    EXPECT_EQ((std::vector<std::string> { "photo.kro", "photo_7X5.raw" }), dir.Names());
}

TEST(StartHandler, ExistingOutputIsOverwrittenOnlyWhenTheUserSaysYes)
{
    for (const bool yes : { false, true }) {
        SCOPED_TRACE(yes ? "Yes" : "No");
        TTempDir dir;
        TStartFixture f;
        TRecordingDialogs dialogs;
        f.Engine.Dialogs = &dialogs;
        dialogs.DefaultAnswer = yes;
        const TPixels image = f.SelectRaw(dir, "photo", 7, 5);
        const std::vector<uint8_t> old { 1, 2, 3 };
        ASSERT_TRUE(WriteBytes(dir.File("photo.kro"), old));
        f.Values.Output = TOutputChoice::Kro;

        f.Start.btStartClick();

        EXPECT_EQ(std::vector<std::string> { "Output file exists. Do you want to overwrite it?" },
            dialogs.Questions);
        if (yes) {
            EXPECT_EQ("Operation completed successfully", f.Host.LastStatus());
            const auto written = ReadImage(dir.File("photo.kro"));
            ASSERT_TRUE(written.has_value());
            EXPECT_TRUE(SamePixels(WithChannels(image, 4), *written));
        } else {
            EXPECT_EQ("Operation aborted", f.Host.LastStatus());
            EXPECT_EQ(old, ReadBytes(dir.File("photo.kro")));
        }
    }
}

TEST(StartHandler, AbortAtALineLeavesNoOutput)
{
    TTempDir dir;
    TStartFixture f;
    f.SelectRaw(dir, "photo", 9, 40);
    f.Values.Output = TOutputChoice::Tif;
    // The user clicks Abort and confirms once the gauge has passed line 14.
    f.Host.OnProcessMessages = [&f] {
        if (!f.Host.Positions.empty() && f.Host.Positions.back() >= 14) {
            f.Jobs.ConfirmAbort(true);
        }
    };

    f.Start.btStartClick();

    EXPECT_EQ("Operation aborted", f.Host.LastStatus());
    EXPECT_TRUE(f.Host.Errors.empty());
    EXPECT_EQ(1, f.Host.ShowCount);
    EXPECT_GE(f.Host.HideCount, 1);
    EXPECT_FALSE(f.Host.ProgressVisible);
    ASSERT_FALSE(f.Host.Positions.empty());
    EXPECT_LT(f.Host.Positions.back(), 21);
    EXPECT_EQ((std::vector<std::string> { "photo_9X40.raw" }), dir.Names());
}

TEST(StartHandler, PauseHoldsTheJobUntilContinue)
{
    TTempDir dir;
    TStartFixture f;
    const TPixels image = f.SelectRaw(dir, "photo", 5, 30);
    f.Values.Output = TOutputChoice::Raw;
    f.Values.EditOutputFolder = dir.File("out");
    std::filesystem::create_directory(dir.File("out"));
    int pausedRounds = 0;
    size_t statusesAtPause = 0;
    f.Host.OnProcessMessages = [&] {
        if (!f.Jobs.Paused) {
            // The user clicks Pause right after the gauge's first move.
            if (pausedRounds == 0 && f.Host.Positions.size() == 1 && f.Host.PausedStates.empty()) {
                f.Jobs.TogglePause();
            }
            return;
        }
        if (f.Host.Positions.size() == 2) {
            // Inside CheckIfPaused at line 7: the job does not advance until Continue.
            if (pausedRounds == 0) {
                statusesAtPause = f.Host.Statuses.size();
            }
            EXPECT_EQ(statusesAtPause, f.Host.Statuses.size());
            if (++pausedRounds == 3) {
                f.Jobs.TogglePause();
            }
        }
    };

    f.Start.btStartClick();

    EXPECT_EQ(3, pausedRounds);
    EXPECT_EQ((std::vector<bool> { true, false }), f.Host.PausedStates);
    EXPECT_EQ((std::vector<int32_t> { 0, 7, 14, 21, 28 }), f.Host.Positions);
    EXPECT_EQ("Operation completed successfully", f.Host.LastStatus());
    const auto written = ReadImage(dir.File("out/photo_5X30.raw"), 8);
    ASSERT_TRUE(written.has_value());
    EXPECT_TRUE(SamePixels(image, *written));
}

TEST(StartHandler, AbortConfirmedWhilePausedResumesAndStops)
{
    TTempDir dir;
    TStartFixture f;
    f.SelectRaw(dir, "photo", 5, 40);
    f.Values.Output = TOutputChoice::Kro;
    f.Host.OnProcessMessages = [&] {
        if (f.Jobs.Paused) {
            // Inside CheckIfPaused at line 7.
            if (f.Host.Positions.size() == 2) {
                f.Jobs.ConfirmAbort(true);
                EXPECT_FALSE(f.Jobs.Paused);
            }
        } else if (f.Host.Positions.size() == 1 && f.Host.PausedStates.empty()) {
            f.Jobs.TogglePause();
        }
    };

    f.Start.btStartClick();

    EXPECT_EQ("Operation aborted", f.Host.LastStatus());
    EXPECT_EQ((std::vector<std::string> { "photo_5X40.raw" }), dir.Names());
}

TEST(StartHandler, AbortAnsweredNoLetsTheJobFinish)
{
    TTempDir dir;
    TStartFixture f;
    f.SelectRaw(dir, "photo", 5, 30);
    f.Values.Output = TOutputChoice::Kro;
    bool asked = false;
    f.Host.OnProcessMessages = [&] {
        if (!asked && f.Host.Positions.size() == 2) {
            asked = true;
            f.Jobs.ConfirmAbort(false);
        }
    };
    f.Start.btStartClick();
    EXPECT_TRUE(asked);
    EXPECT_FALSE(f.Engine.Abort);
    EXPECT_EQ("Operation completed successfully", f.Host.LastStatus());
}

TEST(StartHandler, SecondStartWhileRunningDoesNothing)
{
    TTempDir dir;
    TStartFixture f;
    f.SelectRaw(dir, "photo", 5, 20);
    f.Values.Output = TOutputChoice::Kro;
    int nested = 0;
    f.Host.OnProcessMessages = [&] {
        if (nested == 0 && f.Host.ShowCount == 1) {
            ++nested;
            EXPECT_TRUE(f.Jobs.Running());
            f.Start.btStartClick();
        }
    };

    f.Start.btStartClick();

    EXPECT_EQ(1, nested);
    EXPECT_EQ(1, f.Host.ShowCount);
    int finals = 0;
    for (const std::string& s : f.Host.Statuses) {
        finals += s == "Operation completed successfully" || s == "Operation aborted";
    }
    EXPECT_EQ(1, finals);
    EXPECT_EQ("Operation completed successfully", f.Host.LastStatus());
    EXPECT_FALSE(f.Jobs.Running());
}

TEST(StartHandler, AboutPanelRunsNoJob)
{
    TStartFixture f;
    f.Values.CurrentPanel = TPanel::About;
    f.Start.btStartClick();
    EXPECT_TRUE(f.Host.Errors.empty());
    EXPECT_EQ(0, f.Host.DisableCount);
    EXPECT_EQ(0, f.Host.ShowCount);
}

// ---- Crop ----

struct CropCase {
    const char* name;
    int64_t x, y, w, h;
    const char* expected; ///< "" when accepted
};

TEST(CropJob, ChecksTheRectangleInOrder)
{
    const CropCase cases[] = {
        { "x_at_width", 5000, 0, 1, 1, "X must >= 0 and < 5000" },
        { "y_at_height", 0, 4000, 1, 1, "Y must >= 0 and < 4000" },
        { "width_past_edge", 4000, 0, 1001, 1, "Width must > 0 and <= 1000" },
        { "height_past_edge", 0, 10, 1, 3991, "Height must > 0 and <= 3990" },
        { "only_first_failure", 5000, 0, 1, 9999, "X must >= 0 and < 5000" },
        { "y_before_size", 0, 4000, 9999999, 9999999, "Y must >= 0 and < 4000" },
        { "largest_field_values", 9999999, 9999999, 9999999, 9999999, "X must >= 0 and < 5000" },
        { "negative_x", -1, 0, 1, 1, "X must >= 0 and < 5000" },
        { "empty_width", 0, 0, 0, 1, "Width must > 0 and <= 5000" },
        { "bottom_right_pixel", 4999, 3999, 1, 1, "" },
        { "whole_image", 0, 0, 5000, 4000, "" },
    };
    for (const CropCase& c : cases) {
        SCOPED_TRACE(c.name);
        TStartFixture f;
        // Only the size matters to the checks; an accepted rectangle reaches the copy, which
        // finds no file.
        f.Engine.InInfo.FileName = "/nonexistent/photo.tif";
        f.Engine.InInfo.Width = 5000;
        f.Engine.InInfo.Height = 4000;
        f.Engine.InInfo.ImageIsOk = true;
        f.Values.CurrentPanel = TPanel::Crop;
        f.Values.CropX = c.x;
        f.Values.CropY = c.y;
        f.Values.CropW = c.w;
        f.Values.CropH = c.h;

        f.Start.btStartClick();

        const std::string expected = c.expected;
        if (expected.empty()) {
            EXPECT_EQ(std::vector<std::string> { "File not found" }, f.Host.Errors);
            EXPECT_EQ(1, f.Host.DisableCount);
        } else {
            EXPECT_EQ(std::vector<std::string> { expected }, f.Host.Errors);
            EXPECT_EQ(0, f.Host.DisableCount);
        }
        EXPECT_EQ(0, f.Host.ShowCount);
        EXPECT_EQ("Operation aborted", f.Host.LastStatus());
    }
}

TEST(CropJob, WritesExactlyTheRectangle)
{
    struct Case {
        const char* name;
        uint32_t x, y, w, h;
    };
    const Case cases[] = {
        { "bottom_right_pixel", 6, 4, 1, 1 },
        { "whole_image", 0, 0, 7, 5 },
        { "inside", 2, 1, 3, 2 },
        { "right_column", 6, 0, 1, 5 },
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TTempDir dir;
        TStartFixture f;
        const TPixels image = f.SelectRaw(dir, "photo", 7, 5, 16);
        f.Values.CurrentPanel = TPanel::Crop;
        f.Values.Output = TOutputChoice::Raw;
        f.Values.EditOutputFolder = dir.File("out");
        std::filesystem::create_directory(dir.File("out"));
        f.Values.CropX = c.x;
        f.Values.CropY = c.y;
        f.Values.CropW = c.w;
        f.Values.CropH = c.h;

        f.Start.btStartClick();

        EXPECT_TRUE(f.Host.Errors.empty());
        EXPECT_EQ("Operation completed successfully", f.Host.LastStatus());
        const std::string name =
            "photo_" + std::to_string(c.w) + "X" + std::to_string(c.h) + ".raw";
        const auto written = ReadImage(dir.File("out/" + name), 16);
        ASSERT_TRUE(written.has_value());
        EXPECT_TRUE(SamePixels(CropOf(image, c.x, c.y, c.w, c.h), *written));
    }
}

// ---- Split and merge ----

TEST(SplitMergeJobs, SplitClampsToTheImageAndMergeRestoresIt)
{
    TTempDir dir;
    std::filesystem::create_directory(dir.File("tiles"));
    TStartFixture f;
    const TPixels image = f.SelectRaw(dir, "photo", 300, 520);
    f.Values.CurrentPanel = TPanel::Split;
    f.Values.Output = TOutputChoice::Tif;
    f.Values.EditOutputFolder = dir.File("tiles");
    f.Values.SplitWidth = 1000; // wider than the image: one column
    f.Values.SplitHeight = 256;

    f.Start.btStartClick();

    EXPECT_TRUE(f.Host.Errors.empty());
    EXPECT_EQ("Operation completed successfully", f.Host.LastStatus());
    EXPECT_EQ(300, f.Values.SplitWidth);
    EXPECT_EQ(1, f.Values.SplitX);
    EXPECT_EQ(3, f.Values.SplitY);
    const std::vector<std::string> tiles { "photo_300X256_x1y1.tif", "photo_300X256_x1y2.tif",
        "photo_300X8_x1y3.tif" };
    EXPECT_EQ(tiles, NamesIn(dir.File("tiles")));

    // The window's tile selection, in another order than the split wrote them.
    f.Values.CurrentPanel = TPanel::Merge;
    f.Values.Output = TOutputChoice::Kro;
    f.Values.EditOutputFolder = "";
    f.Values.SelectedFiles = { dir.File("tiles/" + tiles[2]), dir.File("tiles/" + tiles[0]),
        dir.File("tiles/" + tiles[1]) };
    f.Values.MergeX = 1;
    f.Values.MergeY = 3;
    f.Host.Errors.clear();

    f.Start.btStartClick();

    EXPECT_TRUE(f.Host.Errors.empty());
    EXPECT_EQ("Operation completed successfully", f.Host.LastStatus());
    const auto merged = ReadImage(dir.File("tiles/photo.kro"));
    ASSERT_TRUE(merged.has_value());
    EXPECT_TRUE(SamePixels(WithChannels(image, 4), *merged));
}

TEST(SplitMergeJobs, MergeKeepsTheCurrentInputsDepth)
{
    TTempDir dir;
    TStartFixture f;
    const TPixels tile = PatternImage(4, 3, 8, 3);
    ASSERT_TRUE(WriteRaw(dir.File("t_4X3_x1y1.raw"), tile));
    f.SelectRaw(dir, "photo", 5, 5, 16);
    f.Values.CurrentPanel = TPanel::Merge;
    f.Values.Output = TOutputChoice::Kro;
    f.Values.SelectedFiles = { dir.File("t_4X3_x1y1.raw") };
    f.Values.MergeX = 1;
    f.Values.MergeY = 1;

    f.Start.btStartClick();

    EXPECT_EQ("Operation completed successfully", f.Host.LastStatus());
    EXPECT_EQ(16, f.Engine.InInfo.Bits);
    const auto merged = ReadImage(dir.File("t.kro"));
    ASSERT_TRUE(merged.has_value());
    EXPECT_TRUE(SamePixels(WithChannels(tile, 4), *merged));
}

TEST(MergeJob, CountsMustFitTheGrid)
{
    struct Case {
        const char* name;
        int64_t columns, rows;
        size_t files;
        const char* expected;
    };
    const Case cases[] = {
        { "one_missing", 3, 2, 5, "One or more files are missing.\r\nPlease select 6 files" },
        { "one_too_many", 3, 2, 7, "Too many files selected.\r\nPlease select 6 files" },
        { "no_grid", 0, 0, 2, "Too many files selected.\r\nPlease select 0 files" },
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TStartFixture f;
        f.Values.CurrentPanel = TPanel::Merge;
        f.Values.MergeX = c.columns;
        f.Values.MergeY = c.rows;
        for (size_t i = 0; i < c.files; ++i) {
            f.Values.SelectedFiles.push_back("/nonexistent/t_x" + std::to_string(i) + "y1.tif");
        }
        f.Start.btStartClick();
        EXPECT_EQ(std::vector<std::string> { c.expected }, f.Host.Errors);
        EXPECT_EQ("Operation aborted", f.Host.LastStatus());
        EXPECT_EQ(0, f.Host.DisableCount);
        EXPECT_EQ(0, f.Host.ShowCount);
    }
}

TEST(SelectInputFile, ValidInputIsShownAndDerivesTheCounts)
{
    TTempDir dir;
    TStartFixture f;
    f.Values.SplitWidth = 256;
    f.Values.SplitHeight = 256;
    f.SelectRaw(dir, "photo", 600, 300);
    f.Start.jvSplitWidthChange(TPanelField::SplitWidth);
    EXPECT_EQ("Image is valid", f.Host.LastStatus());
    EXPECT_EQ(3, f.Values.SplitX);
    EXPECT_EQ(2, f.Values.SplitY);
    EXPECT_EQ(f.Host.DisableCount, f.Host.EnableCount);
}

} // namespace
