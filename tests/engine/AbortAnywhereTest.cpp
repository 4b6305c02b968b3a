// Abort at every progress point of small copies, splits and merges: each status text and
// each progress step is a point where the user's Abort may arrive.
#include <cctype>
#include <string>

#include <gtest/gtest.h>

#include "ReliabilityRig.h"

namespace {

using namespace Reliability;

/// Chains a counter in front of the status and progress hooks the rig installed; sets Abort
/// when the point with number AbortAt (1-based, in arrival order) is reached.
struct TAbortPoints {
    int AbortAt = 0;
    int Seen = 0;

    void Install(TTavmor& engine)
    {
        auto status = engine.OnStatus;
        engine.OnStatus = [this, status, &engine](const std::string& text) {
            status(text);
            Point(engine);
        };
        auto progress = engine.OnUpdateProgress;
        engine.OnUpdateProgress = [this, progress, &engine](int32_t position) {
            progress(position);
            Point(engine);
        };
    }
    void Point(TTavmor& engine)
    {
        if (++Seen == AbortAt) {
            engine.Abort = true;
        }
    }
};

class AbortAnywhere : public ::testing::TestWithParam<TJob> { };

TEST_P(AbortAnywhere, AtEveryProgressPointLeavesNothingHalfWritten)
{
    TJobRig rig(GetParam());
    TAbortPoints counting;
    const TRunOutcome counted = rig.Run(nullptr, [&](TTavmor& e) { counting.Install(e); });
    ASSERT_FALSE(counted.Aborted);
    ASSERT_GT(counting.Seen, 1);
    for (int k = 1; k <= counting.Seen; ++k) {
        SCOPED_TRACE(
            "abort at point " + std::to_string(k) + " of " + std::to_string(counting.Seen));
        TAbortPoints points;
        points.AbortAt = k;
        const TRunOutcome outcome = rig.Run(nullptr, [&](TTavmor& e) { points.Install(e); });
        // Once asked, the job stops: Abort is an outcome of its own, never a success.
        EXPECT_TRUE(outcome.Aborted);
        rig.ExpectSound(outcome, TFaultKind::Abort);
        if (HasFailure()) {
            return;
        }
    }
    rig.ExpectInputUntouched();
    RecordProperty("AbortPoints", counting.Seen);
}

// 15 lines: two progress steps of a merge, seven whole bands and a short one of a split.
INSTANTIATE_TEST_SUITE_P(SmallJobs, AbortAnywhere, ::testing::ValuesIn(SmallJobs(15)),
    [](const ::testing::TestParamInfo<TJob>& info) {
        std::string name = info.param.Name;
        for (char& c : name) {
            c = std::isalnum(static_cast<unsigned char>(c)) ? c : '_';
        }
        return name;
    });

} // namespace
