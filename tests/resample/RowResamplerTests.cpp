// Tests of the row-by-row resize: the bytes of the whole-tile ScaleImage whatever the form, depth,
// method, divider, size and thread count; the rows it holds; and how it stops.
#include <cstring>

#include <gtest/gtest.h>

#include "ResampleReference.h"
#include "resample/PixelMath.h"
#include "resample/RowResampler.h"

namespace {

struct TStreamed {
    std::vector<uint8_t> Bytes;
    std::vector<int32_t> Rows; // destination row numbers in the order the sink got them
    std::vector<int32_t> Read; // source rows the source was asked for
    TRowResizeMemory Peak;
    bool Finished = false;
};

enum class TForm { Push, Pull };

// Resizes the image row by row through one form of the API.
TStreamed Stream(const TOwnedImage& source, const TRowResizeSpec& setup, TForm form)
{
    TStreamed out;
    TRowResampler resampler;
    const auto sink = [&](int32_t y, const uint8_t* row) {
        out.Rows.push_back(y);
        out.Bytes.insert(out.Bytes.end(), row, row + resampler.DestinationRowBytes());
        return true;
    };
    EXPECT_TRUE(resampler.Open(setup, sink)) << resampler.ErrorText();
    const int64_t rowBytes = resampler.SourceRowBytes();
    if (form == TForm::Push) {
        for (int32_t y = 0; y < setup.Height; ++y) {
            const bool needed = resampler.RowNeeded(y);
            if (needed)
                out.Read.push_back(y);
            // Rows that do not matter go in as null, as a source that can skip them does.
            const uint8_t* row = needed ? source.Image.Bits + int64_t(y) * rowBytes : nullptr;
            EXPECT_TRUE(resampler.PushRow(row)) << resampler.ErrorText();
        }
    } else {
        const bool ran = resampler.Run([&](int32_t y, uint8_t* row) {
            out.Read.push_back(y);
            std::memcpy(row, source.Image.Bits + int64_t(y) * rowBytes, size_t(rowBytes));
            return true;
        });
        EXPECT_TRUE(ran) << resampler.ErrorText();
    }
    out.Finished = resampler.Finished();
    out.Peak = resampler.Peak();
    return out;
}

std::vector<uint8_t> WholeTile(const TOwnedImage& source, const TRowResizeSpec& setup)
{
    TOwnedImage image(setup.Width, setup.Height, setup.Format);
    std::memcpy(image.Image.Bits, source.Image.Bits, size_t(source.Image.Size));
    ScaleImage(image.Image, setup.NewWidth, setup.NewHeight, setup.Filter, 1);
    return image.Bytes();
}

TRowResizeSpec SpecOf(int32_t width, int32_t height, TImageFormat format, long double divider,
    bool fast, unsigned threads)
{
    TRoundToNearestScope rounding;
    TRowResizeSpec setup;
    EXPECT_TRUE(TileResizeSpec(width, height, format, divider, fast, threads, setup));
    return setup;
}

} // namespace

TEST(RowResampler, GivesTheBytesOfTheWholeTileResize)
{
    struct Case {
        const char* name;
        int32_t width, height;
        long double divider;
    };
    const Case cases[] = {
        { "by 2, odd sides", 97, 61, 2.0L },
        { "by 3", 101, 67, 3.0L },
        { "by 6", 125, 139, 6.0L },
        { "by 10", 211, 121, 10.0L },
        { "by 10.5", 211, 233, 10.5L },
        { "by 2.37", 73, 45, 2.37L },
        { "below one vector", 9, 7, 2.0L },
        { "one row", 301, 1, 1.5L },
        { "one column", 1, 97, 1.9L },
        { "same size: handed through", 40, 30, 1.01L },
    };
    for (const Case& c : cases)
        for (TImageFormat format : { R8G8B8, R16G16B16 })
            for (bool fast : { false, true }) {
                TOwnedImage source(c.width, c.height, format);
                FillNoise(source);
                const std::vector<uint8_t> expected =
                    WholeTile(source, SpecOf(c.width, c.height, format, c.divider, fast, 1));
                for (unsigned threads : { 1u, 2u, 3u, 0u })
                    for (TForm form : { TForm::Push, TForm::Pull }) {
                        SCOPED_TRACE(testing::Message()
                            << c.name << ", " << GetFormatInfo(format)->Name
                            << (fast ? ", nearest" : ", Lanczos") << ", threads " << threads
                            << (form == TForm::Push ? ", pushed" : ", pulled"));
                        const TRowResizeSpec setup =
                            SpecOf(c.width, c.height, format, c.divider, fast, threads);
                        const TStreamed streamed = Stream(source, setup, form);
                        EXPECT_TRUE(streamed.Finished);
                        EXPECT_EQ(streamed.Bytes, expected);
                        std::vector<int32_t> inOrder(size_t(setup.NewHeight));
                        for (size_t y = 0; y < inOrder.size(); ++y)
                            inOrder[y] = int32_t(y);
                        EXPECT_EQ(streamed.Rows, inOrder);
                    }
            }
}

