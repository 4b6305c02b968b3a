// A disk that fills up under a running job: a file-size limit in a child process (every
// write beyond it fails with EFBIG), and a small memory file system mounted for the test
// where the machine allows it (writes beyond it fail with ENOSPC).
#include <algorithm>
#include <cctype>
#include <csignal>
#include <filesystem>
#include <string>
#include <sys/mount.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include "ReliabilityRig.h"

namespace {

using namespace Reliability;

/// Runs body in a forked child whose files may not grow beyond limit bytes; the child's
/// test failures are its exit status.
void RunWithFileSizeLimit(uint64_t limit, const std::function<void()>& body)
{
    std::fflush(nullptr);
    const pid_t pid = fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
        // Without SIGXFSZ ignored the child would be killed; with it, write returns EFBIG.
        std::signal(SIGXFSZ, SIG_IGN);
        const rlimit rl { limit, limit };
        if (setrlimit(RLIMIT_FSIZE, &rl) != 0) {
            _exit(3);
        }
        body();
        std::fflush(nullptr);
        _exit(::testing::Test::HasFailure() ? 1 : 0);
    }
    int status = 0;
    ASSERT_EQ(waitpid(pid, &status, 0), pid);
    ASSERT_TRUE(WIFEXITED(status)) << "the child ended by signal " << WTERMSIG(status);
    EXPECT_EQ(WEXITSTATUS(status), 0) << "the child's checks failed (its output is above)";
}

class FileSizeLimit : public ::testing::TestWithParam<TJob> { };

TEST_P(FileSizeLimit, WritesBeyondTheLimitFailCleanly)
{
    TJobRig rig(GetParam());
    size_t largest = 0;
    for (const auto& [name, bytes] : rig.Clean().Outputs) {
        largest = std::max(largest, bytes.size());
    }
    ASSERT_GT(largest, 8u);
    // Nothing at all, less than a header, half of the largest output, one byte short of it.
    for (const uint64_t limit :
        { uint64_t { 0 }, uint64_t { 7 }, uint64_t { largest / 2 }, uint64_t { largest - 1 } }) {
        SCOPED_TRACE("file size limit " + std::to_string(limit));
        RunWithFileSizeLimit(limit, [&] {
            const TRunOutcome outcome = rig.Run();
            EXPECT_TRUE(outcome.Aborted);
            rig.ExpectSound(outcome, TFaultKind::DiskFull);
        });
    }
    rig.ExpectInputUntouched();
}

INSTANTIATE_TEST_SUITE_P(SmallJobs, FileSizeLimit, ::testing::ValuesIn(SmallJobs()),
    [](const ::testing::TestParamInfo<TJob>& info) {
        std::string name = info.param.Name;
        for (char& c : name) {
            c = std::isalnum(static_cast<unsigned char>(c)) ? c : '_';
        }
        return name;
    });

/// A tmpfs of the given size mounted on a fresh folder for its lifetime; Path() is empty
/// when the machine does not allow the mount (no privilege, no tmpfs).
class TSmallDisk {
public:
    explicit TSmallDisk(uint64_t bytes)
    {
        const std::string options = "size=" + std::to_string(bytes);
        if (mount("tmpfs", Folder.Path().c_str(), "tmpfs", 0, options.c_str()) == 0) {
            FPath = Folder.Path();
        }
    }
    ~TSmallDisk()
    {
        if (!FPath.empty()) {
            (void)umount(FPath.c_str());
        }
    }
    TSmallDisk(const TSmallDisk&) = delete;
    TSmallDisk& operator=(const TSmallDisk&) = delete;
    const std::string& Path() const { return FPath; }
    void Empty() const
    {
        std::error_code ec;
        for (const auto& entry : std::filesystem::directory_iterator(FPath, ec)) {
            std::filesystem::remove_all(entry.path(), ec);
        }
    }

private:
    TestImages::TTempDir Folder;
    std::string FPath;
};

TEST(SmallDisk, EachOperationFailsCleanlyWhenTheDiskIsFull)
{
    // 120 x 100 pixels of 16 bits: outputs of 72 000 bytes and more, on a disk of 64 KiB.
    // A copy or merge is refused before it starts (the free space is known); the split's
    // tiles of 60 x 100 each fit alone, but both of a band do not, so its writes run into
    // the full disk.
    const TJob jobs[] = {
        { "copy tif to raw", TOperation::Copy, "in.tif", 120, 100, 16, FileType::RAW },
        { "copy raw to lzw tif", TOperation::Copy, "in.raw", 120, 100, 16, FileType::TIF, true },
        { "split tif into raw tiles", TOperation::Split, "in.tif", 120, 100, 16, FileType::RAW,
            false, 60, 100 },
        { "split kro into tif tiles", TOperation::Split, "in.kro", 120, 100, 16, FileType::TIF,
            false, 60, 100 },
        { "merge raw tiles into kro", TOperation::Merge, "in.raw", 120, 100, 16, FileType::KRO,
            false, 60, 50, FileType::RAW },
    };
    TSmallDisk disk(64 * 1024);
    if (disk.Path().empty()) {
        GTEST_SKIP() << "cannot mount a tmpfs here (needs root or CAP_SYS_ADMIN)";
    }
    for (const TJob& job : jobs) {
        SCOPED_TRACE(job.Name);
        TJobRig rig(job);
        const TRunOutcome outcome = rig.Run(nullptr, nullptr, disk.Path());
        EXPECT_TRUE(outcome.Aborted);
        rig.ExpectSound(outcome, TFaultKind::DiskFull);
        rig.ExpectInputUntouched();
        disk.Empty();
    }
}

} // namespace
