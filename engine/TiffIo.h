// TIFF files through libtiff on descriptors of the I/O seam: the client procedures behind every
// handle, opening for reading by name or for writing onto a given descriptor, and the
// examination of a file's first image shared by the probe and the reader.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include <tiffio.h>

#include "engine/TiffFormat.h"

/// The client data of one libtiff handle: our descriptor and whether any transfer failed.
struct TTiffFd {
    int Fd = -1;
    /// The descriptor is its owner's (an output's commit guard): closing the handle only
    /// flushes what is gathered and lets it go.
    bool Borrowed = false;
    bool Failed = false;
    int Error = 0; ///< errno of the first failed transfer
    /// A read failed: libtiff may carry on with guessed values (it estimates lost strip
    /// tables, for one), so nothing read through this handle can be trusted any more.
    bool ReadFailed = false;
    /// libtiff reported an error through this handle's own handler: whatever it delivered
    /// since may be incomplete.
    bool LibraryFailed = false;
    /// libtiff's last error message on this handle, without its module ("" when none).
    std::string LibraryError;
    /// Writing: libtiff hands over each strip (one line) with a seek and a write of its own;
    /// the bytes are gathered here and written in large pieces at explicit offsets, so a split
    /// into hundreds of tiles does not cost two system calls per tile line.
    bool Buffered = false;
    uint64_t Pos = 0; ///< libtiff's file position while Buffered
    uint64_t PendingAt = 0; ///< file offset of Pending's first byte
    std::vector<uint8_t> Pending;
    uint64_t End = 0; ///< size of the file on disk while Buffered (it was created empty)
};

/// No single allocation libtiff makes for one handle may exceed this: its tables for the
/// tallest image the engine accepts (8 bytes per strip of one line) stay below it, while a
/// header's claim of a gigantic strip or table is refused instead of allocated.
inline constexpr int64_t kTiffMaxSingleAlloc = int64_t { 1 } << 30;

/// Opens path for reading with libtiff (mapping off), with this handle's own error and warning
/// handlers (errors kept in fd, warnings dropped) and kTiffMaxSingleAlloc. On success the
/// descriptor belongs to the handle, which closes it in TIFFClose; on failure nothing stays
/// open and fd tells why (Error, or libtiff's LibraryError).
TIFF* OpenTiffRead(const std::string& path, TTiffFd& fd);
/// Opens libtiff for writing in mode "w" or "w8" onto fd, an empty file that stays its owner's;
/// the header goes out at once. Null (fd still open, still the owner's) on failure.
TIFF* OpenTiffWrite(int fd, const std::string& name, bool bigTiff, TTiffFd& state);
/// Drops what is gathered for writing and fails every later write, so that a write given up on
/// leaves no directory behind that would make its partial file look like an image.
void StopTiffWriting(TTiffFd& state);
/// Reads the layout of the current directory and checks it against what the engine can
/// deliver as interleaved unsigned RGB(A) lines and against the reader's buffer limits; when
/// refused, *reason (if given) names the tag or size at fault.
TTiffVerdict ExamineTiff(TIFF* tif, TTiffLayout& layout, std::string* reason = nullptr);
/// Why a handle failed, in the system's or libtiff's words: the errno text of a failed
/// transfer, else libtiff's last error, else "" (nothing known).
std::string TiffFailureText(const TTiffFd& fd);
