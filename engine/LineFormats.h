// The small surface every image format's line reader and writer offers to the engine: open
// (checks everything), one line in or out, close or finish (safe twice), and the error kept.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "engine/FileInfo.h"
#include "engine/WriteOptions.h"

/// Reads the lines of one input file. Owned by whoever opened it; one thread only.
class TLineReader {
public:
    virtual ~TLineReader() = default;
    /// Opens info.FileName, which a probe described in info, and prepares to deliver lines of
    /// info.ScanLineSize bytes. False when the file cannot be opened or no longer matches info;
    /// nothing stays open then.
    [[nodiscard]] virtual bool Open(const TFileInfo& info) = 0;
    /// Delivers line row (sequential formats ignore row and deliver the next line) into
    /// buffer, which holds ScanLineSize bytes. Returns the bytes delivered; fewer than a line
    /// at the end of the data or at a failure (which Error then tells).
    virtual int32_t ReadLine(int32_t row, uint8_t* buffer) = 0;
    /// Closes the file; safe twice or when nothing is open.
    virtual void Close() = 0;
    /// The errno value of the first failure since Open (0 when none).
    virtual int Error() const = 0;
    /// Why Open refused the file or the first line failed, in words that say more than the
    /// errno value (libtiff's message, a strip past the end of the file); "" when the errno
    /// value says it all.
    virtual std::string Reason() const { return {}; }
};

/// Writes the lines of one output file onto a descriptor that its owner (the output's commit
/// guard) created and keeps: the writer never opens a name and never closes the descriptor.
class TLineWriter {
public:
    virtual ~TLineWriter() = default;
    /// Prepares fd, an empty file open for reading and writing, for lines of info.ScanLineSize
    /// bytes and writes what precedes them (a header). False when that fails.
    [[nodiscard]] virtual bool Open(
        int fd, const TFileInfo& info, const TWriteOptions& options) = 0;
    /// Writes buffer (ScanLineSize bytes) as line row; returns the bytes written, fewer on
    /// failure (which Error then tells).
    virtual int32_t WriteLine(uint32_t row, const uint8_t* buffer) = 0;
    /// Completes the file: flushes what is buffered and writes what follows the lines (a TIFF
    /// directory). False when data may be lost. Safe twice; true when nothing was opened.
    [[nodiscard]] virtual bool Finish() = 0;
    /// Gives the output up without completing it (a failure or an abort): nothing more is
    /// written, no directory either. Safe at any time.
    virtual void Abandon() { }
    /// The errno value of the first failure since Open (0 when none).
    virtual int Error() const = 0;
};
