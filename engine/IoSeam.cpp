// The default system-call seam, forwarding to the operating system, and its installer.
#include "engine/IoSeam.h"

#include <fcntl.h>
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
