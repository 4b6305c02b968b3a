// The Resize job's size arithmetic: tile sizes, grids, dividers, the near-target rule, the
// final-pass decision, and whole runs of passes worked out on paper for large images.
#include "jobs/ResizePlan.h"

#include <cstdint>
#include <string>
#include <vector>

#include <gtest/gtest.h>

namespace {

using namespace ResizePlan;

TEST(ResizePlan, TileSizeAndCountAlongOneSide)
{
    struct Case {
        uint32_t side;
        uint32_t tile;
        uint32_t count;
    };
    const Case cases[] = {
        { 25000, 10000, 3 },
        { 30500, 10167, 3 }, // 500 spread over 3 tiles
        { 20500, 10251, 2 },
        { 11000, 10000, 2 }, // a remainder of 1000 is a tile of its own
        { 10999, 10999, 1 }, // 10000 + 999 + 1 would pass the side: the side itself
        { 100000, 10000, 10 },
        { 9000, 9000, 1 },
        { 10000, 10000, 1 },
        { 10001, 10001, 1 },
        { 20001, 10001, 2 },
        { 1, 1, 1 },
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.side);
        EXPECT_EQ(c.tile, TileSizeFor(c.side));
        EXPECT_EQ(c.count, TileCountFor(c.side, TileSizeFor(c.side)));
    }
}

TEST(ResizePlan, TilingDividerPrefersTheLargestEvenFactor)
{
    struct Case {
        const char* name;
        uint32_t width;
        uint32_t target;
        bool fast;
        long double divider;
    };
    const Case cases[] = {
        { "60000 slow to 2000: 6000 >= 4000", 60000, 2000, false, 10 },
        { "60000 fast to 2000", 60000, 2000, true, 10 },
        { "30000 slow to 5000: only 2 keeps 10000", 30000, 5000, false, 2 },
        { "30000 fast to 5000: 6 keeps 5000 exactly", 30000, 5000, true, 6 },
        { "15000 slow to 5000: exact ratio", 15000, 5000, false, 3 },
        { "12000 slow to 1000", 12000, 1000, false, 6 },
        { "12000 fast to 1000", 12000, 1000, true, 10 },
        { "40000 fast to 5000: 8", 40000, 5000, true, 8 },
        { "16000 fast to 4000: 4", 16000, 4000, true, 4 },
        { "11000 slow to 3000: exact ratio", 11000, 3000, false, 11000.0L / 3000.0L },
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(c.divider, TilingDivider(c.width, c.target, SteppingWidth(c.target, c.fast)));
    }
}

TEST(ResizePlan, NearTargetInWidthOrHeight)
{
    struct Case {
        const char* name;
        uint32_t width, height, targetWidth, targetHeight;
        bool near;
    };
    const Case cases[] = {
        { "2 % below in width", 50000, 8000, 49000, 0, true },
        { "just over 2 % below", 50000, 8000, 48999, 0, false },
        { "target wider than the image", 12000, 600, 20000, 1000, true },
        { "near in height only", 20000, 1000, 1000, 980, true },
        { "far in both", 60000, 30000, 2000, 1000, false },
        { "integer part of 2 %: 10049 - 200", 10049, 500, 9849, 0, true },
        { "integer part of 2 %: one below", 10049, 500, 9848, 0, false },
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(c.near, NearTarget(c.width, c.height, c.targetWidth, c.targetHeight));
    }
}

TEST(ResizePlan, FinalPassResamplesWhenEitherSideChangesByMoreThan100)
{
    struct Case {
        const char* name;
        uint32_t tileWidth, width, height, target;
        bool resample;
        long double divider;
    };
    const Case cases[] = {
        { "both sides change", 6000, 6000, 3000, 2000, true, 3 },
        { "only the width changes (thin image)", 2000, 2000, 100, 1000, true, 2 },
        { "only the height changes", 10000, 10000, 30000, 9950, true, 10000.0L / 9950.0L },
        { "one pixel off", 5001, 5001, 3334, 5000, false, 1 },
        { "exactly 100 pixels", 10000, 10000, 300, 9900, false, 1 },
        { "101 pixels", 10000, 10000, 300, 9899, true, 10000.0L / 9899.0L },
        { "tile below the target", 10000, 50000, 8000, 49500, false, 1 },
        { "target wider than the image", 12000, 12000, 600, 20000, false, 1 },
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const TFinal plan = PlanFinal(c.tileWidth, c.width, c.height, c.target);
        EXPECT_EQ(c.resample, plan.Resample);
        if (c.resample) {
            EXPECT_EQ(c.divider, plan.Divider);
        }
    }
}

