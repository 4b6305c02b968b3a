// The fault-injecting system-call seam.
#include "support/FaultSeam.h"

#include <unistd.h>

void TFaultSeam::FailAt(TFaultKind kind, int n)
{
    switch (kind) {
    case TFaultKind::Open:
        FailOpenAt = n;
        break;
    case TFaultKind::Read:
        FailReadAt = n;
        break;
    case TFaultKind::Write:
        FailWriteAt = n;
        break;
    case TFaultKind::Sync:
        FailSyncAt = n;
        break;
    case TFaultKind::Commit:
        FailCommitAt = n;
        break;
    case TFaultKind::Close:
        FailCloseAt = n;
        break;
    default:
        break;
    }
}

int TFaultSeam::CountOf(TFaultKind kind) const
{
    switch (kind) {
    case TFaultKind::Open:
        return Opens;
    case TFaultKind::Read:
        return Reads;
    case TFaultKind::Write:
        return Writes;
    case TFaultKind::Sync:
        return Syncs;
    case TFaultKind::Commit:
        return Commits;
    case TFaultKind::Close:
        return Closes;
    default:
        return 0;
    }
}

bool TFaultSeam::Fails(int& counter, int failAt)
{
    const std::lock_guard<std::mutex> lock(FLock);
    ++counter;
    const bool hit = failAt > 0 && (counter == failAt || (FailFollowing && counter > failAt));
    Hits += hit ? 1 : 0;
    return hit;
}

size_t TFaultSeam::Transfer(int& counter, int failAt, size_t count)
{
    if (Fails(counter, failAt)) {
        if (ShortAtFault && count > 1) {
            return count / 2;
        }
        errno = Error;
        return 0;
    }
    return ShortTransfers && count > 1 ? count / 2 : count;
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
    const size_t n = Transfer(Reads, FailReadAt, count);
    return n == 0 && count > 0 ? -1 : TIoSeam::Read(fd, buffer, n);
}

ssize_t TFaultSeam::Write(int fd, const void* buffer, size_t count)
{
    const size_t n = Transfer(Writes, FailWriteAt, count);
    return n == 0 && count > 0 ? -1 : TIoSeam::Write(fd, buffer, n);
}

ssize_t TFaultSeam::PRead(int fd, void* buffer, size_t count, int64_t offset)
{
    const size_t n = Transfer(Reads, FailReadAt, count);
    return n == 0 && count > 0 ? -1 : TIoSeam::PRead(fd, buffer, n, offset);
}

ssize_t TFaultSeam::PWrite(int fd, const void* buffer, size_t count, int64_t offset)
{
    const size_t n = Transfer(Writes, FailWriteAt, count);
    return n == 0 && count > 0 ? -1 : TIoSeam::PWrite(fd, buffer, n, offset);
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

int TFaultSeam::Sync(int fd)
{
    if (Fails(Syncs, FailSyncAt)) {
        errno = Error;
        return -1;
    }
    return TIoSeam::Sync(fd);
}

int TFaultSeam::Link(const char* from, const char* to)
{
    if (Fails(Commits, FailCommitAt)) {
        errno = Error;
        return -1;
    }
    return TIoSeam::Link(from, to);
}

int TFaultSeam::Rename(const char* from, const char* to, bool noReplace)
{
    if (Fails(Commits, FailCommitAt)) {
        errno = Error;
        return -1;
    }
    return TIoSeam::Rename(from, to, noReplace);
}
