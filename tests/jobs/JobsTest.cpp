// The jobs against a recording host: output settings and folder, input selection, an empty
// merge, and the progress, pause and abort logic behind the engine's hooks.
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

// ---- Output options and folder ----

TEST(SetOutputOptions, EachChoiceSetsTypeAndLzw)
{
    struct Case {
        const char* kind;
        FileType type;
        bool lzw;
    };
    const Case cases[] = {
        { "tif", FileType::TIF, false },
        { "tif-lzw", FileType::TIF, true },
        { "raw", FileType::RAW, false },
        { "kro", FileType::KRO, false },
        { "jpeg", FileType::NV, false },
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.kind);
        TJobsFixture f;
        // Left over from an earlier job: must not survive.
        f.Engine.Lzw = true;
        f.Engine.OutInfo.ImageType = FileType::NV;
        TOutputRequest output;
        output.Kind = c.kind;
        f.Jobs.SetOutputOptions(output);
        EXPECT_EQ(c.type, f.Engine.OutInfo.ImageType);
        EXPECT_EQ(c.lzw, f.Engine.Lzw);
    }
}

TEST(OutputFolderFor, ChosenFolderOrTheInputsOwn)
{
    TTempDir dir;
    const std::string chosen = dir.File("chosen");
    std::filesystem::create_directory(chosen);
    const std::string deleted = dir.File("deleted");
    const std::string input = "/some/where/photo.tif";
    struct Case {
        const char* name;
        std::string field;
        std::string fileName;
        std::string expected;
    };
    const Case cases[] = {
        { "empty_field_gives_input_folder", "", input, "/some/where/" },
        { "existing_folder_gets_separator", chosen, input, chosen + "/" },
        { "trailing_separator_kept_single", chosen + "/", input, chosen + "/" },
        { "deleted_folder_gives_input_folder", deleted, input, "/some/where/" },
        { "bare_name_stays_in_working_folder", "", "photo.tif", "./" },
        { "no_input_yet", "", "", "./" },
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TJobsFixture f;
        EXPECT_EQ(c.expected, f.Jobs.OutputFolderFor(c.fileName, c.field));
    }
}

TEST(MergeJob, NothingSelectedLeavesAbortAsItWas)
{
    for (const bool before : { false, true }) {
        SCOPED_TRACE(before);
        TJobsFixture f;
        f.Engine.Abort = before;
        f.Jobs.RunMerge({});
        EXPECT_EQ(before, f.Engine.Abort);
        EXPECT_TRUE(f.Host.Errors.empty());
        EXPECT_EQ(0, f.Host.DisableCount);
    }
}

// ---- Input selection ----

TEST(SelectInputFile, MissingFileChangesNothing)
{
    TTempDir dir;
    TJobsFixture f;
    f.SelectRaw(dir, "photo", 7, 5);
    f.Host.Statuses.clear();
    EXPECT_FALSE(f.Jobs.SelectInputFile(dir.File("other_7X5.raw")));
    EXPECT_EQ(dir.File("photo_7X5.raw"), f.Engine.InInfo.FileName);
    EXPECT_TRUE(f.Engine.InInfo.ImageIsOk);
    EXPECT_TRUE(f.Host.Statuses.empty());
}

TEST(SelectInputFile, RefusesImagesBeyondTheLimit)
{
    TTempDir dir;
    TJobsFixture f;
    // A RAW file is known by its name and length alone: a sparse file stands in for it.
    const std::string path = dir.File("wide_100000001X1.raw");
    {
        std::FILE* file = std::fopen(path.c_str(), "wb");
        ASSERT_NE(nullptr, file);
        std::fclose(file);
    }
    std::filesystem::resize_file(path, 300000003);
    TRecordingDialogs dialogs;
    f.Engine.Dialogs = &dialogs;
    EXPECT_FALSE(f.Jobs.SelectInputFile(path));
    // Refused once, whether by the probe or by the selection's own check.
    std::vector<std::string> shown = dialogs.All;
    shown.insert(shown.end(), f.Host.Errors.begin(), f.Host.Errors.end());
    EXPECT_EQ(std::vector<std::string> { "Image dimensions exceed internal limits" }, shown);
    EXPECT_FALSE(f.Engine.InInfo.ImageIsOk);
    EXPECT_NE("Image is valid", f.Host.LastStatus());
}

// ---- Progress, pause and abort presentation ----

TEST(Progress, ShowClearsAbortAndPause)
{
    TJobsFixture f;
    f.Engine.Abort = true;
    f.Jobs.Paused = true;
    f.Jobs.ShowProgress(100, "Step 1/4");
    EXPECT_FALSE(f.Engine.Abort);
    EXPECT_FALSE(f.Jobs.Paused);
    EXPECT_EQ(100, f.Host.LastMax);
    EXPECT_EQ("Step 1/4", f.Host.LastCaption);
    EXPECT_TRUE(f.Host.ProgressVisible);
}

TEST(Progress, UpdateHandlesMessagesBeforeMovingTheGauge)
{
    TJobsFixture f;
    std::vector<size_t> positionsSeen;
    f.Host.OnProcessMessages = [&] { positionsSeen.push_back(f.Host.Positions.size()); };
    f.Jobs.UpdateProgress(7);
    f.Jobs.UpdateProgress(14);
    EXPECT_EQ((std::vector<size_t> { 0, 1 }), positionsSeen);
    EXPECT_EQ((std::vector<int32_t> { 7, 14 }), f.Host.Positions);
}

TEST(Progress, ConfirmAbortSetsOrWithdraws)
{
    TJobsFixture f;
    f.Jobs.TogglePause();
    EXPECT_TRUE(f.Jobs.Paused);
    f.Jobs.ConfirmAbort(true);
    EXPECT_TRUE(f.Engine.Abort);
    EXPECT_FALSE(f.Jobs.Paused);
    f.Jobs.ConfirmAbort(false);
    EXPECT_FALSE(f.Engine.Abort);
    // The paused presentation stays until the next progress display.
    EXPECT_EQ(std::vector<bool> { true }, f.Host.PausedStates);
}

} // namespace