/// What a whole run does to an image, as worked out from the plan: each tiling pass's
/// divider and intermediate size, then the final size.
struct TRun {
    std::vector<long double> Dividers;
    std::vector<TSize> Intermediates;
    bool FinalResample = false;
    TSize Output;
};

TRun PlanRun(uint32_t width, uint32_t height, uint32_t targetWidth, bool fast)
{
    const uint32_t targetHeight = uint32_t(ShrunkSide(height, double(width) / double(targetWidth)));
    TRun run;
    bool exactPassDone = false;
    for (;;) {
        TPass pass = PlanPass(width, height, targetWidth, targetHeight);
        long double divider = 0;
        if (!pass.Tiling()) {
            const TFinal plan = PlanFinal(pass.TileWidth, width, height, targetWidth);
            if (plan.Resample && !exactPassDone && !FitsOneWorker(width, height)) {
                exactPassDone = true;
                pass = TileGrid(width, height);
                divider = plan.Divider;
            }
        }
        if (!pass.Tiling()) {
            const TFinal plan = PlanFinal(pass.TileWidth, width, height, targetWidth);
            run.FinalResample = plan.Resample;
            run.Output = plan.Resample
                ? TSize { ShrunkSide(width, plan.Divider), ShrunkSide(height, plan.Divider) }
                : TSize { width, height };
            return run;
        }
        if (divider == 0) {
            divider = TilingDivider(width, targetWidth, SteppingWidth(targetWidth, fast));
        }
        const TSize merged = MergedSize(width, height, pass, divider);
        run.Dividers.push_back(divider);
        run.Intermediates.push_back(merged);
        width = uint32_t(merged.Width);
        height = uint32_t(merged.Height);
    }
}

TEST(ResizePlan, WholeRuns)
{
    struct Case {
        const char* name;
        uint32_t width, height, target;
        bool fast;
        std::vector<long double> dividers;
        bool finalResample;
        int64_t outWidth, outHeight;
    };
    const Case cases[] = {
        { "60000 x 30000 to 2000, slow", 60000, 30000, 2000, false, { 10 }, true, 2000, 1000 },
        { "60000 x 30000 to 2000, fast", 60000, 30000, 2000, true, { 10 }, true, 2000, 1000 },
        { "30000 x 20000 to 5000, slow", 30000, 20000, 5000, false, { 2, 3 }, false, 5000, 3333 },
        // Each tile rounded on its own: 3 x 1667 by 2 x 1667.
        { "30000 x 20000 to 5000, fast", 30000, 20000, 5000, true, { 6 }, false, 5001, 3334 },
        { "10500 x 8000 to 1000", 10500, 8000, 1000, false, {}, true, 1000, 762 },
        { "50000 x 8000 to 49500", 50000, 8000, 49500, false, {}, false, 50000, 8000 },
        { "12000 x 600 to 1000, slow", 12000, 600, 1000, false, { 6 }, true, 1000, 50 },
        { "12000 x 600 to 1000, fast", 12000, 600, 1000, true, { 10 }, true, 1000, 50 },
        { "wider target", 20000, 300, 30000, false, {}, false, 20000, 300 },
        { "10000 x 500 to 1000", 10000, 500, 1000, false, {}, true, 1000, 50 },
        // Near the target, but too tall for one worker: the exact ratio tile by tile.
        { "600 x 12000 to 590", 600, 12000, 590, false, { 600.0L / 590.0L }, false, 590, 11800 },
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const TRun run = PlanRun(c.width, c.height, c.target, c.fast);
        EXPECT_EQ(c.dividers, run.Dividers);
        EXPECT_EQ(c.finalResample, run.FinalResample);
        EXPECT_EQ(c.outWidth, run.Output.Width);
        EXPECT_EQ(c.outHeight, run.Output.Height);
    }
}

TEST(ResizePlan, IntermediatesOfTheWorkedExamples)
{
    const TRun slow = PlanRun(30000, 20000, 5000, false);
    ASSERT_EQ(2u, slow.Intermediates.size());
    EXPECT_EQ(15000, slow.Intermediates[0].Width);
    EXPECT_EQ(10000, slow.Intermediates[0].Height);
    EXPECT_EQ(5000, slow.Intermediates[1].Width);
    EXPECT_EQ(3333, slow.Intermediates[1].Height);

    const TPass first = PlanPass(60000, 30000, 2000, 1000);
    EXPECT_EQ(6u, first.Columns);
    EXPECT_EQ(3u, first.Rows);
    const TRun big = PlanRun(60000, 30000, 2000, false);
    ASSERT_EQ(1u, big.Intermediates.size());
    EXPECT_EQ(6000, big.Intermediates[0].Width);
    EXPECT_EQ(3000, big.Intermediates[0].Height);
}

} // namespace
