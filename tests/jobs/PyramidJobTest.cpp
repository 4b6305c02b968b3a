// The Pyramid job end to end against a recording host: the exact tree of each layout and the
// pixels of every tile against the levels, bytes independent of the number of workers, alpha
// flattened for JPEG, and failure, abort and overwrite leaving the right things behind.
#include "jobs/PyramidJob.h"

#include <algorithm>
#include <atomic>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include <tiffio.h>

#include <gtest/gtest.h>

#include "engine/TavmorManager.h"
#include "jobs/FakeHost.h"
#include "jobs/TavmorJobs.h"
#include "resample/EightBitRows.h"
#include "resample/HalvingLevels.h"
#include "support/FaultSeam.h"
#include "support/RecordingDialogs.h"
#include "support/TestImages.h"
#include "support/TileDecoders.h"

namespace {

using namespace TestImages;
namespace fs = std::filesystem;

/// One engine, the recording host and dialogs, and the jobs bound to them.
struct TPyramidFixture {
    TPyramidFixture() { Engine.Dialogs = &Dialogs; }

    /// Writes image as dir/name and selects it as the input.
    void Select(const TTempDir& dir, const std::string& name, const TPixels& image)
    {
        ASSERT_TRUE(WriteTiff(dir.File(name), image));
        ASSERT_TRUE(Jobs.SelectInputFile(dir.File(name)));
    }

