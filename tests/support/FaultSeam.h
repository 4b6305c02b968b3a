// The one system-call seam of the tests: it counts every call by kind and fails the n-th call
// of a kind (and, if asked, every later one), or shortens a transfer, as the system may; and an
// installer that puts the default seam back when it goes out of scope.
#pragma once

#include <cerrno>
#include <mutex>

#include "engine/IoSeam.h"

/// The kinds of call a fault can hit, and the two faults that are no call (an abort, a full
/// disk) for the rigs that need a name for them.
enum class TFaultKind : unsigned char {
    None,
    Open,
    Read,
    Write,
    Sync,
    Commit, ///< the link or rename that gives an output its name
    Close,
    Abort,
    DiskFull,
};

class TFaultSeam : public TIoSeam {
public:
    /// 1-based number of the call that fails (and, with FailFollowing, every later one);
    /// 0 fails none. Reads count Read and PRead, writes Write and PWrite, commits Link and
    /// Rename.
    int FailOpenAt = 0;
    int FailReadAt = 0;
    int FailWriteAt = 0;
    int FailSyncAt = 0;
    int FailCommitAt = 0;
    int FailCloseAt = 0;
    bool FailFollowing = false;
    int Error = EIO; ///< errno of a failed call
    /// The call a fault hits moves half of what was asked (at least one byte) instead of
    /// failing: a read or write the system may shorten at any time.
    bool ShortAtFault = false;
    /// Every read and write moves only half of what was asked (at least one byte).
    bool ShortTransfers = false;

    int Opens = 0;
    int Reads = 0;
    int Writes = 0;
    int Syncs = 0;
    int Commits = 0;
    int Closes = 0;
    int Hits = 0; ///< calls actually failed or shortened

    /// Sets the failing call of a kind.
    void FailAt(TFaultKind kind, int n);
    /// The number of calls of a kind made so far.
    int CountOf(TFaultKind kind) const;

    int Open(const char* path, int flags, mode_t mode) override;
    ssize_t Read(int fd, void* buffer, size_t count) override;
    ssize_t Write(int fd, const void* buffer, size_t count) override;
    ssize_t PRead(int fd, void* buffer, size_t count, int64_t offset) override;
    ssize_t PWrite(int fd, const void* buffer, size_t count, int64_t offset) override;
    int Close(int fd) override;
    int Sync(int fd) override;
    int Link(const char* from, const char* to) override;
    int Rename(const char* from, const char* to, bool noReplace) override;

private:
    /// Counts a call and tells whether it fails. Calls come from several threads at once (a
    /// resize reads, resizes and writes on threads of its own): the count is taken under a lock.
    bool Fails(int& counter, int failAt);
    /// For a transfer: the count to move, or 0 when the call fails (errno set).
    size_t Transfer(int& counter, int failAt, size_t count);

    std::mutex FLock;
};

/// Installs a seam for the lifetime of the installer.
class TSeamInstaller {
public:
    explicit TSeamInstaller(TIoSeam& seam) { SetIoSeam(&seam); }
    ~TSeamInstaller() { SetIoSeam(nullptr); }
    TSeamInstaller(const TSeamInstaller&) = delete;
    TSeamInstaller& operator=(const TSeamInstaller&) = delete;
};
