// The one place where the engine touches file descriptors, so that tests can inject faults
// into every read, write and close of sequential files and TIFF files alike.
#pragma once

#include <cstddef>
#include <cstdint>
#include <sys/types.h>

/// System calls used for image data. The default forwards to the operating system.
/// Tests install their own (one per process) to fail the n-th call or shorten a transfer.
class TIoSeam {
public:
    virtual ~TIoSeam() = default;
    virtual int Open(const char* path, int flags, mode_t mode);
    virtual ssize_t Read(int fd, void* buffer, size_t count);
    virtual ssize_t Write(int fd, const void* buffer, size_t count);
    virtual ssize_t PRead(int fd, void* buffer, size_t count, int64_t offset);
    virtual ssize_t PWrite(int fd, const void* buffer, size_t count, int64_t offset);
    virtual int64_t Seek(int fd, int64_t offset, int whence);
    virtual int Close(int fd);
};

/// The seam in force; never null.
TIoSeam& IoSeam();
/// Installs a seam (null restores the default). Not thread-safe: call between operations.
void SetIoSeam(TIoSeam* seam);
