// The default system-call seam, forwarding to the operating system, and its installer.
#include "engine/IoSeam.h"

#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <sys/syscall.h>
#include <unistd.h>

int TIoSeam::Open(const char* path, int flags, mode_t mode)
{
    return ::open(path, flags, mode);
}

ssize_t TIoSeam::Read(int fd, void* buffer, size_t count)
{
    return ::read(fd, buffer, count);
}

ssize_t TIoSeam::Write(int fd, const void* buffer, size_t count)
{
    return ::write(fd, buffer, count);
}

ssize_t TIoSeam::PRead(int fd, void* buffer, size_t count, int64_t offset)
{
    return ::pread(fd, buffer, count, static_cast<off_t>(offset));
}

ssize_t TIoSeam::PWrite(int fd, const void* buffer, size_t count, int64_t offset)
{
    return ::pwrite(fd, buffer, count, static_cast<off_t>(offset));
}

int64_t TIoSeam::Seek(int fd, int64_t offset, int whence)
{
    return ::lseek(fd, static_cast<off_t>(offset), whence);
}

int TIoSeam::Close(int fd)
{
    return ::close(fd);
}

int TIoSeam::Sync(int fd)
{
    return ::fdatasync(fd);
}

int TIoSeam::Link(const char* from, const char* to)
{
    return ::linkat(AT_FDCWD, from, AT_FDCWD, to, AT_SYMLINK_FOLLOW);
}

int TIoSeam::Rename(const char* from, const char* to, bool noReplace)
{
    if (!noReplace) {
        return ::rename(from, to);
    }
    // renameat2 with RENAME_NOREPLACE (1) where the file system has it; otherwise a hard link,
    // which never replaces either, and the removal of the old name.
    const long r = ::syscall(SYS_renameat2, AT_FDCWD, from, AT_FDCWD, to, 1u);
    if (r == 0 || (errno != EINVAL && errno != ENOSYS && errno != EOPNOTSUPP)) {
        return static_cast<int>(r);
    }
    if (::link(from, to) != 0) {
        return -1;
    }
    (void)::unlink(from);
    return 0;
}

int TIoSeam::Stat(const char* path, struct stat* info)
{
    return ::stat(path, info);
}

int TIoSeam::FStat(int fd, struct stat* info)
{
    return ::fstat(fd, info);
}

namespace {
TIoSeam gDefaultSeam;
TIoSeam* gSeam = &gDefaultSeam;
} // namespace

TIoSeam& IoSeam()
{
    return *gSeam;
}

void SetIoSeam(TIoSeam* seam)
{
    gSeam = seam ? seam : &gDefaultSeam;
}
