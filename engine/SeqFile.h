// A byte-granular sequential file for KRO and RAW data: buffered, through the I/O seam, keeping
// the first failure as its own error.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

/// One sequential file, open for reading or for writing. Not copyable; one thread only.
class TSeqFile {
public:
    TSeqFile() = default;
    ~TSeqFile();
    TSeqFile(const TSeqFile&) = delete;
    TSeqFile& operator=(const TSeqFile&) = delete;

    /// Opens an existing file for reading. False (Error set) when it cannot.
    [[nodiscard]] bool OpenRead(const std::string& path);
    /// Writes onto fd, an open descriptor that stays its owner's: Close flushes but does not
    /// close it.
    void AttachWrite(int fd);
    /// Reads up to count bytes; fewer only at the end of the file or on a failure (which
    /// sets Error). Returns the bytes delivered.
    int64_t Read(void* buffer, size_t count);
    /// Skips count bytes of input; false at a failure or past the end.
    [[nodiscard]] bool Skip(int64_t count);
    /// Appends count bytes (buffered). Returns count, or 0 once a write has failed (Error is
    /// set then and every later write also returns 0).
    int64_t Write(const void* buffer, size_t count);
    /// Flushes and closes (an attached descriptor is only flushed and let go). False when a
    /// flush or the close failed (Error set). Safe twice or when nothing is open; true then.
    [[nodiscard]] bool Close();
    bool IsOpen() const { return FFd >= 0; }
    /// The errno value of the first failure since the file was opened (0 when none).
    int Error() const { return FError; }
    /// Sizes the buffer for lines of lineBytes (between 64 KiB and 1 MiB); call before the
    /// first read or write.
    void SizeBufferFor(size_t lineBytes);

private:
    /// Writes everything in the output buffer; false at a failure.
    bool Flush();
    /// Writes count bytes straight to the file, looping over short writes.
    bool WriteAll(const uint8_t* bytes, size_t count);
    /// Reads up to count bytes straight from the file, looping over short reads.
    int64_t ReadSome(uint8_t* bytes, size_t count);
    void Fail(int code);

    int FFd = -1;
    bool FOwnsFd = true;
    int FError = 0;
    bool FWriting = false;
    bool FFailed = false;
    std::vector<uint8_t> FBuffer;
    size_t FBegin = 0; ///< reading: first unread byte of FBuffer
    size_t FEnd = 0; ///< bytes held in FBuffer
    size_t FBufferSize = size_t(1) << 20;
};
