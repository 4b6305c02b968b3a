// A system-call seam for tests that fails the n-th open, read, write or close of image data,
// and an installer that puts the default seam back when it goes out of scope.
#pragma once

#include <cerrno>

#include "engine/IoSeam.h"

class TFaultSeam : public TIoSeam {
public:
    /// 1-based number of the call that fails (and, with FailFollowing, every later one);
    /// 0 fails none. Reads count Read and PRead, writes Write and PWrite.
    int FailOpenAt = 0;
    int FailReadAt = 0;
    int FailWriteAt = 0;
    int FailCloseAt = 0;
    bool FailFollowing = false;
    int Error = EIO; ///< errno of a failed call
    /// Every read and write moves only half of what was asked (at least one byte), as the
    /// system may legally do at any time.
    bool ShortTransfers = false;

    int Opens = 0;
    int Reads = 0;
    int Writes = 0;
    int Closes = 0;

    int Open(const char* path, int flags, mode_t mode) override;
    ssize_t Read(int fd, void* buffer, size_t count) override;
    ssize_t Write(int fd, const void* buffer, size_t count) override;
    ssize_t PRead(int fd, void* buffer, size_t count, int64_t offset) override;
    ssize_t PWrite(int fd, const void* buffer, size_t count, int64_t offset) override;
    int Close(int fd) override;

private:
    bool Fails(int& counter, int failAt);
};

/// Installs a seam for the lifetime of the installer.
class TSeamInstaller {
public:
    explicit TSeamInstaller(TIoSeam& seam) { SetIoSeam(&seam); }
    ~TSeamInstaller() { SetIoSeam(nullptr); }
    TSeamInstaller(const TSeamInstaller&) = delete;
    TSeamInstaller& operator=(const TSeamInstaller&) = delete;
};
