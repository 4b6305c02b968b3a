// The derived panel numbers: tile counts and clamped tile sizes, and the resize height.
#include <ostream>

#include <gtest/gtest.h>

#include "app/StartHandler.h"
#include "engine/TavmorManager.h"
#include "jobs/FakeHost.h"
#include "jobs/TavmorJobs.h"

namespace {

struct TPanelNumbers {
    int64_t SplitWidth;
    int64_t SplitHeight;
    int64_t SplitX;
    int64_t SplitY;
    int64_t ResizeW;
    int64_t ResizeH;
};

struct RecalcCase {
    const char* name;
    uint32_t width;
    uint32_t height;
    TPanelField sender;
    TPanelNumbers before;
    TPanelNumbers after;
};

// Fields not named in a row keep their "before" value; 7 and 9 mark counts that must stay.
const RecalcCase kRecalcCases[] = {
    { "tiles_25000x12000_by_10000x5000", 25000, 12000, TPanelField::SplitWidth,
        { 10000, 5000, 0, 0, 1000, 0 }, { 10000, 5000, 3, 3, 1000, 0 } },
    { "tiles_20000x10000_by_10000", 20000, 10000, TPanelField::SplitWidth,
        { 10000, 10000, 0, 0, 1000, 0 }, { 10000, 10000, 2, 1, 1000, 0 } },
    { "width_clamped_to_image", 4000, 3000, TPanelField::SplitWidth, { 6000, 1000, 0, 0, 1000, 0 },
        { 4000, 1000, 1, 3, 1000, 0 } },
    { "height_clamped_to_image", 4000, 3000, TPanelField::SplitHeight,
        { 1000, 6000, 0, 0, 1000, 0 }, { 1000, 3000, 4, 1, 1000, 0 } },
    { "height_sender_leaves_width_unclamped", 4000, 3000, TPanelField::SplitHeight,
        { 6000, 1000, 0, 0, 1000, 0 }, { 6000, 1000, 1, 3, 1000, 0 } },
    { "width_clamped_to_field_maximum", 3000000, 1000, TPanelField::SplitWidth,
        { 2000000, 1000, 0, 0, 1000, 0 }, { 1000000, 1000, 3, 1, 1000, 0 } },
    { "width_below_256_keeps_counts", 25000, 12000, TPanelField::SplitWidth,
        { 200, 5000, 7, 9, 1000, 0 }, { 200, 5000, 7, 9, 1000, 0 } },
    { "height_below_256_keeps_counts", 25000, 12000, TPanelField::SplitHeight,
        { 5000, 255, 7, 9, 1000, 0 }, { 5000, 255, 7, 9, 1000, 0 } },
    { "exact_multiple_has_no_extra_tile", 3000, 2000, TPanelField::SplitWidth,
        { 1000, 1000, 0, 0, 1000, 0 }, { 1000, 1000, 3, 2, 1000, 0 } },
    { "resize_4000x3000_to_1000", 4000, 3000, TPanelField::ResizeW, { 1000, 1000, 0, 0, 1000, 0 },
        { 1000, 1000, 0, 0, 1000, 750 } },
    { "resize_30000x20001_to_1000", 30000, 20001, TPanelField::ResizeW,
        { 1000, 1000, 0, 0, 1000, 0 }, { 1000, 1000, 0, 0, 1000, 667 } },
    { "resize_half_rounds_down_to_even", 20000, 1001, TPanelField::ResizeW,
        { 1000, 1000, 0, 0, 10000, 0 }, { 1000, 1000, 0, 0, 10000, 500 } },
    { "resize_half_rounds_up_to_even", 2000, 1003, TPanelField::ResizeW,
        { 1000, 1000, 0, 0, 1000, 0 }, { 1000, 1000, 0, 0, 1000, 502 } },
    { "resize_below_256_keeps_height", 4000, 3000, TPanelField::ResizeW,
        { 1000, 1000, 0, 0, 200, 9 }, { 1000, 1000, 0, 0, 200, 9 } },
    { "resize_split_fields_untouched", 4000, 3000, TPanelField::ResizeW,
        { 6000, 6000, 7, 9, 2000, 0 }, { 6000, 6000, 7, 9, 2000, 1500 } },
};

/// Failures name the row, not its bytes.
void PrintTo(const RecalcCase& c, std::ostream* os)
{
    *os << c.name;
}

class RecalcTest : public ::testing::TestWithParam<RecalcCase> { };

TPanelNumbers NumbersOf(const TPanelValues& v)
{
    return { v.SplitWidth, v.SplitHeight, v.SplitX, v.SplitY, v.ResizeW, v.ResizeH };
}

void SetNumbers(TPanelValues& v, const TPanelNumbers& n)
{
    v.SplitWidth = n.SplitWidth;
    v.SplitHeight = n.SplitHeight;
    v.SplitX = n.SplitX;
    v.SplitY = n.SplitY;
    v.ResizeW = n.ResizeW;
    v.ResizeH = n.ResizeH;
}

void ExpectNumbers(const TPanelNumbers& expected, const TPanelNumbers& actual)
{
    EXPECT_EQ(expected.SplitWidth, actual.SplitWidth);
    EXPECT_EQ(expected.SplitHeight, actual.SplitHeight);
    EXPECT_EQ(expected.SplitX, actual.SplitX);
    EXPECT_EQ(expected.SplitY, actual.SplitY);
    EXPECT_EQ(expected.ResizeW, actual.ResizeW);
    EXPECT_EQ(expected.ResizeH, actual.ResizeH);
}

TEST_P(RecalcTest, DerivesPanelNumbers)
{
    const RecalcCase& c = GetParam();
    TTavmor engine;
    TFakeHost host;
    TJobs jobs(engine, host);
    TPanelValues values;
    int changed = 0;
    TStartHandler start(jobs, values, [&changed] { ++changed; });
    engine.InInfo.Width = c.width;
    engine.InInfo.Height = c.height;
    engine.InInfo.ImageIsOk = true;
    SetNumbers(values, c.before);

    start.jvSplitWidthChange(c.sender);

    ExpectNumbers(c.after, NumbersOf(values));
    EXPECT_EQ(1, changed);

    // Running it again for the same field (as writing a clamped value back does) settles.
    start.jvSplitWidthChange(c.sender);
    ExpectNumbers(c.after, NumbersOf(values));
}

INSTANTIATE_TEST_SUITE_P(Fields, RecalcTest, ::testing::ValuesIn(kRecalcCases),
    [](const ::testing::TestParamInfo<RecalcCase>& info) { return std::string(info.param.name); });

TEST(RecalcOther, NothingChangesWithoutValidInputOrForOtherSenders)
{
    TTavmor engine;
    TFakeHost host;
    TJobs jobs(engine, host);
    TPanelValues values;
    int changed = 0;
    TStartHandler handler(jobs, values, [&changed] { ++changed; });
    const TPanelNumbers start { 6000, 6000, 7, 9, 1000, 5 };
    SetNumbers(values, start);
    engine.InInfo.Width = 4000;
    engine.InInfo.Height = 3000;

    engine.InInfo.ImageIsOk = false;
    for (TPanelField sender :
        { TPanelField::SplitWidth, TPanelField::SplitHeight, TPanelField::ResizeW }) {
        handler.jvSplitWidthChange(sender);
    }
    ExpectNumbers(start, NumbersOf(values));

    engine.InInfo.ImageIsOk = true;
    for (TPanelField sender : { TPanelField::SplitX, TPanelField::SplitY, TPanelField::ResizeH,
             TPanelField::MergeX, TPanelField::MergeY }) {
        handler.jvSplitWidthChange(sender);
    }
    ExpectNumbers(start, NumbersOf(values));
    EXPECT_EQ(0, changed);
}

} // namespace