TEST(RowResampler, TheOtherFiltersGiveTheBytesOfScaleImageToo)
{
    TOwnedImage source(83, 71, R16G16B16);
    FillNoise(source);
    for (TResizeFilter filter : { rfBilinear, rfBicubic })
        for (unsigned threads : { 1u, 2u }) {
            SCOPED_TRACE(testing::Message() << "filter " << filter << ", threads " << threads);
            const TRowResizeSpec setup { 83, 71, 30, 29, R16G16B16, filter, threads };
            EXPECT_EQ(Stream(source, setup, TForm::Pull).Bytes, WholeTile(source, setup));
        }
}

TEST(RowResampler, HoldsOnlyTheRowsUnderTheKernel)
{
    // A tall tile: what the resize holds must follow the kernel, not the height.
    struct Case {
        long double divider;
        bool fast;
        unsigned threads;
        int32_t maxSourceRows; // Lanczos by d spans 6d + 1 rows; each extra row in work d more
        int32_t maxDestinationRows;
    };
    const Case cases[] = {
        { 2.0L, false, 1, 13, 1 },
        { 10.0L, false, 1, 61, 1 },
        { 2.0L, false, 2, 13 + 3 * 2, 4 },
        { 10.0L, false, 2, 61 + 3 * 10, 4 },
        { 2.0L, true, 1, 0, 1 },
        { 10.0L, true, 2, 0, 1 },
    };
    const int32_t width = 300, height = 3000;
    TOwnedImage source(width, height, R8G8B8);
    FillNoise(source);
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message()
            << "by " << double(c.divider) << (c.fast ? " nearest" : " Lanczos") << ", threads "
            << c.threads);
        const TStreamed s = Stream(
            source, SpecOf(width, height, R8G8B8, c.divider, c.fast, c.threads), TForm::Push);
        EXPECT_LE(s.Peak.SourceRows, c.maxSourceRows);
        EXPECT_GE(s.Peak.SourceRows, c.fast ? 0 : c.maxSourceRows / 2);
        EXPECT_LE(s.Peak.DestinationRows, c.maxDestinationRows);
        EXPECT_GE(s.Peak.DestinationRows, 1);
        // Kept rows, destination rows, lines and the contributor tables (which grow with the
        // height, a few bytes per tap): a small part of the tile.
        EXPECT_LT(s.Peak.Bytes, source.Image.Size / 4);
    }
}

TEST(RowResampler, NearestAsksOnlyForTheRowsItTakes)
{
    TOwnedImage source(30, 100, R8G8B8);
    FillNoise(source);
    const TStreamed s = Stream(source, SpecOf(30, 100, R8G8B8, 10.0L, true, 1), TForm::Pull);
    EXPECT_EQ(s.Read, (std::vector<int32_t> { 0, 10, 20, 30, 40, 50, 60, 70, 80, 90 }));
    EXPECT_EQ(s.Peak.SourceRows, 1) << "the one row the source fills";
}

