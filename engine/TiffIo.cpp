// The libtiff client procedures over the I/O seam, and opening TIFF handles for reading and
// writing.
#include "engine/TiffIo.h"

#include <algorithm>
#include <cerrno>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>

#include "engine/IoSeam.h"
#include "engine/TavmorManager.h"

namespace {

// Gathered output per TIFF file; a band of a split holds one such buffer per column.
constexpr size_t kTiffWriteBuffer = size_t(64) << 10;

/// Writes count bytes at offset, looping over short writes; false (pending error set) at a
/// failure.
bool WriteAt(TTiffFd& f, const uint8_t* bytes, size_t count, uint64_t offset)
{
    size_t done = 0;
    while (done < count) {
        const ssize_t n =
            IoSeam().PWrite(f.Fd, bytes + done, count - done, static_cast<int64_t>(offset + done));
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            f.Failed = true;
            if (f.Error == 0) {
                f.Error = n < 0 && errno != 0 ? errno : ENOSPC;
            }
            return false;
        }
        done += static_cast<size_t>(n);
    }
    f.End = std::max(f.End, offset + count);
    return true;
}

/// Writes the gathered bytes out; false at a failure (they are dropped then).
bool FlushPending(TTiffFd& f)
{
    if (f.Pending.empty()) {
        return !f.Failed;
    }
    const bool ok = WriteAt(f, f.Pending.data(), f.Pending.size(), f.PendingAt);
    f.Pending.clear();
    return ok;
}

TTiffFd& FdOf(thandle_t h)
{
    return *static_cast<TTiffFd*>(h);
}

tmsize_t ReadProc(thandle_t h, void* buffer, tmsize_t size)
{
    auto& f = FdOf(h);
    auto* out = static_cast<uint8_t*>(buffer);
    if (f.Buffered && !FlushPending(f)) {
        return 0;
    }
    tmsize_t done = 0;
    while (done < size) {
        const ssize_t n = f.Buffered
            ? IoSeam().PRead(f.Fd, out + done, static_cast<size_t>(size - done),
                static_cast<int64_t>(f.Pos + uint64_t(done)))
            : IoSeam().Read(f.Fd, out + done, static_cast<size_t>(size - done));
        if (n < 0) {
            if (errno == EINTR) {
                continue;
            }
            // A short count, never -1: libtiff 4.5 adds the result to the bytes already read
            // before it clears the rest of its buffer, so -1 makes it write past that buffer.
            f.ReadFailed = true;
            if (f.Error == 0) {
                f.Error = errno != 0 ? errno : EIO;
            }
            return done;
        }
        if (n == 0) {
            break;
        }
        done += n;
    }
    if (f.Buffered) {
        f.Pos += static_cast<uint64_t>(done);
    }
    return done;
}

tmsize_t WriteProc(thandle_t h, void* buffer, tmsize_t size)
{
    auto& f = FdOf(h);
    const auto* in = static_cast<const uint8_t*>(buffer);
    // Only handles opened for writing are buffered; a handle opened for reading never writes.
    if (!f.Buffered || f.Failed) {
        return 0;
    }
    const auto count = static_cast<size_t>(size);
    // What would not follow the gathered bytes, or not fit beside them, sends them first: the
    // buffer never grows past its size (a hundred tiles open hold a hundred of them).
    if (!f.Pending.empty()
        && (f.Pos != f.PendingAt + f.Pending.size()
            || f.Pending.size() + count > kTiffWriteBuffer)) {
        if (!FlushPending(f)) {
            return 0;
        }
    }
    if (f.Pending.empty() && count >= kTiffWriteBuffer) {
        if (!WriteAt(f, in, count, f.Pos)) {
            return 0;
        }
    } else {
        if (f.Pending.empty()) {
            f.PendingAt = f.Pos;
            f.Pending.reserve(kTiffWriteBuffer);
        }
        f.Pending.insert(f.Pending.end(), in, in + count);
        if (f.Pending.size() >= kTiffWriteBuffer && !FlushPending(f)) {
            return 0;
        }
    }
    f.Pos += count;
    return size;
}

toff_t SeekProc(thandle_t h, toff_t offset, int whence)
{
    auto& f = FdOf(h);
    if (f.Buffered) {
        // libtiff seeks to the end before every new strip: answered from what is known of
        // the file, without a system call.
        const uint64_t end = std::max(f.End, f.PendingAt + f.Pending.size());
        const uint64_t base = whence == SEEK_SET ? 0 : whence == SEEK_CUR ? f.Pos : end;
        f.Pos = base + uint64_t(offset);
        return static_cast<toff_t>(f.Pos);
    }
    const int64_t at = IoSeam().Seek(FdOf(h).Fd, static_cast<int64_t>(offset), whence);
    return at < 0 ? static_cast<toff_t>(-1) : static_cast<toff_t>(at);
}

