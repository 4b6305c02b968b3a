// Buffered sequential file access through the I/O seam, keeping its first failure.
#include "engine/SeqFile.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>

#include "engine/IoSeam.h"

namespace {
// One mebibyte keeps the system calls few (a RAW convert runs close to a plain copy) while
// staying small beside the line buffers.
constexpr size_t kBufferSize = size_t(1) << 20;
// A split or merge keeps one file open per tile column, so a file's buffer follows its line
// size: the buffers of a band then add up to about one image line, not one MiB per column.
constexpr size_t kMinBufferSize = size_t(64) << 10;
} // namespace

TSeqFile::~TSeqFile()
{
    (void)Close();
}

void TSeqFile::Fail(int code)
{
    FFailed = true;
    // The first failure is the cause; later steps on a failed file only fail again.
    if (FError == 0) {
        FError = code != 0 ? code : EIO;
    }
}

bool TSeqFile::OpenRead(const std::string& path)
{
    (void)Close();
    FError = 0;
    FOwnsFd = true;
    FFd = IoSeam().Open(path.c_str(), O_RDONLY | O_CLOEXEC, 0);
    if (FFd < 0) {
        FError = errno != 0 ? errno : EIO;
        return false;
    }
    FWriting = false;
    FFailed = false;
    FBegin = FEnd = 0;
    return true;
}

void TSeqFile::AttachWrite(int fd)
{
    (void)Close();
    FError = 0;
    FFd = fd;
    FOwnsFd = false;
    FWriting = true;
    FFailed = fd < 0;
    if (FFailed) {
        FError = EBADF;
    }
    FBegin = FEnd = 0;
}

int64_t TSeqFile::ReadSome(uint8_t* bytes, size_t count)
{
    size_t done = 0;
    while (done < count) {
        const ssize_t n = IoSeam().Read(FFd, bytes + done, count - done);
        if (n < 0) {
            if (errno == EINTR) {
                continue;
            }
            Fail(errno);
            break;
        }
        if (n == 0) {
            break;
        }
        done += static_cast<size_t>(n);
    }
    return static_cast<int64_t>(done);
}

void TSeqFile::SizeBufferFor(size_t lineBytes)
{
    FBufferSize = std::clamp(lineBytes, kMinBufferSize, kBufferSize);
}

int64_t TSeqFile::Read(void* buffer, size_t count)
{
    if (FFd < 0 || FWriting) {
        Fail(EBADF);
        return 0;
    }
    auto* out = static_cast<uint8_t*>(buffer);
    size_t done = 0;
    while (done < count && !FFailed) {
        if (FBegin < FEnd) {
            const size_t n = std::min(count - done, FEnd - FBegin);
            std::memcpy(out + done, FBuffer.data() + FBegin, n);
            FBegin += n;
            done += n;
            continue;
        }
        // Large requests go straight into the caller's buffer: one system call per line.
        if (count - done >= FBufferSize) {
            const int64_t n = ReadSome(out + done, count - done);
            done += static_cast<size_t>(n);
            break;
        }
        if (FBuffer.size() != FBufferSize) {
            FBuffer.resize(FBufferSize);
        }
        FBegin = 0;
        FEnd = static_cast<size_t>(ReadSome(FBuffer.data(), FBuffer.size()));
        if (FEnd == 0) {
            break;
        }
    }
    return static_cast<int64_t>(done);
}

bool TSeqFile::Skip(int64_t count)
{
    if (FFd < 0 || FWriting || count < 0) {
        Fail(EBADF);
        return false;
    }
    const int64_t held = static_cast<int64_t>(FEnd - FBegin);
    if (count <= held) {
        FBegin += static_cast<size_t>(count);
        return true;
    }
    const int64_t rest = count - held;
    FBegin = FEnd = 0;
    if (IoSeam().Seek(FFd, rest, SEEK_CUR) < 0) {
        Fail(errno);
        return false;
    }
    return true;
}

bool TSeqFile::WriteAll(const uint8_t* bytes, size_t count)
{
    size_t done = 0;
    while (done < count) {
        const ssize_t n = IoSeam().Write(FFd, bytes + done, count - done);
        if (n < 0) {
            if (errno == EINTR) {
                continue;
            }
            Fail(errno);
            return false;
        }
        if (n == 0) {
            Fail(ENOSPC);
            return false;
        }
        done += static_cast<size_t>(n);
    }
    return true;
}

bool TSeqFile::Flush()
{
    if (FEnd == 0) {
        return !FFailed;
    }
    const bool ok = WriteAll(FBuffer.data(), FEnd);
    FEnd = 0;
    return ok;
}

int64_t TSeqFile::Write(const void* buffer, size_t count)
{
    if (FFd < 0 || !FWriting) {
        Fail(EBADF);
        return 0;
    }
    if (FFailed) {
        return 0;
    }
    const auto* in = static_cast<const uint8_t*>(buffer);
    if (FBuffer.size() != FBufferSize) {
        FBuffer.resize(FBufferSize);
    }
    if (FEnd + count > FBuffer.size()) {
        if (!Flush()) {
            return 0;
        }
        if (count >= FBuffer.size()) {
            return WriteAll(in, count) ? static_cast<int64_t>(count) : 0;
        }
    }
    std::memcpy(FBuffer.data() + FEnd, in, count);
    FEnd += count;
    return static_cast<int64_t>(count);
}

bool TSeqFile::Close()
{
    if (FFd < 0) {
        return true;
    }
    bool ok = true;
    if (FWriting) {
        ok = Flush() && !FFailed;
    }
    if (FOwnsFd && IoSeam().Close(FFd) != 0) {
        if (ok) {
            Fail(errno);
        }
        ok = false;
    }
    FFd = -1;
    FBegin = FEnd = 0;
    FBuffer.clear();
    FBuffer.shrink_to_fit();
    return ok;
}
