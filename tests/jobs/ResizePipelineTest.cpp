// The Resize job's streamed passes, seen through the I/O seam: tiles are read straight from the
// input and shrunk tiles joined in memory (no tile file is ever created), and abort and pause
// work whichever of the job's threads (reader, workers, writer) is at work; a pause in any step
// holds the output's name until Continue or Abort.
#include <algorithm>
#include <atomic>
#include <fcntl.h>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "engine/TavmorManager.h"
#include "jobs/FakeHost.h"
#include "jobs/JobTexts.h"
#include "jobs/ResizeFixture.h"
#include "jobs/TavmorJobs.h"
#include "support/FaultSeam.h"
#include "support/RecordingDialogs.h"
#include "support/TestImages.h"

namespace {

using namespace TestImages;

const std::string kTemp = "$$$TEMP$$$RESIZER$$$";

/// Watches the job's calls: the files it creates, how far it has read the input, and a hook
/// called before every read of the input and every write, with whether the call came from
/// another thread than the job's own.
class TWatchingSeam : public TFaultSeam {
public:
    explicit TWatchingSeam(std::string input)
        : FInput(std::move(input))
    {
    }

    std::function<void(TFaultKind kind, bool offJobThread)> OnTransfer;
    /// Bytes from the input's start up to the end of the furthest read.
    std::atomic<int64_t> FurthestRead { 0 };

    /// Paths of the files created (named or unnamed), lock files aside.
    std::vector<std::string> Created()
    {
        const std::lock_guard<std::mutex> lock(FLock);
        return FCreated;
    }

    int Open(const char* path, int flags, mode_t mode) override
    {
        const int fd = TFaultSeam::Open(path, flags, mode);
        const std::string name = path;
        const std::lock_guard<std::mutex> lock(FLock);
        const bool creates = (flags & O_CREAT) != 0 || (flags & O_TMPFILE) == O_TMPFILE;
        if (fd >= 0 && creates && !name.ends_with(".lock")) {
            FCreated.push_back(name);
        }
        if (fd >= 0 && name == FInput) {
            FInputFd = fd;
        }
        return fd;
    }
    ssize_t Read(int fd, void* buffer, size_t count) override
    {
        if (fd == FInputFd) {
            Transfer(TFaultKind::Read);
        }
        return TFaultSeam::Read(fd, buffer, count);
    }
    ssize_t PRead(int fd, void* buffer, size_t count, int64_t offset) override
    {
        if (fd == FInputFd) {
            int64_t seen = FurthestRead.load();
            const int64_t end = offset + int64_t(count);
            while (end > seen && !FurthestRead.compare_exchange_weak(seen, end)) { }
            Transfer(TFaultKind::Read);
        }
        return TFaultSeam::PRead(fd, buffer, count, offset);
    }
    ssize_t Write(int fd, const void* buffer, size_t count) override
    {
        Transfer(TFaultKind::Write);
        return TFaultSeam::Write(fd, buffer, count);
    }
    ssize_t PWrite(int fd, const void* buffer, size_t count, int64_t offset) override
    {
        Transfer(TFaultKind::Write);
        return TFaultSeam::PWrite(fd, buffer, count, offset);
    }

private:
    void Transfer(TFaultKind kind)
    {
        if (OnTransfer) {
            OnTransfer(kind, std::this_thread::get_id() != FJobThread);
        }
    }

    const std::string FInput;
    const std::thread::id FJobThread = std::this_thread::get_id();
    std::atomic<int> FInputFd { -1 };
    std::mutex FLock;
    std::vector<std::string> FCreated;
};

/// One Resize job of a named input.
struct TPipelineRun : TResizeFixture {
    TPipelineRun(const std::string& name, const TPixels& image) { SelectNamedInput(name, image); }