int CloseProc(thandle_t h)
{
    auto& f = FdOf(h);
    if (f.Fd < 0) {
        return 0;
    }
    const bool flushed = !f.Buffered || FlushPending(f);
    f.Pending.clear();
    f.Pending.shrink_to_fit();
    const int r = f.Borrowed ? 0 : IoSeam().Close(f.Fd);
    f.Fd = -1;
    if (r != 0) {
        f.Failed = true;
        if (f.Error == 0) {
            f.Error = errno != 0 ? errno : EIO;
        }
    }
    return flushed ? r : -1;
}

toff_t SizeProc(thandle_t h)
{
    if (FdOf(h).Buffered) {
        (void)FlushPending(FdOf(h));
    }
    struct stat st { };
    if (IoSeam().FStat(FdOf(h).Fd, &st) != 0) {
        return 0;
    }
    return static_cast<toff_t>(st.st_size);
}

int MapProc(thandle_t, void**, toff_t*)
{
    return 0;
}

void UnmapProc(thandle_t, void*, toff_t) { }

/// The handle's error handler: keeps libtiff's message in the handle's state and stops it from
/// reaching the global handlers (which are silent anyway).
int KeepTiffError(TIFF* tif, void* userData, const char*, const char* format, va_list args)
{
    auto& f = *static_cast<TTiffFd*>(userData);
    char text[512];
    std::vsnprintf(text, sizeof text, format, args);
    f.LibraryFailed = true;
    f.LibraryError = text;
    // Some messages start with the file's name, which every host shows already.
    const std::string prefix = std::string(tif ? TIFFFileName(tif) : "") + ": ";
    if (prefix.size() > 2 && f.LibraryError.starts_with(prefix)) {
        f.LibraryError.erase(0, prefix.size());
    }
    return 1;
}

/// The handle's warning handler: libtiff warns about what it repairs or ignores, and the
/// reader's own checks decide what matters; but libjpeg's warnings are about corrupt data it
/// papers over with grey, so they count as errors.
int DropTiffWarning(TIFF* tif, void* userData, const char* module, const char* format, va_list args)
{
    if (module && std::strcmp(module, "JPEGLib") == 0) {
        return KeepTiffError(tif, userData, module, format, args);
    }
    return 1;
}

/// Resets the state of a handle about to be opened on fd.
void ResetState(TTiffFd& state, int fd, bool writing)
{
    state.Fd = fd;
    state.Borrowed = writing;
    state.Failed = false;
    state.Error = 0;
    state.ReadFailed = false;
    state.LibraryFailed = false;
    state.LibraryError.clear();
    state.Buffered = writing;
    state.Pos = 0;
    state.PendingAt = 0;
    state.End = 0;
    state.Pending.clear();
}

TIFF* ClientOpen(const std::string& name, const char* mode, TTiffFd& state)
{
    SilenceTiffLibrary();
    TIFFOpenOptions* options = TIFFOpenOptionsAlloc();
    if (!options) {
        return nullptr;
    }
    TIFFOpenOptionsSetMaxSingleMemAlloc(options, kTiffMaxSingleAlloc);
    TIFFOpenOptionsSetErrorHandlerExtR(options, KeepTiffError, &state);
    TIFFOpenOptionsSetWarningHandlerExtR(options, DropTiffWarning, &state);
    TIFF* tif = TIFFClientOpenExt(name.c_str(), mode, &state, ReadProc, WriteProc, SeekProc,
        CloseProc, SizeProc, MapProc, UnmapProc, options);
    TIFFOpenOptionsFree(options);
    return tif;
}

} // namespace

void StopTiffWriting(TTiffFd& state)
{
    state.Pending.clear();
    state.Failed = true;
}

TIFF* OpenTiffRead(const std::string& path, TTiffFd& fd)
{
    ResetState(fd, IoSeam().Open(path.c_str(), O_RDONLY | O_CLOEXEC, 0), false);
    if (fd.Fd < 0) {
        fd.Error = errno != 0 ? errno : EIO;
        return nullptr;
    }
    TIFF* tif = ClientOpen(path, "rm", fd);
    if (!tif) {
        (void)CloseProc(&fd);
    }
    return tif;
}

std::string TiffFailureText(const TTiffFd& fd)
{
    if (fd.Error != 0) {
        return std::strerror(fd.Error);
    }
    return fd.LibraryError;
}

TIFF* OpenTiffWrite(int fd, const std::string& name, bool bigTiff, TTiffFd& state)
{
    ResetState(state, fd, true);
    if (fd < 0) {
        state.Error = EBADF;
        return nullptr;
    }
    TIFF* tif = ClientOpen(name, bigTiff ? "w8m" : "wm", state);
    // The header goes out at once, so that a file that cannot be written fails its open.
    if (tif && !FlushPending(state)) {
        TIFFClose(tif);
        return nullptr;
    }
    if (!tif) {
        (void)CloseProc(&state);
    }
    return tif;
}