TEST(RowResampler, RefusalsAndMisuseFailWithoutHanging)
{
    const TRowResizeSpec setup { 40, 200, 20, 100, R8G8B8, rfLanczos, 2 };
    std::vector<uint8_t> row(120, 9);
    const auto keep = [](int32_t, const uint8_t*) { return true; };

    {
        SCOPED_TRACE("the sink refuses row 5");
        TRowResampler r;
        ASSERT_TRUE(r.Open(setup, [](int32_t y, const uint8_t*) { return y < 5; }));
        bool ok = true;
        int32_t pushed = 0;
        while (ok && pushed < setup.Height) {
            ok = r.PushRow(row.data());
            ++pushed;
        }
        EXPECT_FALSE(ok);
        EXPECT_EQ(r.RowsDelivered(), 5);
        EXPECT_FALSE(r.ErrorText().empty());
        EXPECT_FALSE(r.PushRow(row.data())) << "a failed resize refuses every further row";
        EXPECT_FALSE(r.Finished());
    }
    {
        SCOPED_TRACE("the source fails");
        TRowResampler r;
        ASSERT_TRUE(r.Open(setup, keep));
        EXPECT_FALSE(r.Run([](int32_t y, uint8_t*) { return y < 50; }));
        EXPECT_EQ(r.NextSourceRow(), 50);
    }
    {
        SCOPED_TRACE("more rows than the tile has, and a needed row missing");
        TRowResampler r;
        ASSERT_TRUE(r.Open({ 4, 2, 2, 1, R8G8B8, rfLanczos, 1 }, keep));
        EXPECT_FALSE(r.PushRow(nullptr));
        ASSERT_TRUE(r.Open({ 4, 2, 2, 1, R8G8B8, rfLanczos, 1 }, keep));
        EXPECT_TRUE(r.PushRow(row.data()));
        EXPECT_TRUE(r.PushRow(row.data()));
        EXPECT_TRUE(r.Finished());
        EXPECT_FALSE(r.PushRow(row.data()));
    }
    {
        SCOPED_TRACE("closed early with helpers waiting");
        TRowResampler r;
        ASSERT_TRUE(r.Open(setup, keep));
        EXPECT_TRUE(r.PushRow(row.data()));
        r.Close();
        EXPECT_FALSE(r.PushRow(row.data()));
    }
    struct Bad {
        const char* name;
        TRowResizeSpec setup;
    };
    const Bad bad[] = {
        { "zero width", { 0, 5, 1, 1, R8G8B8, rfLanczos, 1 } },
        { "zero new height", { 5, 5, 1, 0, R8G8B8, rfLanczos, 1 } },
        { "unknown format", { 5, 5, 2, 2, ifUnknown, rfLanczos, 1 } },
        { "unknown filter", { 5, 5, 2, 2, R8G8B8, TResizeFilter(9), 1 } },
    };
    for (const Bad& b : bad) {
        SCOPED_TRACE(b.name);
        TRowResampler r;
        EXPECT_FALSE(r.Open(b.setup, keep));
        EXPECT_FALSE(r.ErrorText().empty());
        EXPECT_FALSE(r.PushRow(row.data()));
    }
}

TEST(RowResampler, TileSizesAreRoundedAsTheWorkerRoundsThem)
{
    TRoundToNearestScope rounding;
    EXPECT_EQ(DividedSide(10001, 2.0L), 5000) << "5000.5 goes to the even 5000";
    EXPECT_EQ(DividedSide(10003, 2.0L), 5002) << "5001.5 goes to the even 5002";
    EXPECT_EQ(DividedSide(10000, 6.0L), 1667);
    EXPECT_EQ(DividedSide(10500, 10.5L), 1000);
    EXPECT_EQ(DividedSide(1, 2.0L), 0) << "0.5 rounds to 0: no usable side";
    EXPECT_EQ(DividedSide(20, 0.0L), 0);
    EXPECT_EQ(DividedSide(20, -2.0L), 0);
    TRowResizeSpec setup;
    EXPECT_FALSE(TileResizeSpec(20, 1, R8G8B8, 2.0L, false, 1, setup));
    ASSERT_TRUE(TileResizeSpec(10001, 9999, R16G16B16, 2.0L, true, 3, setup));
    EXPECT_EQ(setup.NewWidth, 5000);
    EXPECT_EQ(setup.NewHeight, 5000);
    EXPECT_EQ(setup.Filter, rfNearest);
    EXPECT_EQ(setup.Format, R16G16B16);
    EXPECT_EQ(setup.Threads, 3u);
}
