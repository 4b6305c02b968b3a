// Tests of the tile resize worker: its outcomes, its result names and the depth of its tiles.
#include <cfenv>
#include <chrono>
#include <pthread.h>

#include <gtest/gtest.h>

#include "ResampleFixtures.h"
#include "resample/RawResizeTh.h"
#include "resample/Resampler.h"

namespace {

// Starts the worker and polls it the way the resize job does.
void RunToEnd(TRawResize& worker)
{
    ASSERT_TRUE(worker.Start());
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    while (!worker.Finished()) {
        ASSERT_LT(std::chrono::steady_clock::now(), deadline);
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
}

// A tile of width × height pixels at the depth of the format, filled with noise.
std::vector<uint8_t> NoiseTile(int32_t width, int32_t height, TImageFormat format)
{
    TOwnedImage image(width, height, format);
    const bool sixteen = format == R16G16B16;
    FillImage(
        image, [&](int32_t x, int32_t y, int32_t c) { return NoiseSample(x, y, c, sixteen); });
    return image.Bytes();
}

// What ScaleImage makes of the same pixels, for comparison with the worker's file.
std::vector<uint8_t> Scaled(const std::vector<uint8_t>& bytes, int32_t width, int32_t height,
    TImageFormat format, int32_t newWidth, int32_t newHeight, TResizeFilter filter)
{
    TOwnedImage image(width, height, format);
    std::copy(bytes.begin(), bytes.end(), image.Image.Bits);
    ScaleImage(image.Image, newWidth, newHeight, filter);
    return image.Bytes();
}

} // namespace

TEST(RawResize, ResultNamesFollowTheTileGrammar)
{
    struct Case {
        const char* tile;
        int32_t width, height;
        long double divider;
        const char* result;
    };
    const Case cases[] = {
        { "photo_100X80_x1y2.raw", 100, 80, 2.0L, "photo_50X40_x1y2.raw" },
        // 500.5 rounds to the even 500, as 5000.5 does for a tile of 10001.
        { "photo_1001X1000_x3y1.raw", 1001, 1000, 2.0L, "photo_500X500_x3y1.raw" },
        { "photo_105X80.raw", 105, 80, 1.5L, "photo_70X53.raw" },
        { "photo_100X100_x12y7.raw", 100, 100, 6.0L, "photo_17X17_x12y7.raw" },
        { "photo_30X20_x0y4.raw", 30, 20, 2.0L, "photo_15X10.raw" }, // column 0: no position
        { "photo_30x20_x1y1.raw", 30, 20, 10.0L, "photo_3X2_x1y1.raw" },
    };
    for (const Case& c : cases) {
        for (bool fast : { true, false }) {
            SCOPED_TRACE(testing::Message() << c.tile << (fast ? " fast" : " slow"));
            TScratchDir dir;
            WriteFileBytes(dir.File(c.tile), NoiseTile(c.width, c.height, R8G8B8));
            TRawResize worker;
            worker.Init(dir.File(c.tile), c.divider, fast);
            RunToEnd(worker);
            EXPECT_FALSE(worker.Error) << worker.ErrorText;
            EXPECT_EQ(worker.OutFileName, dir.File(c.result));
            std::vector<std::string> expected { c.result, c.tile };
            std::sort(expected.begin(), expected.end());
            EXPECT_EQ(dir.Names(), expected);
        }
    }
}

TEST(RawResize, WritesWhatScaleImageMakesOfTheTile)
{
    for (TImageFormat format : { R8G8B8, R16G16B16 })
        for (bool fast : { true, false }) {
            SCOPED_TRACE(
                testing::Message() << GetFormatInfo(format)->Name << (fast ? " fast" : " slow"));
            TScratchDir dir;
            const std::vector<uint8_t> tile = NoiseTile(90, 61, format);
            WriteFileBytes(dir.File("p_90X61_x2y2.raw"), tile);
            TRawResize worker;
            worker.Init(dir.File("p_90X61_x2y2.raw"), 3.0L, fast);
            RunToEnd(worker);
            ASSERT_FALSE(worker.Error) << worker.ErrorText;
            ASSERT_EQ(worker.OutFileName, dir.File("p_30X20_x2y2.raw"));
            // 16-bit tiles stay 16-bit: 6 bytes per pixel, resampled at full depth.
            EXPECT_EQ(ReadFileBytes(worker.OutFileName),
                Scaled(tile, 90, 61, format, 30, 20, fast ? rfNearest : rfLanczos));
            EXPECT_EQ(ReadFileBytes(dir.File("p_90X61_x2y2.raw")), tile) << "the tile is untouched";
        }
}

TEST(RawResize, DividerThatKeepsTheSizeRewritesTheTileInPlace)
{
    TScratchDir dir;
    const std::vector<uint8_t> tile = NoiseTile(40, 30, R8G8B8);
    WriteFileBytes(dir.File("p_40X30_x1y1.raw"), tile);
    TRawResize worker;
    worker.Init(dir.File("p_40X30_x1y1.raw"), 1.01L, false); // 39.6 and 29.7 round back
    RunToEnd(worker);
    EXPECT_FALSE(worker.Error) << worker.ErrorText;
    EXPECT_EQ(worker.OutFileName, dir.File("p_40X30_x1y1.raw"));
    EXPECT_EQ(ReadFileBytes(worker.OutFileName), tile);
    EXPECT_EQ(dir.Names(), std::vector<std::string> { "p_40X30_x1y1.raw" });
}

TEST(RawResize, Outcomes)
{
    struct Case {
        const char* name;
        const char* tile;
        size_t bytes; // length written; the name says 20 × 10
        long double divider;
        bool error;
    };
    const Case cases[] = {
        { "no size in the name", "photo.raw", 600, 2.0L, false },
        { "short tile", "p_20X10.raw", 599, 2.0L, true },
        { "length between the depths", "p_20X10.raw", 900, 2.0L, true },
        { "height rounds to 0", "p_20X10.raw", 600, 25.0L, true },
        { "divider 0", "p_20X10.raw", 600, 0.0L, true },
        { "negative divider", "p_20X10.raw", 600, -2.0L, true },
        { "missing tile", nullptr, 0, 2.0L, true },
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TScratchDir dir;
        const std::string tile = dir.File(c.tile ? c.tile : "p_20X10.raw");
        if (c.tile)
            WriteFileBytes(tile, std::vector<uint8_t>(c.bytes, 50));
        TRawResize worker;
        worker.Init(tile, c.divider, false);
        RunToEnd(worker);
        EXPECT_EQ(worker.Error, c.error) << worker.ErrorText;
        EXPECT_EQ(worker.OutFileName, "");
        EXPECT_EQ(dir.Names().size(), c.tile ? 1u : 0u) << "no result file is left";
    }
}

TEST(RawResize, UnwritableResultIsAnError)
{
    TScratchDir dir;
    const std::string tile = dir.File("p_20X10.raw");
    WriteFileBytes(tile, std::vector<uint8_t>(600, 50));
    // A directory where the result file should go.
    std::filesystem::create_directory(dir.File("p_10X5.raw"));
    TRawResize worker;
    worker.Init(tile, 2.0L, true);
    RunToEnd(worker);
    EXPECT_TRUE(worker.Error);
    EXPECT_EQ(worker.OutFileName, "");
}

TEST(RawResize, InitResetsAndLifecycleIsSafe)
{
    TRawResize idle; // never started: destroying it must not block or crash
    EXPECT_FALSE(idle.Finished());
    idle.WaitFor();

    TScratchDir dir;
    WriteFileBytes(dir.File("p_20X10.raw"), std::vector<uint8_t>(600, 50));
    TRawResize worker;
    worker.Error = true;
    worker.OutFileName = "stale";
    worker.Init(dir.File("p_20X10.raw"), 2.0L, true);
    EXPECT_FALSE(worker.Error);
    EXPECT_EQ(worker.OutFileName, "");
    RunToEnd(worker);
    EXPECT_FALSE(worker.Start()) << "a worker runs one tile only";
    EXPECT_EQ(worker.OutFileName, dir.File("p_10X5.raw"));
}

TEST(RawResize, BodyNamesItsThreadAndRoundsHalfToEvenWhateverTheCallersMode)
{
    TScratchDir dir;
    WriteFileBytes(dir.File("p_1001X999_x1y1.raw"), NoiseTile(1001, 999, R8G8B8));
    TRawResize worker;
    worker.Init(dir.File("p_1001X999_x1y1.raw"), 2.0L, true);
    char name[16] = {};
    int modeAfter = 0;
    std::thread([&] {
        // Rounding upwards would make 500.5 and 499.5 into 501 and 500.
        std::fesetround(FE_UPWARD);
        worker.Execute();
        pthread_getname_np(pthread_self(), name, sizeof name);
        modeAfter = std::fegetround();
    }).join();
    EXPECT_STREQ(name, "TRawResizeTh");
    EXPECT_TRUE(worker.Finished());
    EXPECT_EQ(worker.OutFileName, dir.File("p_500X500_x1y1.raw")) << worker.ErrorText;
    EXPECT_EQ(modeAfter, FE_UPWARD) << "the thread's own mode is given back";
}

TEST(RawResize, ResultDoesNotDependOnItsThreadCount)
{
    TScratchDir dir;
    const std::vector<uint8_t> tile = NoiseTile(301, 203, R16G16B16);
    std::vector<uint8_t> first;
    for (unsigned threads : { 1u, 2u, 0u }) {
        SCOPED_TRACE(threads);
        WriteFileBytes(dir.File("p_301X203.raw"), tile);
        TRawResize worker;
        worker.Init(dir.File("p_301X203.raw"), 2.0L, false);
        worker.Threads = threads;
        RunToEnd(worker);
        ASSERT_FALSE(worker.Error) << worker.ErrorText;
        const std::vector<uint8_t> result = ReadFileBytes(worker.OutFileName);
        EXPECT_EQ(result.size(), size_t(150) * 102 * 6);
        if (first.empty())
            first = result;
        EXPECT_EQ(result, first);
    }
}

TEST(RawResize, StreamedFileFormWritesWhatTheWholeTileFormWrites)
{
    struct Case {
        const char* tile;
        int32_t width, height;
        long double divider;
    };
    const Case cases[] = {
        { "p_97X61_x1y1.raw", 97, 61, 2.0L }, { "p_211X133_x2y1.raw", 211, 133, 10.0L },
        { "p_211X105.raw", 211, 105, 10.5L },
        { "p_30x20_x1y1.raw", 30, 20, 1.01L }, // same size, another name: copied through
    };
    for (const Case& c : cases)
        for (TImageFormat format : { R8G8B8, R16G16B16 })
            for (bool fast : { false, true }) {
                SCOPED_TRACE(testing::Message()
                    << c.tile << " " << GetFormatInfo(format)->Name << (fast ? " fast" : " slow"));
                TScratchDir dir;
                WriteFileBytes(dir.File(c.tile), NoiseTile(c.width, c.height, format));
                std::vector<uint8_t> results[2];
                for (bool whole : { true, false }) {
                    TRawResize worker;
                    worker.Init(dir.File(c.tile), c.divider, fast);
                    worker.WholeTile = whole;
                    worker.Threads = 2;
                    RunToEnd(worker);
                    ASSERT_FALSE(worker.Error) << worker.ErrorText;
                    results[whole] = ReadFileBytes(worker.OutFileName);
                    EXPECT_EQ(dir.Names().size(), 2u);
                    std::filesystem::remove(worker.OutFileName);
                }
                EXPECT_EQ(results[false], results[true]);
            }
}

TEST(RawResize, RowFormTakesRowsAndGivesRows)
{
    for (TImageFormat format : { R8G8B8, R16G16B16 })
        for (bool fast : { false, true }) {
            SCOPED_TRACE(
                testing::Message() << GetFormatInfo(format)->Name << (fast ? " fast" : " slow"));
            const int32_t width = 1001, height = 203;
            const std::vector<uint8_t> tile = NoiseTile(width, height, format);
            const int64_t rowBytes = int64_t(width) * GetFormatInfo(format)->BytesPerPixel;
            std::vector<uint8_t> result;
            int32_t rowsOut = 0;
            TRawResize worker;
            worker.InitRows(
                width, height, format, 2.0L, fast,
                [&](int32_t y, uint8_t* row) {
                    std::copy_n(tile.begin() + y * rowBytes, rowBytes, row);
                    return true;
                },
                [&](int32_t y, const uint8_t* row) {
                    EXPECT_EQ(y, rowsOut++);
                    result.insert(
                        result.end(), row, row + 500 * GetFormatInfo(format)->BytesPerPixel);
                    return true;
                });
            RunToEnd(worker);
            ASSERT_FALSE(worker.Error) << worker.ErrorText;
            EXPECT_EQ(worker.OutFileName, "");
            // 1001 / 2 = 500.5 and 203 / 2 = 101.5 round to the even 500 and 102.
            EXPECT_EQ(worker.NewWidth, 500);
            EXPECT_EQ(worker.NewHeight, 102);
            EXPECT_EQ(rowsOut, 102);
            EXPECT_EQ(result,
                Scaled(tile, width, height, format, 500, 102, fast ? rfNearest : rfLanczos));
            EXPECT_LE(worker.Peak.SourceRows, 2 * 13) << "rows under the kernel, not the tile";
        }
}

TEST(RawResize, RowFormFailsWhenTheSourceOrTheSinkGivesUp)
{
    struct Case {
        const char* name;
        int32_t sourceRows, sinkRows; // rows each side accepts
        long double divider;
        bool error;
    };
    const Case cases[] = {
        { "both go to the end", 100, 100, 2.0L, false },
        { "source gives up", 40, 100, 2.0L, true },
        { "sink gives up", 100, 10, 2.0L, true },
        { "divider leaves no row", 100, 100, 500.0L, true },
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TRawResize worker;
        worker.InitRows(
            60, 100, R8G8B8, c.divider, false,
            [&](int32_t y, uint8_t* row) {
                std::fill_n(row, 180, uint8_t(y));
                return y < c.sourceRows;
            },
            [&](int32_t y, const uint8_t*) { return y < c.sinkRows; });
        worker.Threads = 2;
        RunToEnd(worker);
        EXPECT_EQ(worker.Error, c.error) << worker.ErrorText;
        EXPECT_EQ(worker.OutFileName, "");
    }
}
