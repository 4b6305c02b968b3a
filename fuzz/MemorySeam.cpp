// The in-memory files of the fuzz targets.
#include "fuzz/MemorySeam.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>

namespace {
// No in-memory file grows past this: a write beyond fails as on a full disk.
constexpr uint64_t kMaxFileBytes = uint64_t(256) << 20;
} // namespace

bool TMemorySeam::InMemory(const char* path)
{
    return path && std::strncmp(path, kMemoryFolder, std::strlen(kMemoryFolder)) == 0;
}

TMemorySeam::TOpen* TMemorySeam::Descriptor(int fd)
{
    const auto it = FOpen.find(fd);
    return it == FOpen.end() ? nullptr : &it->second;
}

void TMemorySeam::Clear()
{
    FFiles.clear();
    FOpen.clear();
}

void TMemorySeam::Put(const std::string& path, const uint8_t* bytes, size_t size)
{
    FFiles[path] = std::make_shared<std::vector<uint8_t>>(bytes, bytes + size);
}

const std::vector<uint8_t>* TMemorySeam::Find(const std::string& path) const
{
    const auto it = FFiles.find(path);
    return it == FFiles.end() ? nullptr : it->second.get();
}

int TMemorySeam::Open(const char* path, int flags, mode_t mode)
{
    if (!InMemory(path)) {
        return TIoSeam::Open(path, flags, mode);
    }
    auto it = FFiles.find(path);
    if (it == FFiles.end()) {
        if ((flags & O_CREAT) == 0) {
            errno = ENOENT;
            return -1;
        }
        it = FFiles.emplace(path, std::make_shared<std::vector<uint8_t>>()).first;
    } else if ((flags & O_CREAT) != 0 && (flags & O_EXCL) != 0) {
        errno = EEXIST;
        return -1;
    }
    if ((flags & O_TRUNC) != 0) {
        it->second->clear();
    }
    const int fd = FNextFd++;
    FOpen[fd] = { it->second, 0 };
    return fd;
}

ssize_t TMemorySeam::PRead(int fd, void* buffer, size_t count, int64_t offset)
{
    TOpen* open = Descriptor(fd);
    if (!open) {
        return TIoSeam::PRead(fd, buffer, count, offset);
    }
    const std::vector<uint8_t>& bytes = *open->File;
    if (offset < 0) {
        errno = EINVAL;
        return -1;
    }
    const auto at = static_cast<uint64_t>(offset);
    if (at >= bytes.size()) {
        return 0;
    }
    const size_t n = std::min<uint64_t>(count, bytes.size() - at);
    std::memcpy(buffer, bytes.data() + at, n);
    return static_cast<ssize_t>(n);
}

ssize_t TMemorySeam::Read(int fd, void* buffer, size_t count)
{
    TOpen* open = Descriptor(fd);
    if (!open) {
        return TIoSeam::Read(fd, buffer, count);
    }
    const ssize_t n = PRead(fd, buffer, count, static_cast<int64_t>(open->Pos));
    if (n > 0) {
        open->Pos += static_cast<uint64_t>(n);
    }
    return n;
}

ssize_t TMemorySeam::PWrite(int fd, const void* buffer, size_t count, int64_t offset)
{
    TOpen* open = Descriptor(fd);
    if (!open) {
        return TIoSeam::PWrite(fd, buffer, count, offset);
    }
    if (offset < 0) {
        errno = EINVAL;
        return -1;
    }
    const auto at = static_cast<uint64_t>(offset);
    if (at > kMaxFileBytes || count > kMaxFileBytes - at) {
        errno = ENOSPC;
        return -1;
    }
    std::vector<uint8_t>& bytes = *open->File;
    if (bytes.size() < at + count) {
        bytes.resize(at + count);
    }
    std::memcpy(bytes.data() + at, buffer, count);
    return static_cast<ssize_t>(count);
}

ssize_t TMemorySeam::Write(int fd, const void* buffer, size_t count)
{
    TOpen* open = Descriptor(fd);
    if (!open) {
        return TIoSeam::Write(fd, buffer, count);
    }
    const ssize_t n = PWrite(fd, buffer, count, static_cast<int64_t>(open->Pos));
    if (n > 0) {
        open->Pos += static_cast<uint64_t>(n);
    }
    return n;
}

int64_t TMemorySeam::Seek(int fd, int64_t offset, int whence)
{
    TOpen* open = Descriptor(fd);
    if (!open) {
        return TIoSeam::Seek(fd, offset, whence);
    }
    const int64_t base = whence == SEEK_SET ? 0
        : whence == SEEK_CUR                ? static_cast<int64_t>(open->Pos)
                                            : static_cast<int64_t>(open->File->size());
    if (offset > INT64_MAX - base || base + offset < 0) {
        errno = EINVAL;
        return -1;
    }
    open->Pos = static_cast<uint64_t>(base + offset);
    return base + offset;
}

int TMemorySeam::Close(int fd)
{
    if (FOpen.erase(fd) == 0) {
        return TIoSeam::Close(fd);
    }
    return 0;
}

int TMemorySeam::Sync(int fd)
{
    return Descriptor(fd) ? 0 : TIoSeam::Sync(fd);
}

int TMemorySeam::Link(const char* from, const char* to)
{
    if (!InMemory(from) && !InMemory(to)) {
        return TIoSeam::Link(from, to);
    }
    const auto it = FFiles.find(from);
    if (it == FFiles.end() || FFiles.count(to) != 0) {
        errno = it == FFiles.end() ? ENOENT : EEXIST;
        return -1;
    }
    FFiles[to] = it->second;
    return 0;
}

int TMemorySeam::Rename(const char* from, const char* to, bool noReplace)
{
    if (!InMemory(from) && !InMemory(to)) {
        return TIoSeam::Rename(from, to, noReplace);
    }
    const auto it = FFiles.find(from);
    if (it == FFiles.end() || (noReplace && FFiles.count(to) != 0)) {
        errno = it == FFiles.end() ? ENOENT : EEXIST;
        return -1;
    }
    TBytes file = it->second;
    FFiles.erase(it);
    FFiles[to] = file;
    return 0;
}

int TMemorySeam::Stat(const char* path, struct stat* info)
{
    if (!InMemory(path)) {
        return TIoSeam::Stat(path, info);
    }
    const auto it = FFiles.find(path);
    if (it == FFiles.end()) {
        errno = ENOENT;
        return -1;
    }
    *info = {};
    info->st_mode = S_IFREG | 0644;
    info->st_size = static_cast<off_t>(it->second->size());
    return 0;
}

int TMemorySeam::FStat(int fd, struct stat* info)
{
    TOpen* open = Descriptor(fd);
    if (!open) {
        return TIoSeam::FStat(fd, info);
    }
    *info = {};
    info->st_mode = S_IFREG | 0644;
    info->st_size = static_cast<off_t>(open->File->size());
    return 0;
}
