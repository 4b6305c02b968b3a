// Image files in memory behind the engine's I/O seam, so that a fuzz target opens, reads,
// writes and sizes its input and output without touching a file system.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "engine/IoSeam.h"

/// Files under kMemoryFolder live in memory; every other path and descriptor goes to the
/// operating system. One thread only.
class TMemorySeam final : public TIoSeam {
public:
    static constexpr const char* kMemoryFolder = "/mem/";

    /// Forgets every file and descriptor.
    void Clear();
    /// Puts a file of these bytes at path (under kMemoryFolder).
    void Put(const std::string& path, const uint8_t* bytes, size_t size);
    /// The bytes of a file; null when there is none.
    const std::vector<uint8_t>* Find(const std::string& path) const;

    int Open(const char* path, int flags, mode_t mode) override;
    ssize_t Read(int fd, void* buffer, size_t count) override;
    ssize_t Write(int fd, const void* buffer, size_t count) override;
    ssize_t PRead(int fd, void* buffer, size_t count, int64_t offset) override;
    ssize_t PWrite(int fd, const void* buffer, size_t count, int64_t offset) override;
    int64_t Seek(int fd, int64_t offset, int whence) override;
    int Close(int fd) override;
    int Sync(int fd) override;
    int Link(const char* from, const char* to) override;
    int Rename(const char* from, const char* to, bool noReplace) override;
    int Stat(const char* path, struct stat* info) override;
    int FStat(int fd, struct stat* info) override;

private:
    using TBytes = std::shared_ptr<std::vector<uint8_t>>;
    struct TOpen {
        TBytes File;
        uint64_t Pos = 0;
    };
    static bool InMemory(const char* path);
    TOpen* Descriptor(int fd);

    std::map<std::string, TBytes> FFiles;
    std::map<int, TOpen> FOpen;
    int FNextFd = 1 << 20; ///< far above any descriptor the system hands out here
};
