// Faults at every system call of small copies, splits and merges: the n-th open, read,
// write or close fails, or a read or write transfers only half, for every n the job reaches.
#include <cctype>
#include <cerrno>
#include <string>

#include <gtest/gtest.h>

#include "ReliabilityRig.h"

namespace {

using namespace Reliability;

struct TFaultMode {
    const char* name;
    TFaultKind kind;
    bool shortTransfer;
    bool following; ///< the call and every later one of its kind fail (a dead device)
};

const TFaultMode kModes[] = {
    { "failed open", TFaultKind::Open, false, false },
    { "failed read", TFaultKind::Read, false, false },
    { "reads failing from then on", TFaultKind::Read, false, true },
    { "short read", TFaultKind::Read, true, false },
    { "failed write", TFaultKind::Write, false, false },
    { "writes failing from then on", TFaultKind::Write, false, true },
    { "short write", TFaultKind::Write, true, false },
    { "failed close", TFaultKind::Close, false, false },
    { "failed sync", TFaultKind::Sync, false, false },
    { "failed link or rename", TFaultKind::Commit, false, false },
};

class FaultInjection : public ::testing::TestWithParam<TJob> { };

/// Fails every call of every kind in turn over the job, with the output folder holding
/// `existing` first; returns the number of faults that hit.
int FailEveryCall(TJobRig& rig, const TFiles& existing)
{
    TFaultSeam counting;
    const TRunOutcome counted = rig.Run(&counting, nullptr, "", existing);
    EXPECT_FALSE(counted.Aborted);
    int points = 0;
    for (const TFaultMode& mode : kModes) {
        const int calls = counting.CountOf(mode.kind);
        EXPECT_GT(calls, 0) << mode.name;
        for (int n = 1; n <= calls; ++n) {
            SCOPED_TRACE(std::string(mode.name) + " at call " + std::to_string(n) + " of "
                + std::to_string(calls));
            TFaultSeam seam;
            seam.FailAt(mode.kind, n);
            seam.ShortAtFault = mode.shortTransfer;
            seam.FailFollowing = mode.following;
            seam.Error = mode.kind == TFaultKind::Write ? ENOSPC : EIO;
            const TRunOutcome outcome = rig.Run(&seam, nullptr, "", existing);
            if (seam.Hits == 0) {
                continue; // a short transfer of a single byte cannot be shortened
            }
            ++points;
            rig.ExpectSound(outcome, mode.kind, existing);
            if (!mode.shortTransfer && mode.kind != TFaultKind::Close) {
                // Only a short transfer (completed by the next call) or a failed close of an
                // input may pass unnoticed; a failed open, read, write, sync or commit never
                // does.
                EXPECT_TRUE(outcome.Aborted);
            }
            if (::testing::Test::HasFailure()) {
                return points; // one broken call is enough to look at
            }
        }
    }
    rig.ExpectInputUntouched();
    return points;
}

TEST_P(FaultInjection, EveryCallOfTheJobMayFail)
{
    TJobRig rig(GetParam());
    RecordProperty("FaultPoints", FailEveryCall(rig, {}));
}

TEST_P(FaultInjection, AnExistingOutputSurvivesEveryFault)
{
    TJobRig rig(GetParam());
    RecordProperty("FaultPoints", FailEveryCall(rig, rig.OldOutputs()));
}

INSTANTIATE_TEST_SUITE_P(SmallJobs, FaultInjection, ::testing::ValuesIn(SmallJobs()),
    [](const ::testing::TestParamInfo<TJob>& info) {
        std::string name = info.param.Name;
        for (char& c : name) {
            c = std::isalnum(static_cast<unsigned char>(c)) ? c : '_';
        }
        return name;
    });

} // namespace
