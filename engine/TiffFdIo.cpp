// libtiff's client procedures over a caller's descriptor and the I/O seam.
#include "engine/TiffFdIo.h"

#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>

#include <tiffio.h>

#include "engine/IoSeam.h"
#include "engine/TavmorManager.h"

namespace {

// Gathered output per file: libtiff hands over every strip with a seek and a write of its own.
constexpr size_t kGatherBytes = size_t(64) << 10;

TTiffFdIo& IoOf(thandle_t h)
{
    return *static_cast<TTiffFdIo*>(h);
}

tmsize_t ReadProc(thandle_t h, void* buffer, tmsize_t size)
{
    return static_cast<tmsize_t>(IoOf(h).Read(static_cast<uint8_t*>(buffer), size));
}

tmsize_t WriteProc(thandle_t h, void* buffer, tmsize_t size)
{
    return static_cast<tmsize_t>(IoOf(h).Write(static_cast<const uint8_t*>(buffer), size));
}

toff_t SeekProc(thandle_t h, toff_t offset, int whence)
{
    return static_cast<toff_t>(IoOf(h).Seek(uint64_t(offset), whence));
}

int CloseProc(thandle_t h)
{
    return IoOf(h).Flush() ? 0 : -1;
}

toff_t SizeProc(thandle_t h)
{
    return static_cast<toff_t>(IoOf(h).Size());
}

int MapProc(thandle_t, void**, toff_t*)
{
    return 0;
}

void UnmapProc(thandle_t, void*, toff_t) { }

} // namespace

TIFF* TTiffFdIo::Open(int fd, const std::string& name, const char* mode)
{
    SilenceTiffLibrary();
    FFd = fd;
    FWriting = mode[0] == 'w';
    FWriteFailed = false;
    FReadFailed = false;
    FPos = 0;
    FEnd = 0;
    FPendingAt = 0;
    FPending.clear();
    if (fd < 0) {
        return nullptr;
    }
    if (!FWriting) {
        struct stat st { };
        if (fstat(fd, &st) != 0) {
            return nullptr;
        }
        FEnd = static_cast<uint64_t>(st.st_size);
    }
    const std::string fullMode = std::string(mode) + "m"; // never map: reads go by the seam
    TIFF* tif = TIFFClientOpen(name.c_str(), fullMode.c_str(), this, ReadProc, WriteProc, SeekProc,
        CloseProc, SizeProc, MapProc, UnmapProc);
    if (tif && FWriting && !Flush()) {
        TIFFClose(tif);
        return nullptr;
    }
    return tif;
}

bool TTiffFdIo::WriteAt(const uint8_t* bytes, size_t count, uint64_t offset)
{
    size_t done = 0;
    while (done < count) {
        const ssize_t n =
            IoSeam().PWrite(FFd, bytes + done, count - done, static_cast<int64_t>(offset + done));
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            FWriteFailed = true;
            SetIoResult(n < 0 && errno != 0 ? errno : ENOSPC);
            return false;
        }
        done += static_cast<size_t>(n);
    }
    FEnd = std::max(FEnd, offset + count);
    return true;
}

void TTiffFdIo::StopWriting()
{
    FPending.clear();
    FWriteFailed = true;
}

bool TTiffFdIo::Flush()
{
    if (FPending.empty()) {
        return !FWriteFailed;
    }
    const bool ok = WriteAt(FPending.data(), FPending.size(), FPendingAt);
    FPending.clear();
    return ok;
}

int64_t TTiffFdIo::Read(uint8_t* buffer, int64_t size)
{
    if (FWriting && !Flush()) {
        return 0;
    }
    int64_t done = 0;
    while (done < size) {
        const ssize_t n = IoSeam().PRead(FFd, buffer + done, static_cast<size_t>(size - done),
            static_cast<int64_t>(FPos + uint64_t(done)));
        if (n < 0) {
            if (errno == EINTR) {
                continue;
            }
            // A short count, never -1: libtiff adds the result to what it already read.
            FReadFailed = true;
            SetIoResult(errno != 0 ? errno : EIO);
            break;
        }
        if (n == 0) {
            break;
        }
        done += n;
    }
    FPos += uint64_t(done);
    return done;
}

int64_t TTiffFdIo::Write(const uint8_t* buffer, int64_t size)
{
    if (!FWriting || FWriteFailed) {
        return 0;
    }
    const auto count = static_cast<size_t>(size);
    if (!FPending.empty() && FPos != FPendingAt + FPending.size() && !Flush()) {
        return 0;
    }
    if (FPending.empty() && count >= kGatherBytes) {
        if (!WriteAt(buffer, count, FPos)) {
            return 0;
        }
    } else {
        if (FPending.empty()) {
            FPendingAt = FPos;
            FPending.reserve(kGatherBytes);
        }
        FPending.insert(FPending.end(), buffer, buffer + count);
        if (FPending.size() >= kGatherBytes && !Flush()) {
            return 0;
        }
    }
    FPos += count;
    return size;
}

uint64_t TTiffFdIo::Seek(uint64_t offset, int whence)
{
    // Answered from what is known of the file, without a system call: libtiff seeks to the
    // end before every strip.
    const uint64_t end = std::max(FEnd, FPendingAt + FPending.size());
    const uint64_t base = whence == SEEK_SET ? 0 : whence == SEEK_CUR ? FPos : end;
    FPos = base + offset;
    return FPos;
}

uint64_t TTiffFdIo::Size()
{
    return std::max(FEnd, FPendingAt + FPending.size());
}
