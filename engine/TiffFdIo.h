// libtiff on a descriptor the caller owns, every transfer through the I/O seam: writes are
// gathered into large pieces at explicit offsets, reads go by offset, and the descriptor is
// never closed here, so that an output can sit behind a guard that commits or removes it.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

typedef struct tiff TIFF;

/// The client state of one libtiff handle on a descriptor. It must outlive the handle and
/// stay where it is (libtiff keeps its address); one thread at a time.
class TTiffFdIo {
public:
    TTiffFdIo() = default;
    TTiffFdIo(const TTiffFdIo&) = delete;
    TTiffFdIo& operator=(const TTiffFdIo&) = delete;

    /// Opens a TIFF on fd in mode "r", "w" (classic) or "w8" (BigTIFF); name is for libtiff's
    /// messages only. Writing wants an empty file open for reading and writing; the header
    /// goes out at once, so a descriptor that cannot be written fails here. The descriptor
    /// stays the caller's: TIFFClose flushes what is gathered but never closes it. Null on
    /// failure (the pending I/O error tells why when a transfer failed).
    TIFF* Open(int fd, const std::string& name, const char* mode);

    /// Whether a write (or a flush) failed since Open: a file written through this handle is
    /// then incomplete whatever libtiff answered.
    bool WriteFailed() const { return FWriteFailed; }
    /// Whether a read failed since Open: libtiff may have carried on with guessed values.
    bool ReadFailed() const { return FReadFailed; }
    /// Drops what is gathered and fails every later write, so that a write given up on
    /// leaves no directory behind that would make its partial file look like an image.
    void StopWriting();

    // libtiff's procedures; public only so that the client procedures can reach them.
    int64_t Read(uint8_t* buffer, int64_t size);
    int64_t Write(const uint8_t* buffer, int64_t size);
    uint64_t Seek(uint64_t offset, int whence);
    uint64_t Size();
    /// Writes out what is gathered; false when that write failed.
    bool Flush();

private:
    bool WriteAt(const uint8_t* bytes, size_t count, uint64_t offset);

    int FFd = -1;
    bool FWriting = false;
    bool FWriteFailed = false;
    bool FReadFailed = false;
    uint64_t FPos = 0; ///< libtiff's file position
    uint64_t FEnd = 0; ///< bytes on disk (writing: the file started empty)
    uint64_t FPendingAt = 0; ///< offset of FPending's first byte
    std::vector<uint8_t> FPending;
};