    TTavmor Engine;
    TFakeHost Host;
    TRecordingDialogs Dialogs;
    TJobs Jobs { Engine, Host };
};

/// Every file under root, by path relative to it, with its bytes.
std::map<std::string, std::vector<uint8_t>> FilesUnder(const std::string& root)
{
    std::map<std::string, std::vector<uint8_t>> files;
    for (const auto& entry : fs::recursive_directory_iterator(root)) {
        if (entry.is_regular_file()) {
            files[fs::relative(entry.path(), root).string()] = ReadBytes(entry.path().string());
        }
    }
    return files;
}

/// The 8-bit levels of an image as the job makes them: level[k] holds its rows one after the
/// other.
std::vector<std::vector<uint8_t>> LevelsOf(
    const TPixels& image, const TEightBitRowSpec& setup, uint32_t reductions)
{
    const uint8_t channels = EightBitChannels(setup);
    std::vector<std::vector<uint8_t>> levels(reductions + 1);
    THalvingLevels halving(image.Width, image.Height, channels, reductions);
    const THalvingLevels::TRowSink sink = [&](uint32_t level, uint32_t, const uint8_t* row) {
        levels[level].insert(
            levels[level].end(), row, row + size_t(LevelSide(image.Width, level)) * channels);
    };
    std::vector<uint8_t> source(size_t(image.Width) * image.Channels * 2);
    std::vector<uint8_t> row(size_t(image.Width) * channels);
    for (uint32_t y = 0; y < image.Height; ++y) {
        for (uint32_t i = 0; i < image.Width * image.Channels; ++i) {
            const uint32_t v = image.Samples[size_t(y) * image.Width * image.Channels + i];
            if (image.Bits == 16) {
                reinterpret_cast<uint16_t*>(source.data())[i] = static_cast<uint16_t>(v);
            } else {
                source[i] = static_cast<uint8_t>(v);
            }
        }
        ToEightBitRow(setup, source.data(), image.Width, row.data());
        halving.AddRow(row.data(), sink);
    }
    return levels;
}

/// Checks a decoded tile against [x0, x0 + tile.Width) x [y0, y0 + tile.Height) of a level.
::testing::AssertionResult TileMatches(const TTile& tile, const std::vector<uint8_t>& level,
    uint32_t levelWidth, uint32_t x0, uint32_t y0)
{
    for (uint32_t y = 0; y < tile.Height; ++y) {
        for (uint32_t x = 0; x < tile.Width; ++x) {
            for (uint32_t c = 0; c < tile.Channels; ++c) {
                const uint8_t expected =
                    level[((size_t(y0) + y) * levelWidth + x0 + x) * tile.Channels + c];
                if (tile.At(x, y, c) != expected) {
                    return ::testing::AssertionFailure()
                        << "pixel " << x << "," << y << " channel " << c << ": "
                        << int(tile.At(x, y, c)) << " instead of " << int(expected);
                }
            }
        }
    }
    return ::testing::AssertionSuccess();
}

TEST(PyramidJob, EachLayoutWritesExactlyItsTreeAndTheLevelsPixels)
{
    struct Case {
        const char* name;
        TPyramidLayoutKind layout;
        std::vector<std::string> entries;
    };
    const Case cases[] = {
        { "dzi", TPyramidLayoutKind::Dzi, { "in.tif", "p.dzi", "p_files" } },
        { "iiif", TPyramidLayoutKind::Iiif, { "in.tif", "p" } },
        { "tiff", TPyramidLayoutKind::Tiff, { "in.tif", "p.tif" } },
    };
    // 16-bit RGBA with odd sides: conversion, alpha and every odd edge at once. Lossless tiles
    // (PNG; Deflate in the TIFF) compare exactly.
    const TPixels image = PatternImage(77, 45, 16, 4);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TTempDir dir;
        TPyramidFixture f;
        f.Select(dir, "in.tif", image);
        TPyramidOptions options;
        options.Layout = c.layout;
        options.TileSize = 16;
        options.Overlap = 2;
        options.Suffix = ".png";
        options.Name = "p";
        ASSERT_EQ(TOutcome::Done, RunPyramid(f.Jobs, options).Outcome);
        EXPECT_EQ(c.entries, dir.Names());
        EXPECT_EQ(1, f.Host.ShowCount);
        EXPECT_EQ(1, f.Host.HideCount);
        EXPECT_TRUE(f.Host.Errors.empty());

        TPyramidLayoutSpec setup;
        setup.Kind = c.layout;
        setup.Width = image.Width;
        setup.Height = image.Height;
        setup.TileSize = 16;
        setup.Overlap = 2;
        setup.Extension = "png";
        setup.Name = "p";
        const TPyramidLayout layout(setup);
        TEightBitRowSpec rows;
        rows.Bits = 16;
        rows.Channels = 4;
        const auto levels =
            LevelsOf(image, rows, static_cast<uint32_t>(layout.Levels().size()) - 1);

        if (c.layout == TPyramidLayoutKind::Tiff) {
            TIFF* tif = TIFFOpen(dir.File("p.tif").c_str(), "r");
            ASSERT_NE(nullptr, tif);
            ASSERT_EQ(layout.Levels().size(), TIFFNumberOfDirectories(tif));
            for (const TPyramidLevel& level : layout.Levels()) {
                SCOPED_TRACE(level.Reduction);
                ASSERT_EQ(1, TIFFSetDirectory(tif, static_cast<tdir_t>(level.Reduction)));
                TTile tile { 16, 16, 4, std::vector<uint8_t>(16 * 16 * 4) };
                for (uint32_t r = 0; r < level.Rows.Count(); ++r) {
                    for (uint32_t col = 0; col < level.Columns.Count(); ++col) {
                        ASSERT_GT(
                            TIFFReadTile(tif, tile.Samples.data(), col * 16, r * 16, 0, 0), 0);
                        // Only the part inside the level; the rest is padding.
                        TTile inside = tile;
                        inside.Width = level.Columns.End(col) - level.Columns.Begin(col);
                        inside.Height = level.Rows.End(r) - level.Rows.Begin(r);
                        inside.Samples.clear();
                        for (uint32_t y = 0; y < inside.Height; ++y) {
                            inside.Samples.insert(inside.Samples.end(),
                                tile.Samples.begin() + y * 64,
                                tile.Samples.begin() + y * 64 + inside.Width * 4);
                        }
                        EXPECT_TRUE(TileMatches(
                            inside, levels[level.Reduction], level.Width, col * 16, r * 16));
                    }
                }
            }
            TIFFClose(tif);
            continue;
        }
        size_t tiles = 0;
        for (const TPyramidLevel& level : layout.Levels()) {
            for (uint32_t r = 0; r < level.Rows.Count(); ++r) {
                for (uint32_t col = 0; col < level.Columns.Count(); ++col) {
                    SCOPED_TRACE(layout.TilePath(level.Reduction, col, r));
                    const auto tile =
                        DecodePng(ReadBytes(dir.File(layout.TilePath(level.Reduction, col, r))));
                    ASSERT_TRUE(tile.has_value());
                    ASSERT_EQ(level.Columns.End(col) - level.Columns.Begin(col), tile->Width);
                    ASSERT_EQ(level.Rows.End(r) - level.Rows.Begin(r), tile->Height);
                    EXPECT_TRUE(TileMatches(*tile, levels[level.Reduction], level.Width,
                        level.Columns.Begin(col), level.Rows.Begin(r)));
                    ++tiles;
                }
            }
        }
        // Nothing else in the tree but the tiles and the descriptor.
        EXPECT_EQ(tiles + 1, FilesUnder(dir.Path()).size() - 1);
        const std::vector<uint8_t> descriptor = ReadBytes(dir.File(layout.Descriptor().first));
        EXPECT_EQ(layout.Descriptor().second, std::string(descriptor.begin(), descriptor.end()));
    }
}

