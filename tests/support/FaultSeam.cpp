// The fault-injecting system-call seam.
#include "support/FaultSeam.h"

#include <unistd.h>

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
    return TIoSeam::Read(fd, buffer, count);
}

ssize_t TFaultSeam::Write(int fd, const void* buffer, size_t count)
{
    if (Fails(Writes, FailWriteAt)) {
        errno = Error;
        return -1;
    }
    return TIoSeam::Write(fd, buffer, count);
}

ssize_t TFaultSeam::PRead(int fd, void* buffer, size_t count, int64_t offset)
{
    if (Fails(Reads, FailReadAt)) {
        errno = Error;
        return -1;
    }
    return TIoSeam::PRead(fd, buffer, count, offset);
}

ssize_t TFaultSeam::PWrite(int fd, const void* buffer, size_t count, int64_t offset)
{
    if (Fails(Writes, FailWriteAt)) {
        errno = Error;
        return -1;
    }
    return TIoSeam::PWrite(fd, buffer, count, offset);
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