    /// Aborted, silently, with nothing left anywhere and the input as it was.
    void ExpectNothingLeft()
    {
        EXPECT_NE(TOutcome::Done, Result.Outcome);
        EXPECT_TRUE(Engine.Abort);
        EXPECT_EQ(std::vector<std::string> {}, Host.Errors);
        EXPECT_EQ(std::vector<std::string> {}, Dialogs.All);
        EXPECT_EQ(std::vector<std::string> {}, OutDir.Names());
        EXPECT_EQ(1u, InDir.Names().size());
        EXPECT_EQ(InputBytes, ReadBytes(InputPath));
        EXPECT_EQ(InputPath, Engine.InInfo.FileName);
        EXPECT_FALSE(Host.ProgressVisible);
    }
};

std::vector<std::string> InTemporaryFolder(const std::vector<std::string>& paths)
{
    std::vector<std::string> names;
    for (const std::string& path : paths) {
        if (path.find(kTemp) != std::string::npos) {
            names.push_back(path);
        }
    }
    return names;
}

TEST(ResizePipeline, TilesAreReadStraightFromTheInputAndNoTileFileIsMade)
{
    struct Case {
        const char* name;
        const char* input;
        int64_t target;
        bool fast;
        size_t created; ///< files made in the temporary folder: the intermediates
    };
    // 20000 x 100: two tiles of 10000 x 100 shrunk by 10. To 1000 the final worker then halves
    // the intermediate; to 2000 (fast) the tiling pass writes the output itself.
    const Case cases[] = {
        { "TIFF, then the final worker", "pano.tif", 1000, false, 1 },
        { "TIFF straight into the output", "pano.tif", 2000, true, 0 },
        { "KRO, then the final worker", "pano.kro", 1000, true, 1 },
        { "RAW straight into the output", "pano_20000X100.raw", 2000, true, 0 },
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const uint8_t channels = std::string(c.input).ends_with(".kro") ? 4 : 3;
        TPipelineRun run(c.input, PatternImage(20000, 100, 8, channels));
        TWatchingSeam seam(run.InputPath);
        run.Resize(seam, c.target, c.fast);

        EXPECT_EQ(TOutcome::Done, run.Result.Outcome);
        EXPECT_EQ(std::vector<std::string> { "pano.tif" }, run.OutDir.Names());
        const std::vector<std::string> created = InTemporaryFolder(seam.Created());
        EXPECT_EQ(c.created, created.size());
        for (const std::string& path : created) {
            EXPECT_EQ(std::string::npos, path.find("_x1y1")) << path;
        }
    }
}

TEST(ResizePipeline, AbortInEveryStageLeavesNothingBehind)
{
    enum class TStage { Reader, Workers, Writer };
    struct Case {
        const char* name;
        TStage stage;
        int64_t target;
        bool fast;
    };
    // 20000 x 400 TIFF: two tiles; to 1000 an intermediate and the final worker follow, to 2000
    // (fast) the tiling pass writes the output (its writer's writes come from its own thread).
    const Case cases[] = {
        { "while the reader reads the input", TStage::Reader, 1000, false },
        { "while the workers resize", TStage::Workers, 1000, false },
        { "while the writer writes the output", TStage::Writer, 2000, true },
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TPipelineRun run("pano.tif", PatternImage(20000, 400, 8, 3));
        TWatchingSeam seam(run.InputPath);
        std::atomic<int> calls { 0 };
        std::atomic<bool> aborted { false };
        const auto abort = [&] {
            if (!aborted.exchange(true)) {
                run.Jobs.ConfirmAbort(true);
            }
        };
        seam.OnTransfer = [&](TFaultKind kind, bool offJobThread) {
            const bool watched = offJobThread
                && ((c.stage == TStage::Reader && kind == TFaultKind::Read)
                    || (c.stage == TStage::Writer && kind == TFaultKind::Write));
            if (watched && ++calls == 3) {
                abort();
            }
        };
        int looks = 0;
        run.Host.OnProcessMessages = [&] {
            // Once every tile is handed out the workers are at it.
            if (c.stage == TStage::Workers && run.Host.ProgressVisible
                && run.Host.LastCaption == JobText::ResizeStepTiles && ++looks == 4) {
                abort();
            }
        };
        run.Resize(seam, c.target, c.fast);

        EXPECT_TRUE(aborted);
        run.ExpectNothingLeft();
    }
}

TEST(ResizePipeline, PauseHoldsTheNextBandWhileTheTileInWorkGoesOn)
{
    // 100 x 12000 RAW to 80: one column, bands of 10000 and 2000 lines, every line needed.
    const TPixels image = PatternImage(100, 12000, 8, 3);
    TPipelineRun run("pano_100X12000.raw", image);
    TWatchingSeam seam(run.InputPath);
    const int64_t lineBytes = 100 * 3;
    const int64_t firstBand = 10000 * lineBytes;
    enum class TStage { Before, Paused, Continued } stage = TStage::Before;
    size_t positionsAtPause = 0;
    int tileLooks = 0;
    int pausedLooks = 0;
    int64_t readWhilePaused = 0;
    run.Host.OnProcessMessages = [&] {
        if (stage == TStage::Before) {
            // The step's first look is its first status line, the second the gauge's move
            // right after the first band's worker started: Pause is clicked there.
            if (run.Host.LastCaption == JobText::ResizeStepTiles && run.Host.ProgressVisible
                && ++tileLooks == 2) {
                run.Jobs.TogglePause();
                stage = TStage::Paused;
            }
            return;
        }
        if (stage != TStage::Paused) {
            return;
        }
        if (++pausedLooks == 1) {
            positionsAtPause = run.Host.Positions.size();
        }
        // Nothing is collected and no band starts; the worker, the reader and the writer go on.
        EXPECT_EQ(positionsAtPause, run.Host.Positions.size());
        readWhilePaused = seam.FurthestRead.load();
        // Continue a few looks after the first band's lines are all read (or give up waiting).
        if ((readWhilePaused >= firstBand && pausedLooks >= 4) || pausedLooks > 400) {
            run.Jobs.TogglePause();
            stage = TStage::Continued;
        }
    };
    run.Resize(seam, 80, false);

    EXPECT_EQ(TStage::Continued, stage);
    // The first band was read to its end while paused; the second band's tile, not started,
    // took nothing, so the reader stopped a ring of lines (fewer than the band's 2000) ahead.
    EXPECT_GE(readWhilePaused, firstBand);
    EXPECT_LT(readWhilePaused, int64_t(run.InputBytes.size()));
    EXPECT_EQ((std::vector<bool> { true, false }), run.Host.PausedStates);
    EXPECT_EQ(TOutcome::Done, run.Result.Outcome);
    EXPECT_EQ(std::vector<std::string> { "pano.tif" }, run.OutDir.Names());
    EXPECT_EQ(int64_t(run.InputBytes.size()), seam.FurthestRead.load());
}

TEST(ResizePipeline, PauseInEveryStepHoldsTheOutputUntilContinueOrAbort)
{
    // 20000 x 100 TIFF to 1000, slow: the tiling pass (steps 1 to 3) into the intermediate, then
    // the final worker into the output (step 4).
    const TPixels image = PatternImage(20000, 100, 8, 3);
    std::vector<uint8_t> unpaused;
    {
        TPipelineRun run("pano.tif", image);
        TFaultSeam plain;
        run.Resize(plain, 1000, false);
        ASSERT_EQ(std::vector<std::string> { "pano.tif" }, run.OutDir.Names());
        unpaused = ReadBytes(run.OutDir.File("pano.tif"));
    }
    const char* const steps[] = { JobText::ResizeStepSplit, JobText::ResizeStepTiles,
        JobText::ResizeStepMerge, JobText::ResizeStepFinal };
    for (const char* step : steps) {
        for (const bool abort : { false, true }) {
            SCOPED_TRACE(std::string(step) + (abort ? ", then Abort" : ", then Continue"));
            TPipelineRun run("pano.tif", image);
            int pausedLooks = 0;
            bool namedWhilePaused = false;
            run.Host.OnProcessMessages = [&] {
                if (pausedLooks == 0 && run.Host.ProgressVisible && run.Host.LastCaption == step
                    && !run.Jobs.Paused) {
                    run.Jobs.TogglePause();
                    pausedLooks = 1;
                    return;
                }
                if (pausedLooks == 0 || !run.Jobs.Paused) {
                    return;
                }
                // Whatever the pass's threads finish meanwhile, the output takes no name.
                const std::vector<std::string> names = run.OutDir.Names();
                namedWhilePaused = namedWhilePaused
                    || std::find(names.begin(), names.end(), "pano.tif") != names.end();
                if (++pausedLooks == 6) {
                    if (abort) {
                        run.Jobs.ConfirmAbort(true);
                    } else {
                        run.Jobs.TogglePause();
                    }
                }
            };
            TFaultSeam plain;
            run.Resize(plain, 1000, false);

            EXPECT_EQ(6, pausedLooks);
            EXPECT_FALSE(namedWhilePaused);
            if (abort) {
                run.ExpectNothingLeft();
                continue;
            }
            EXPECT_EQ(TOutcome::Done, run.Result.Outcome);
            EXPECT_EQ((std::vector<bool> { true, false }), run.Host.PausedStates);
            ASSERT_EQ(std::vector<std::string> { "pano.tif" }, run.OutDir.Names());
            EXPECT_EQ(unpaused, ReadBytes(run.OutDir.File("pano.tif")));
        }
    }
}

} // namespace