TEST(PyramidJob, BytesDoNotDependOnTheWorkersOrTheRing)
{
    // One worker behind a ring of one batch runs every stage in turn; three workers behind the
    // usual ring or a long one let the reading, the encoders and the collecting run apart.
    struct Case {
        unsigned workers;
        unsigned depth;
    };
    const Case cases[] = { { 1, 1 }, { 3, 0 }, { 2, 9 } };
    const TPixels image = PatternImage(300, 170, 8, 3);
    for (const TPyramidLayoutKind layout : { TPyramidLayoutKind::Dzi, TPyramidLayoutKind::Tiff }) {
        SCOPED_TRACE(static_cast<int>(layout));
        std::map<std::string, std::vector<uint8_t>> first;
        for (const Case& c : cases) {
            SCOPED_TRACE(c.workers * 100 + c.depth);
            TTempDir dir;
            TPyramidFixture f;
            f.Select(dir, "in.tif", image);
            TPyramidOptions options;
            options.Layout = layout;
            options.TileSize = 32;
            options.Workers = c.workers;
            options.Depth = c.depth;
            options.Name = "p";
            ASSERT_EQ(TOutcome::Done, RunPyramid(f.Jobs, options).Outcome);
            const auto files = FilesUnder(dir.Path());
            if (first.empty()) {
                first = files;
            } else {
                EXPECT_TRUE(first == files);
            }
        }
    }
}

TEST(PyramidJob, JpegTilesShowAlphaOverTheBackground)
{
    TPixels image = PatternImage(40, 30, 8, 4);
    for (size_t i = 3; i < image.Samples.size(); i += 4) {
        image.Samples[i] = 0; // fully transparent
    }
    TTempDir dir;
    TPyramidFixture f;
    f.Select(dir, "in.tif", image);
    TPyramidOptions options;
    options.Background = { 0, 200, 0 };
    options.TileSize = 64;
    ASSERT_EQ(TOutcome::Done, RunPyramid(f.Jobs, options).Outcome);
    const auto tile = DecodeJpeg(ReadBytes(dir.File("in_files/6/0_0.jpg")));
    ASSERT_TRUE(tile.has_value());
    ASSERT_EQ(3, tile->Channels);
    // A flat colour survives JPEG within a level or two.
    for (uint32_t c = 0; c < 3; ++c) {
        EXPECT_NEAR(options.Background[c], tile->At(20, 15, c), 2);
    }
}

/// The fault seam that also sets the engine's Abort as the n-th read (of the input, on the
/// reading thread) returns, and counts the reads made after it.
class TAbortingSeam final : public TFaultSeam {
public:
    TAbortingSeam(std::atomic<bool>& abort, int abortAt)
        : FAbort(abort)
        , FAbortAt(abortAt)
    {
    }
    ssize_t Read(int fd, void* buffer, size_t count) override
    {
        return Count(TFaultSeam::Read(fd, buffer, count));
    }
    ssize_t PRead(int fd, void* buffer, size_t count, int64_t offset) override
    {
        return Count(TFaultSeam::PRead(fd, buffer, count, offset));
    }
    int ReadsAfterAbort = 0;

private:
    ssize_t Count(ssize_t result)
    {
        if (FAbort) {
            ++ReadsAfterAbort;
        } else if (FAbortAt != 0 && Reads == FAbortAt) {
            FAbort = true;
        }
        return result;
    }
    std::atomic<bool>& FAbort;
    int FAbortAt;
};

