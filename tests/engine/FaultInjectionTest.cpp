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
};

class FaultInjection : public ::testing::TestWithParam<TJob> { };

TEST_P(FaultInjection, EveryCallOfTheJobMayFail)
{
    TJobRig rig(GetParam());
    TCountingSeam counting;
    const TRunOutcome counted = rig.Run(&counting);
    ASSERT_FALSE(counted.Aborted);
    int points = 0;
    int survived = 0; ///< faults after which the job still gave the clean bytes
    for (const TFaultMode& mode : kModes) {
        const int calls = counting.CountOf(mode.kind);
        ASSERT_GT(calls, 0) << mode.name;
        for (int n = 1; n <= calls; ++n) {
            SCOPED_TRACE(std::string(mode.name) + " at call " + std::to_string(n) + " of "
                + std::to_string(calls));
            TCountingSeam seam;
            seam.FailKind = mode.kind;
            seam.FailAt = n;
            seam.Short = mode.shortTransfer;
            seam.Following = mode.following;
            seam.Error = mode.kind == TFaultKind::Write ? ENOSPC : EIO;
            const TRunOutcome outcome = rig.Run(&seam);
            if (seam.Hits == 0) {
                continue; // a short transfer of a single byte cannot be shortened
            }
            ++points;
            rig.ExpectSound(outcome, mode.kind);
            survived += outcome.Aborted ? 0 : 1;
            if (!mode.shortTransfer && mode.kind != TFaultKind::Close) {
                // Only a short transfer (completed by the next call) or a failed close of an
                // input may pass unnoticed; a failed open, read or write never does.
                EXPECT_TRUE(outcome.Aborted);
            }
            if (HasFailure()) {
                return; // one broken call is enough to look at
            }
        }
    }
    rig.ExpectInputUntouched();
    RecordProperty("FaultPoints", points);
    RecordProperty("FaultsSurvived", survived);
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
