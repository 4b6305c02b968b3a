// The fault-injecting system-call seam.
#include "support/FaultSeam.h"

#include <unistd.h>

namespace {
size_t Shortened(size_t count, bool shorten)
{
    return shorten && count > 1 ? count / 2 : count;
}
} // namespace

bool TFaultSeam::Fails(int& counter, int failAt)
{
    ++counter;
    if (failAt <= 0) {
        return false;
    }
    return counter == failAt || (FailFollowing && counter > failAt);
}

int TFaultSeam::Open(const char* path, int flags, mode_t mode)
{
    if (Fails(Opens, FailOpenAt)) {
        errno = Error;
        return -1;
    }
    return TIoSeam::Open(path, flags, mode);
}

ssize_t TFaultSeam::Read(int fd, void* buffer, size_t count)
{
    if (Fails(Reads, FailReadAt)) {
        errno = Error;
        return -1;
    }
    return TIoSeam::Read(fd, buffer, Shortened(count, ShortTransfers));
}

ssize_t TFaultSeam::Write(int fd, const void* buffer, size_t count)
{
    if (Fails(Writes, FailWriteAt)) {
        errno = Error;
        return -1;
    }
    return TIoSeam::Write(fd, buffer, Shortened(count, ShortTransfers));
}

ssize_t TFaultSeam::PRead(int fd, void* buffer, size_t count, int64_t offset)
{
    if (Fails(Reads, FailReadAt)) {
        errno = Error;
        return -1;
    }
    return TIoSeam::PRead(fd, buffer, Shortened(count, ShortTransfers), offset);
}

ssize_t TFaultSeam::PWrite(int fd, const void* buffer, size_t count, int64_t offset)
{
    if (Fails(Writes, FailWriteAt)) {
        errno = Error;
        return -1;
    }
    return TIoSeam::PWrite(fd, buffer, Shortened(count, ShortTransfers), offset);
}

int TFaultSeam::Close(int fd)
{
    if (Fails(Closes, FailCloseAt)) {
        // The descriptor is released all the same, as the system does after a failed close.
        (void)TIoSeam::Close(fd);
        errno = Error;
        return -1;
    }
    return TIoSeam::Close(fd);
}
