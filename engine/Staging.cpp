// The lock files that say which run owns which temporaries, and the sweep of dead runs' ones.
#include "engine/Staging.h"

#include <cerrno>
#include <cstdint>
#include <fcntl.h>
#include <filesystem>
#include <map>
#include <mutex>
#include <random>
#include <set>
#include <string_view>
#include <sys/file.h>
#include <unistd.h>

namespace {

constexpr std::string_view kLockSuffix = ".lock";

/// This process's claim on one folder.
struct TClaim {
    std::string Run; ///< "<pid>-<random>-<k>", new for every claim
    int LockFd = -1;
    uint64_t Live = 0; ///< names handed out and not yet released
    uint64_t Next = 0;
};

std::mutex gLock;
std::map<std::string, TClaim> gClaims;
std::set<std::string> gSwept;

std::string NewRunId()
{
    static std::random_device device;
    static uint64_t counter = 0;
    const uint32_t salt = device();
    char text[64];
    std::snprintf(text, sizeof text, "%ld-%08x-%llu", static_cast<long>(getpid()), salt,
        static_cast<unsigned long long>(++counter));
    return text;
}

std::string LockName(const std::string& folder, const std::string& run)
{
    return folder + kTemporaryPrefix + run + std::string(kLockSuffix);
}

/// Creates this run's lock file, already locked when it gets its name: an unnamed file locked
/// and then linked where the file system allows, else a new name locked at once.
int CreateLock(const std::string& folder, const std::string& run)
{
    const std::string name = LockName(folder, run);
    int fd = ::open(folder.c_str(), O_TMPFILE | O_RDWR | O_CLOEXEC, 0600);
    if (fd >= 0) {
        const std::string self = "/proc/self/fd/" + std::to_string(fd);
        if (::flock(fd, LOCK_EX) == 0
            && ::linkat(AT_FDCWD, self.c_str(), AT_FDCWD, name.c_str(), AT_SYMLINK_FOLLOW) == 0) {
            return fd;
        }
        ::close(fd);
    }
    fd = ::open(name.c_str(), O_CREAT | O_EXCL | O_RDWR | O_CLOEXEC | O_NOFOLLOW, 0600);
    if (fd < 0) {
        return -1;
    }
    if (::flock(fd, LOCK_EX) != 0) {
        ::close(fd);
        (void)::unlink(name.c_str());
        return -1;
    }
    return fd;
}

/// The claim on folder, taking the lock for it first when this process has none there.
TClaim* ClaimFor(const std::string& folder)
{
    auto found = gClaims.find(folder);
    if (found != gClaims.end()) {
        return &found->second;
    }
    TClaim claim;
    claim.Run = NewRunId();
    claim.LockFd = CreateLock(folder, claim.Run);
    if (claim.LockFd < 0) {
        return nullptr;
    }
    return &gClaims.emplace(folder, claim).first->second;
}

void SweepLocked(const std::string& folder)
{
    if (!gSwept.insert(folder).second) {
        return;
    }
    namespace fs = std::filesystem;
    std::error_code ec;
    std::set<std::string> deadRuns;
    const std::string prefix = kTemporaryPrefix;
    for (fs::directory_iterator it(folder.empty() ? "." : folder, ec), end; !ec && it != end;
         it.increment(ec)) {
        const std::string name = it->path().filename().string();
        if (name.size() <= prefix.size() + kLockSuffix.size() || name.rfind(prefix, 0) != 0
            || name.compare(name.size() - kLockSuffix.size(), kLockSuffix.size(), kLockSuffix)
                != 0) {
            continue;
        }
        const std::string run =
            name.substr(prefix.size(), name.size() - prefix.size() - kLockSuffix.size());
        bool ours = false;
        for (const auto& [claimed, claim] : gClaims) {
            ours = ours || claim.Run == run;
        }
        if (ours) {
            continue;
        }
        const int fd = ::open(it->path().c_str(), O_RDWR | O_CLOEXEC | O_NOFOLLOW);
        if (fd < 0) {
            continue;
        }
        // A lock nobody holds belongs to a run that is gone: a live run holds its lock until
        // its last temporary is gone.
        if (::flock(fd, LOCK_EX | LOCK_NB) == 0) {
            deadRuns.insert(run);
        }
        ::close(fd);
    }
    if (deadRuns.empty()) {
        return;
    }
    std::vector<fs::path> doomed;
    std::vector<fs::path> locks;
    for (fs::directory_iterator it(folder.empty() ? "." : folder, ec), end; !ec && it != end;
         it.increment(ec)) {
        const std::string name = it->path().filename().string();
        for (const std::string& run : deadRuns) {
            if (name == prefix + run + std::string(kLockSuffix)) {
                locks.push_back(it->path());
            } else if (name.find(prefix + run + "-") != std::string::npos) {
                doomed.push_back(it->path());
            }
        }
    }
    for (const fs::path& path : doomed) {
        std::error_code ignored;
        fs::remove_all(path, ignored);
    }
    for (const fs::path& path : locks) {
        std::error_code ignored;
        fs::remove(path, ignored);
    }
}

} // namespace

void SweepStaleTemporaries(const std::string& folder)
{
    std::lock_guard<std::mutex> lock(gLock);
    SweepLocked(folder);
}

namespace {

/// folder + prefix + ".tavmor-<run>-<n>" + suffix for this process's claim on the folder,
/// sweeping the folder first; "" when the claim cannot be had.
std::string NewClaimedName(
    const std::string& folder, const std::string& prefix, const std::string& suffix)
{
    std::lock_guard<std::mutex> lock(gLock);
    SweepLocked(folder);
    TClaim* claim = ClaimFor(folder);
    if (!claim) {
        return {};
    }
    ++claim->Live;
    return folder + prefix + kTemporaryPrefix + claim->Run + "-" + std::to_string(++claim->Next)
        + suffix;
}

} // namespace

std::string NewTemporaryName(const std::string& folder)
{
    return NewClaimedName(folder, "", ".part");
}

std::string NewScratchName(const std::string& folder, const std::string& prefix)
{
    return NewClaimedName(folder, prefix, "");
}

void ReleaseTemporaryName(const std::string& folder)
{
    std::lock_guard<std::mutex> lock(gLock);
    auto found = gClaims.find(folder);
    if (found == gClaims.end() || found->second.Live == 0) {
        return;
    }
    if (--found->second.Live == 0) {
        (void)::unlink(LockName(folder, found->second.Run).c_str());
        ::close(found->second.LockFd);
        gClaims.erase(found);
    }
}
