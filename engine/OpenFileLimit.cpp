// Raising the soft limit of open files and counting the descriptors still available.
#include "engine/OpenFileLimit.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <dirent.h>
#include <fcntl.h>
#include <mutex>
#include <sys/resource.h>
#include <unistd.h>

namespace {

// Without /proc the descriptors in use are probed one by one; beyond this many the scan
// would cost more than it tells.
constexpr uint64_t kMaxScannedDescriptors = 1 << 20;

uint64_t SoftLimit()
{
    rlimit limit {};
    if (getrlimit(RLIMIT_NOFILE, &limit) != 0) {
        return 0;
    }
    return limit.rlim_cur == RLIM_INFINITY ? UINT64_MAX : limit.rlim_cur;
}

/// The kernel's ceiling for any process's descriptors (Linux), 0 when unknown.
uint64_t KernelOpenFileCeiling()
{
    FILE* file = std::fopen("/proc/sys/fs/nr_open", "r");
    if (file == nullptr) {
        return 0;
    }
    unsigned long long value = 0;
    const bool ok = std::fscanf(file, "%llu", &value) == 1;
    std::fclose(file);
    return ok ? value : 0;
}

void RaiseOnce()
{
    rlimit limit {};
    if (getrlimit(RLIMIT_NOFILE, &limit) != 0 || limit.rlim_cur == limit.rlim_max) {
        return;
    }
    rlimit raised = limit;
    raised.rlim_cur = limit.rlim_max;
    if (setrlimit(RLIMIT_NOFILE, &raised) == 0) {
        return;
    }
    // An unlimited hard limit cannot become the soft one; the kernel's ceiling can.
    const uint64_t ceiling = KernelOpenFileCeiling();
    if (ceiling > limit.rlim_cur && (limit.rlim_max == RLIM_INFINITY || ceiling < limit.rlim_max)) {
        raised.rlim_cur = ceiling;
        (void)setrlimit(RLIMIT_NOFILE, &raised);
    }
}

/// Descriptors open in this process; false when they cannot be counted.
bool DescriptorsInUse(uint64_t& count)
{
    if (DIR* dir = opendir("/proc/self/fd")) {
        uint64_t entries = 0;
        while (const dirent* entry = readdir(dir)) {
            if (entry->d_name[0] != '.') {
                ++entries;
            }
        }
        closedir(dir);
        // The listing counted the descriptor it was read through.
        count = entries > 0 ? entries - 1 : 0;
        return true;
    }
    if (errno == EMFILE || errno == ENFILE) {
        return false;
    }
    const uint64_t last = std::min(SoftLimit(), kMaxScannedDescriptors);
    count = 0;
    for (uint64_t fd = 0; fd < last; ++fd) {
        if (fcntl(static_cast<int>(fd), F_GETFD) != -1) {
            ++count;
        }
    }
    return true;
}

} // namespace

uint64_t RaiseOpenFileLimit()
{
    static std::once_flag once;
    std::call_once(once, RaiseOnce);
    return SoftLimit();
}

uint64_t OpenFilesAvailable()
{
    uint64_t used = 0;
    if (!DescriptorsInUse(used)) {
        return 0;
    }
    const uint64_t soft = SoftLimit();
    return soft > used ? soft - used : 0;
}
