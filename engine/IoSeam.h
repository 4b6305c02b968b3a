// The one place where the engine touches file descriptors and names, so that tests can inject
// faults into every open, read, write, sync, rename and close of image files alike, and the
// fuzz targets can keep image files in memory.
#pragma once

#include <cstddef>
#include <cstdint>
#include <sys/stat.h>
#include <sys/types.h>

/// System calls used for image data and for committing outputs. The default forwards to the
/// operating system. Tests install their own (one per process) to fail the n-th call or shorten
/// a transfer.
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
    /// Forces the file's data to the disk (fdatasync).
    virtual int Sync(int fd);
    /// Gives the file `from` (a path, or /proc/self/fd/N of an unnamed file) the name `to`; fails
    /// with EEXIST when `to` exists (linkat, following a link given as `from`).
    virtual int Link(const char* from, const char* to);
    /// Renames `from` to `to`, replacing `to` unless noReplace (then EEXIST when it exists).
    virtual int Rename(const char* from, const char* to, bool noReplace);
    /// What stands at path, following links (stat): the sizes probes and checks read.
    virtual int Stat(const char* path, struct stat* info);
    /// What an open descriptor is (fstat): the size libtiff asks for.
    virtual int FStat(int fd, struct stat* info);
};

/// The seam in force; never null.
TIoSeam& IoSeam();
/// Installs a seam (null restores the default). Not thread-safe: call between operations.
void SetIoSeam(TIoSeam* seam);