TEST(PyramidJob, AbortAndFailuresLeaveNothing)
{
    // One line a strip, so each line is a read of its own.
    const TPixels image = PatternImage(200, 300, 8, 3);
    enum class TStop : uint8_t {
        AbortInProgress, ///< the window's Abort, on the 20th report of progress
        AbortInRead, ///< Ctrl+C while a line is read
        FailWrite,
        FailRead,
    };
    struct Case {
        const char* name;
        TPyramidLayoutKind layout;
        TStop stop;
        int at; ///< the call (or the report of progress) that stops the job
        TOutcome outcome;
        std::string error;
    };
    const Case cases[] = {
        { "abort_dzi", TPyramidLayoutKind::Dzi, TStop::AbortInProgress, 20, TOutcome::Aborted, "" },
        { "abort_tiff", TPyramidLayoutKind::Tiff, TStop::AbortInProgress, 20, TOutcome::Aborted,
            "" },
        { "abort_while_reading", TPyramidLayoutKind::Tiff, TStop::AbortInRead, 10,
            TOutcome::Aborted, "" },
        { "tile_write_fails", TPyramidLayoutKind::Dzi, TStop::FailWrite, 5, TOutcome::Failed,
            "Write to file error" },
        { "tiff_write_fails", TPyramidLayoutKind::Tiff, TStop::FailWrite, 2, TOutcome::Failed,
            "Write to file error" },
        { "iiif_write_fails", TPyramidLayoutKind::Iiif, TStop::FailWrite, 30, TOutcome::Failed,
            "Write to file error" },
        { "read_fails", TPyramidLayoutKind::Dzi, TStop::FailRead, 12, TOutcome::Failed,
            "Read file error" },
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TTempDir dir;
        TPyramidFixture f;
        f.Select(dir, "in.tif", image);
        TPyramidOptions options;
        options.Layout = c.layout;
        options.TileSize = 32;
        options.Name = "p";
        // The fault seam counts each kind of call on one thread: reads on the reading thread,
        // writes on the one worker (tile files) or on the job's thread (TIFF).
        options.Workers = 1;
        int progressCalls = 0;
        f.Host.OnProcessMessages = [&] {
            if (c.stop == TStop::AbortInProgress && ++progressCalls == c.at) {
                f.Engine.Abort = true;
            }
        };
        TAbortingSeam seam(f.Engine.Abort, c.stop == TStop::AbortInRead ? c.at : 0);
        seam.FailWriteAt = c.stop == TStop::FailWrite ? c.at : 0;
        seam.FailReadAt = c.stop == TStop::FailRead ? c.at : 0;
        seam.Error = ENOSPC;
        TOutcome outcome;
        {
            TSeamInstaller installed(seam);
            outcome = RunPyramid(f.Jobs, options).Outcome;
        }
        EXPECT_EQ(c.outcome, outcome);
        EXPECT_EQ(std::vector<std::string> { "in.tif" }, dir.Names());
        EXPECT_EQ(1, f.Host.HideCount);
        EXPECT_EQ(
            c.error.empty() ? std::vector<std::string>() : std::vector<std::string> { c.error },
            f.Host.Errors);
        if (c.stop == TStop::AbortInRead) {
            // Abort is tested before every line: the line being read is the last.
            EXPECT_EQ(0, seam.ReadsAfterAbort);
        }
        if (c.stop == TStop::FailRead) {
            EXPECT_EQ(1, seam.Hits);
        }
    }
}

TEST(PyramidJob, ExistingOutputIsAskedAboutAndTheInputNeverReplaced)
{
    const TPixels image = PatternImage(50, 40, 8, 3);
    for (const bool yes : { false, true }) {
        SCOPED_TRACE(yes ? "yes" : "no");
        TTempDir dir;
        TPyramidFixture f;
        f.Select(dir, "in.tif", image);
        fs::create_directory(dir.File("in_files"));
        ASSERT_TRUE(WriteBytes(dir.File("in_files/old.txt"), { 1 }));
        ASSERT_TRUE(WriteBytes(dir.File("in.dzi"), { 2 }));
        f.Dialogs.DefaultAnswer = yes;
        EXPECT_EQ(yes ? TOutcome::Done : TOutcome::Failed,
            RunPyramid(f.Jobs, TPyramidOptions {}).Outcome);
        EXPECT_EQ(std::vector<std::string> { "Output file exists. Do you want to overwrite it?" },
            f.Dialogs.Questions);
        EXPECT_EQ((std::vector<std::string> { "in.dzi", "in.tif", "in_files" }), dir.Names());
        EXPECT_EQ(!yes, fs::exists(dir.File("in_files/old.txt")));
        EXPECT_EQ(yes, fs::exists(dir.File("in_files/0/0_0.jpg")));
        EXPECT_EQ(!yes, ReadBytes(dir.File("in.dzi")) == std::vector<uint8_t> { 2 });
    }

    // The TIFF of the same name as the input, and an input inside the IIIF folder to replace.
    struct Case {
        const char* name;
        TPyramidLayoutKind layout;
        std::string input;
    };
    const Case cases[] = {
        { "tiff_over_input", TPyramidLayoutKind::Tiff, "in.tif" },
        { "input_inside_output", TPyramidLayoutKind::Iiif, "in/in.tif" },
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TTempDir dir;
        fs::create_directory(dir.File("in"));
        TPyramidFixture f;
        f.Select(dir, c.input, image);
        f.Dialogs.DefaultAnswer = true;
        TPyramidOptions options;
        options.Folder = dir.Path();
        options.Layout = c.layout;
        options.Name = "in";
        EXPECT_EQ(TOutcome::Failed, RunPyramid(f.Jobs, options).Outcome);
        EXPECT_EQ(
            std::vector<std::string> { "Cannot overwrite input file" }, f.Dialogs.ErrorDialogs);
        const auto back = ReadImage(dir.File(c.input));
        ASSERT_TRUE(back.has_value());
        EXPECT_TRUE(SamePixels(image, *back));
    }
}

} // namespace
