// Faults inside the Resize job: the n-th open, read, write or close of the engine's files
// fails (the split into tiles, the workers' loads and saves of tiles, the merge of the shrunk
// tiles, the copies in and out of the temporary folder), and abort at every progress point.
// The job must end aborted with one message, leave nothing in the output folder (no temporary
// folder either) and no trace in the input's folder; a worker's failure names its tile and the
// system's reason.
#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <ostream>
#include <string>
#include <vector>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "engine/TavmorManager.h"
#include "jobs/FakeHost.h"
#include "jobs/JobTexts.h"
#include "jobs/TavmorJobs.h"
#include "support/FaultSeam.h"
#include "support/RecordingDialogs.h"
#include "support/TestImages.h"

namespace {

using namespace TestImages;
using ::testing::HasSubstr;

/// One Resize job of a 20000 x 20 RAW image to 1000 pixels: a tiling pass of two tiles
/// (split, two workers, merge), then the final worker and the final copy.
struct TResizeRun {
    TTavmor Engine;
    TFakeHost Host;
    TRecordingDialogs Dialogs;
    TJobs Jobs { Engine, Host };
    TTempDir OutDir;
    TResizeRequest Request;
    TJobResult Result;

    TResizeRun(const std::string& input, const char* output)
    {
        Engine.Dialogs = &Dialogs;
        Request.Output.Folder = OutDir.Path();
        Request.Output.Kind = output;
        Request.Width = 1000;
        Request.Fast = true;
        EXPECT_TRUE(Jobs.SelectInputFile(input));
        Host.Statuses.clear();
    }
    void Run(TIoSeam* seam)
    {
        SetIoSeam(seam);
        Result = Jobs.RunResize(Request);
        SetIoSeam(nullptr);
    }
};

struct TResizeFaultCase {
    const char* name;
    const char* output; ///< the output kind
};

/// Failures name the row, not its bytes.
void PrintTo(const TResizeFaultCase& c, std::ostream* os)
{
    *os << c.name;
}

class ResizeFault : public ::testing::TestWithParam<TResizeFaultCase> { };

TEST_P(ResizeFault, EveryCallOfTheJobMayFail)
{
    TTempDir in;
    const std::string input = in.File("pano_20000X20.raw");
    ASSERT_TRUE(WriteRaw(input, PatternImage(20000, 20, 8, 3)));
    const std::vector<uint8_t> inputBytes = ReadBytes(input);

    TFaultSeam counting;
    std::vector<std::string> cleanNames;
    {
        TResizeRun run(input, GetParam().output);
        run.Run(&counting);
        ASSERT_FALSE(run.Engine.Abort);
        ASSERT_TRUE(run.Host.Errors.empty()) << run.Host.Errors.front();
        cleanNames = run.OutDir.Names();
        ASSERT_EQ(cleanNames.size(), 1u);
    }
    struct TKind {
        const char* name;
        int TFaultSeam::*failAt;
        int calls;
    };
    const TKind kinds[] = {
        { "open", &TFaultSeam::FailOpenAt, counting.Opens },
        { "read", &TFaultSeam::FailReadAt, counting.Reads },
        { "write", &TFaultSeam::FailWriteAt, counting.Writes },
        { "close", &TFaultSeam::FailCloseAt, counting.Closes },
    };
    int points = 0;
    int workerFaults = 0;
    for (const TKind& kind : kinds) {
        ASSERT_GT(kind.calls, 0) << kind.name;
        for (int n = 1; n <= kind.calls; ++n) {
            SCOPED_TRACE(std::string(kind.name) + " " + std::to_string(n) + " of "
                + std::to_string(kind.calls));
            TFaultSeam seam;
            seam.*kind.failAt = n;
            seam.Error = std::string(kind.name) == "write" ? ENOSPC : EIO;
            TResizeRun run(input, GetParam().output);
            run.Run(&seam);
            ++points;
            if (run.Host.Errors == std::vector<std::string> { JobText::ErrorResizing }) {
                ++workerFaults;
                ASSERT_FALSE(run.Dialogs.Details.empty());
                EXPECT_THAT(
                    run.Dialogs.Details.back().second, HasSubstr(std::strerror(seam.Error)));
            }
            if (run.Engine.Abort) {
                EXPECT_NE(run.Result.Outcome, TOutcome::Done);
                EXPECT_FALSE(run.Host.Errors.empty() && run.Dialogs.All.empty())
                    << "a silent failure";
                EXPECT_EQ(run.OutDir.Names(), std::vector<std::string> {});
            } else {
                // A fault the job got over (a failed close of an input): the clean result.
                EXPECT_TRUE(run.Host.Errors.empty()) << run.Host.Errors.front();
                EXPECT_EQ(run.OutDir.Names(), cleanNames);
            }
            EXPECT_FALSE(run.Host.ProgressVisible);
            EXPECT_EQ(in.Names(), std::vector<std::string> { "pano_20000X20.raw" });
            if (HasFailure()) {
                return;
            }
        }
    }
    EXPECT_EQ(ReadBytes(input), inputBytes);
    // The workers' own loads and saves go through the seam too.
    EXPECT_GT(workerFaults, 0);
    RecordProperty("FaultPoints", points);
    RecordProperty("WorkerFaults", workerFaults);
}

INSTANTIATE_TEST_SUITE_P(Outputs, ResizeFault,
    ::testing::Values(TResizeFaultCase { "Tif", "tif" }, TResizeFaultCase { "Kro", "kro" }),
    [](const ::testing::TestParamInfo<TResizeFaultCase>& info) {
        return std::string(info.param.name);
    });

TEST(ResizeAbort, AtEveryProgressPointLeavesNothingBehind)
{
    TTempDir in;
    const std::string input = in.File("pano_20000X20.raw");
    ASSERT_TRUE(WriteRaw(input, PatternImage(20000, 20, 8, 3)));
    int points = 0;
    {
        TResizeRun run(input, "tif");
        // The window offers Abort while its progress panel is shown.
        run.Host.OnProcessMessages = [&] { points += run.Host.ProgressVisible ? 1 : 0; };
        run.Run(nullptr);
        ASSERT_FALSE(run.Engine.Abort);
    }
    ASSERT_GT(points, 3);
    for (int k = 1; k <= points; ++k) {
        SCOPED_TRACE("abort at point " + std::to_string(k) + " of " + std::to_string(points));
        TResizeRun run(input, "tif");
        int seen = 0;
        run.Host.OnProcessMessages = [&] {
            if (run.Host.ProgressVisible && ++seen == k) {
                run.Jobs.ConfirmAbort(true);
            }
        };
        run.Run(nullptr);
        if (seen < k) {
            continue; // the workers are polled by time: this run had fewer points
        }
        EXPECT_TRUE(run.Engine.Abort);
        EXPECT_NE(run.Result.Outcome, TOutcome::Done);
        EXPECT_TRUE(run.Host.Errors.empty()) << run.Host.Errors.front();
        EXPECT_EQ(run.OutDir.Names(), std::vector<std::string> {});
        EXPECT_FALSE(run.Host.ProgressVisible);
        EXPECT_EQ(in.Names(), std::vector<std::string> { "pano_20000X20.raw" });
        if (HasFailure()) {
            return;
        }
    }
    RecordProperty("AbortPoints", points);
}

} // namespace
