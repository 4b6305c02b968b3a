// The output commit guard and the temporaries' clean-up: an output takes its name whole or not
// at all, over an existing file or beside one that appears meanwhile, unnamed or under a hidden
// name; what a dead run left is removed and a live run's is not.
#include "engine/OutputCommit.h"

#include <fcntl.h>
#include <filesystem>
#include <string>
#include <sys/file.h>
#include <unistd.h>
#include <vector>

#include <gtest/gtest.h>

#include "engine/Staging.h"
#include "support/FaultSeam.h"
#include "support/TestImages.h"

namespace {

using namespace TestImages;

/// Writes bytes through the guard's descriptor.
void Put(TOutputCommit& guard, const std::vector<uint8_t>& bytes)
{
    ASSERT_GE(guard.Fd(), 0);
    ASSERT_EQ(static_cast<ssize_t>(bytes.size()), ::write(guard.Fd(), bytes.data(), bytes.size()));
}

/// Runs a test body with unnamed temporaries and again with hidden names.
class OutputCommit : public ::testing::TestWithParam<bool> {
protected:
    void SetUp() override { ForceNamedTemporaries(GetParam()); }
    void TearDown() override { ForceNamedTemporaries(false); }
};

TEST_P(OutputCommit, TheNameAppearsOnlyAtTheCommitAndWhole)
{
    TTempDir dir;
    const std::string name = dir.File("out.raw");
    TOutputCommit guard;
    ASSERT_TRUE(guard.Create(name, TReplace::Never));
    Put(guard, { 1, 2, 3 });
    EXPECT_FALSE(std::filesystem::exists(name));
    EXPECT_EQ(TCommitResult::Committed, guard.Commit());
    EXPECT_EQ((std::vector<uint8_t> { 1, 2, 3 }), ReadBytes(name));
    EXPECT_EQ(std::vector<std::string> { "out.raw" }, dir.Names());
    guard.Discard(); // nothing after a commit
    EXPECT_TRUE(std::filesystem::exists(name));
}

TEST_P(OutputCommit, DiscardingOrForgettingLeavesNothingAndTheOldFileAsItWas)
{
    TTempDir dir;
    const std::string name = dir.File("out.raw");
    ASSERT_TRUE(WriteBytes(name, { 9 }));
    {
        TOutputCommit guard;
        ASSERT_TRUE(guard.Create(name, TReplace::Allowed));
        Put(guard, { 1, 2 });
        guard.Discard();
        guard.Discard();
    }
    {
        TOutputCommit forgotten;
        ASSERT_TRUE(forgotten.Create(name, TReplace::Allowed));
        Put(forgotten, { 1, 2 });
    }
    EXPECT_EQ(std::vector<uint8_t> { 9 }, ReadBytes(name));
    EXPECT_EQ(std::vector<std::string> { "out.raw" }, dir.Names());
}

TEST_P(OutputCommit, ReplacesOnlyWhenAllowed)
{
    for (const TReplace replace : { TReplace::Never, TReplace::Allowed }) {
        SCOPED_TRACE(replace == TReplace::Never ? "never" : "allowed");
        TTempDir dir;
        const std::string name = dir.File("out.raw");
        TOutputCommit guard;
        ASSERT_TRUE(guard.Create(name, replace));
        Put(guard, { 1, 2 });
        // Another program takes the name while the output is written.
        ASSERT_TRUE(WriteBytes(name, { 7 }));
        const TCommitResult result = guard.Commit();
        if (replace == TReplace::Never) {
            EXPECT_EQ(TCommitResult::Exists, result);
            EXPECT_EQ(std::vector<uint8_t> { 7 }, ReadBytes(name));
        } else {
            EXPECT_EQ(TCommitResult::Committed, result);
            EXPECT_EQ((std::vector<uint8_t> { 1, 2 }), ReadBytes(name));
        }
        EXPECT_EQ(std::vector<std::string> { "out.raw" }, dir.Names());
    }
}

TEST_P(OutputCommit, ParkedTemporariesWaitWithoutADescriptorAndCommitTogether)
{
    TTempDir dir;
    std::vector<std::unique_ptr<TOutputCommit>> guards;
    std::vector<TOutputCommit*> all;
    for (int i = 0; i < 3; ++i) {
        guards.push_back(std::make_unique<TOutputCommit>());
        ASSERT_TRUE(guards.back()->Create(dir.File("t" + std::to_string(i)), TReplace::Never));
        Put(*guards.back(), { static_cast<uint8_t>(i) });
        ASSERT_TRUE(guards.back()->Park());
        EXPECT_EQ(-1, guards.back()->Fd());
        all.push_back(guards.back().get());
    }
    // Parked temporaries are hidden names of this run, with its lock.
    for (const std::string& name : dir.Names()) {
        EXPECT_EQ(0u, name.find(".tavmor-")) << name;
    }
    // The second name is taken meanwhile: none of the three takes its name.
    ASSERT_TRUE(WriteBytes(dir.File("t1"), { 42 }));
    size_t failedAt = 99;
    EXPECT_EQ(TCommitResult::Exists, TOutputCommit::CommitTogether(all, failedAt));
    EXPECT_EQ(1u, failedAt);
    EXPECT_EQ(std::vector<std::string> { "t1" }, dir.Names());
    EXPECT_EQ(std::vector<uint8_t> { 42 }, ReadBytes(dir.File("t1")));
}

TEST_P(OutputCommit, AFailedSyncOrRenameLeavesTheOldFile)
{
    for (const TFaultKind kind : { TFaultKind::Sync, TFaultKind::Commit }) {
        TTempDir dir;
        const std::string name = dir.File("out.raw");
        ASSERT_TRUE(WriteBytes(name, { 9 }));
        TOutputCommit guard;
        ASSERT_TRUE(guard.Create(name, TReplace::Allowed));
        Put(guard, { 1, 2 });
        TFaultSeam seam;
        seam.FailAt(kind, 1);
        seam.FailFollowing = true;
        TCommitResult result = TCommitResult::Committed;
        {
            TSeamInstaller installed(seam);
            result = guard.Commit();
        }
        EXPECT_EQ(TCommitResult::Failed, result);
        EXPECT_NE(0, guard.Error());
        EXPECT_EQ(std::vector<uint8_t> { 9 }, ReadBytes(name));
        EXPECT_EQ(std::vector<std::string> { "out.raw" }, dir.Names());
    }
}

INSTANTIATE_TEST_SUITE_P(Temporaries, OutputCommit, ::testing::Values(false, true),
    [](const ::testing::TestParamInfo<bool>& info) {
        return std::string(info.param ? "Named" : "Unnamed");
    });

TEST(Staging, DeadRunsLeftoversGoAndLiveRunsStay)
{
    TTempDir dir;
    const std::string folder = dir.Path() + "/";
    // A dead run: its lock is free.
    ASSERT_TRUE(WriteBytes(folder + ".tavmor-1-dead-1.lock", {}));
    ASSERT_TRUE(WriteBytes(folder + ".tavmor-1-dead-1-1.part", { 1 }));
    std::filesystem::create_directories(folder + "$$$TEMP$$$RESIZER$$$.tavmor-1-dead-1-2/x");
    // A live run of another process: its lock is held.
    ASSERT_TRUE(WriteBytes(folder + ".tavmor-2-live-1.lock", {}));
    ASSERT_TRUE(WriteBytes(folder + ".tavmor-2-live-1-1.part", { 2 }));
    const int held = ::open((folder + ".tavmor-2-live-1.lock").c_str(), O_RDWR);
    ASSERT_GE(held, 0);
    ASSERT_EQ(0, ::flock(held, LOCK_EX));
    // Names that only look alike are the user's.
    ASSERT_TRUE(WriteBytes(folder + "photo.tavmor.tif", { 3 }));

    SweepStaleTemporaries(folder);

    EXPECT_EQ((std::vector<std::string> {
                  ".tavmor-2-live-1-1.part", ".tavmor-2-live-1.lock", "photo.tavmor.tif" }),
        dir.Names());
    ::close(held);
}

TEST(Staging, TheLockGoesWithTheLastTemporary)
{
    TTempDir dir;
    const std::string folder = dir.Path() + "/";
    const std::string a = NewTemporaryName(folder);
    const std::string b = NewScratchName(folder, "scratch");
    ASSERT_FALSE(a.empty());
    ASSERT_FALSE(b.empty());
    EXPECT_NE(a, b);
    EXPECT_EQ(1u, dir.Names().size()); // the lock only: the names are not files yet
    ReleaseTemporaryName(folder);
    EXPECT_EQ(1u, dir.Names().size());
    ReleaseTemporaryName(folder);
    EXPECT_TRUE(dir.Names().empty());
}

} // namespace
