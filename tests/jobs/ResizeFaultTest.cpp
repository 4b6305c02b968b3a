// Faults inside the Resize job: the n-th open, read, write, sync, rename (or link) or close of
// the job's files fails (reading the input, writing and reading the intermediate, writing and
// committing the output, on whichever of the job's threads it happens), and abort at every
// progress point. The job must end aborted with one message, leave nothing in the output folder
// (no temporary folder either) and no trace in the input's folder; the message names a file and
// the system's reason.
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

/// One Resize job of a 20000 x 20 image, fast: a tiling pass of two tiles (divider 10) into
/// the intermediate, then the final worker into the output (to 1000 pixels), or the tiling pass
/// straight into the output (to 2000 pixels).
struct TResizeRun {
    TTavmor Engine;
    TFakeHost Host;
    TRecordingDialogs Dialogs;
    TJobs Jobs { Engine, Host };
    TTempDir OutDir;
    TResizeRequest Request;
    TJobResult Result;

    TResizeRun(const std::string& input, const char* output, int64_t width)
    {
        Engine.Dialogs = &Dialogs;
        Request.Output.Folder = OutDir.Path();
        Request.Output.Kind = output;
        Request.Width = width;
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
    const char* input; ///< the input's name: a size-named RAW file or a TIFF
    const char* output; ///< the output kind
    int64_t width; ///< the target width
};

/// Failures name the row, not its bytes.
void PrintTo(const TResizeFaultCase& c, std::ostream* os)
{
    *os << c.name;
}

class ResizeFault : public ::testing::TestWithParam<TResizeFaultCase> { };

TEST_P(ResizeFault, EveryCallOfTheJobMayFail)
{
    const TResizeFaultCase& c = GetParam();
    TTempDir in;
    const std::string input = in.File(c.input);
    const TPixels image = PatternImage(20000, 20, 8, 3);
    ASSERT_TRUE(input.ends_with(".raw") ? WriteRaw(input, image) : WriteTiff(input, image));
    const std::vector<uint8_t> inputBytes = ReadBytes(input);

    TFaultSeam counting;
    std::vector<std::string> cleanNames;
    std::vector<uint8_t> cleanBytes;
    {
        TResizeRun run(input, c.output, c.width);
        run.Run(&counting);
        ASSERT_FALSE(run.Engine.Abort);
        ASSERT_TRUE(run.Host.Errors.empty()) << run.Host.Errors.front();
        cleanNames = run.OutDir.Names();
        ASSERT_EQ(cleanNames.size(), 1u);
        cleanBytes = ReadBytes(run.OutDir.File(cleanNames.front()));
    }
    {
        // Every read and write moved only in part, as the system may: the same output.
        TFaultSeam shortening;
        shortening.ShortTransfers = true;
        TResizeRun run(input, c.output, c.width);
        run.Run(&shortening);
        ASSERT_FALSE(run.Engine.Abort);
        ASSERT_EQ(run.OutDir.Names(), cleanNames);
        EXPECT_EQ(ReadBytes(run.OutDir.File(cleanNames.front())), cleanBytes);
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
        { "sync", &TFaultSeam::FailSyncAt, counting.Syncs },
        { "rename or link", &TFaultSeam::FailCommitAt, counting.Commits },
        { "close", &TFaultSeam::FailCloseAt, counting.Closes },
    };
    int points = 0;
    for (const TKind& kind : kinds) {
        ASSERT_GT(kind.calls, 0) << kind.name;
        for (int n = 1; n <= kind.calls; ++n) {
            SCOPED_TRACE(std::string(kind.name) + " " + std::to_string(n) + " of "
                + std::to_string(kind.calls));
            TFaultSeam seam;
            seam.*kind.failAt = n;
            seam.Error = std::string(kind.name) == "write" ? ENOSPC : EIO;
            TResizeRun run(input, c.output, c.width);
            run.Run(&seam);
            ++points;
            if (run.Engine.Abort) {
                // Whichever thread met the fault, the message names a file and the system's
                // reason.
                ASSERT_FALSE(run.Dialogs.Details.empty());
                EXPECT_FALSE(run.Dialogs.Details.back().first.empty());
                EXPECT_THAT(
                    run.Dialogs.Details.back().second, HasSubstr(std::strerror(seam.Error)));
            }
            if (run.Engine.Abort) {
                EXPECT_NE(run.Result.Outcome, TOutcome::Done);
                // One message: a failure on one thread must not be told again by the others.
                EXPECT_EQ(run.Host.Errors.size() + run.Dialogs.All.size(), 1u);
                EXPECT_EQ(run.OutDir.Names(), std::vector<std::string> {});
            } else {
                // A fault the job got over (a failed close of an input): the clean result.
                EXPECT_TRUE(run.Host.Errors.empty()) << run.Host.Errors.front();
                EXPECT_EQ(run.OutDir.Names(), cleanNames);
            }
            EXPECT_FALSE(run.Host.ProgressVisible);
            EXPECT_EQ(in.Names(), std::vector<std::string> { c.input });
            if (HasFailure()) {
                return;
            }
        }
    }
    EXPECT_EQ(ReadBytes(input), inputBytes);
    RecordProperty("FaultPoints", points);
}

INSTANTIATE_TEST_SUITE_P(Outputs, ResizeFault,
    ::testing::Values(TResizeFaultCase { "RawToTif", "pano_20000X20.raw", "tif", 1000 },
        TResizeFaultCase { "RawToKro", "pano_20000X20.raw", "kro", 1000 },
        TResizeFaultCase { "TifToTif", "pano.tif", "tif", 1000 },
        TResizeFaultCase { "TifStraightIntoTheOutput", "pano.tif", "tif", 2000 }),
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
        TResizeRun run(input, "tif", 1000);
        // The window offers Abort while its progress panel is shown.
        run.Host.OnProcessMessages = [&] { points += run.Host.ProgressVisible ? 1 : 0; };
        run.Run(nullptr);
        ASSERT_FALSE(run.Engine.Abort);
    }
    ASSERT_GT(points, 3);
    for (int k = 1; k <= points; ++k) {
        SCOPED_TRACE("abort at point " + std::to_string(k) + " of " + std::to_string(points));
        TResizeRun run(input, "tif", 1000);
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
