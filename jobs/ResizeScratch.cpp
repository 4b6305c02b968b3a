// An intermediate image of the Resize job, written through a commit guard in large pieces.
#include "jobs/ResizeScratch.h"

#include <cerrno>

#include "engine/FileNames.h"
#include "engine/IoSeam.h"
#include "engine/TavmorUtils.h"

bool TScratchImage::Create(const std::string& name, uint32_t width, uint32_t height, uint8_t bits)
{
    FGuard.Discard();
    FName = name;
    FError = 0;
    FNoRoom = false;
    FRowBytes = uint64_t(width) * (bits == 16 ? 6 : 3);
    const uint64_t bytes = FRowBytes * height;
    const int64_t free = FreeSpaceOf(DirectoryOf(name));
    if (free < 0 || uint64_t(free) <= bytes) {
        FNoRoom = true;
        return false;
    }
    // The run's own folder: a file of that name can only be an earlier one of this run.
    return FGuard.Create(name, TReplace::Allowed, false);
}

bool TScratchImage::WriteLines(uint32_t first, uint32_t count, const uint8_t* rows)
{
    const int fd = FGuard.Fd();
    const uint64_t bytes = FRowBytes * count;
    uint64_t done = 0;
    while (fd >= 0 && done < bytes) {
        const ssize_t n = IoSeam().PWrite(
            fd, rows + done, size_t(bytes - done), int64_t(FRowBytes * first + done));
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            FError = n < 0 && errno != 0 ? errno : EIO;
            return false;
        }
        done += uint64_t(n);
    }
    if (fd < 0) {
        FError = EBADF;
    }
    return done == bytes;
}

bool TScratchImage::Commit()
{
    return FGuard.Commit() == TCommitResult::Committed;
}
