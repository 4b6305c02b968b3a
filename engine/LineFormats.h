// The small surface every image format's line reader and writer offers to the engine: open
// (checks everything), one line in or out, close (safe twice or when nothing is open).
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

#include "engine/FileInfo.h"

/// Reads the lines of one input file. Owned by the engine that opened it; one thread only.
class TLineReader {
public:
    virtual ~TLineReader() = default;
    /// Opens info.FileName, which a probe described in info, and prepares to deliver lines of
    /// info.ScanLineSize bytes. False when the file cannot be opened or no longer matches info;
    /// nothing stays open then.
    [[nodiscard]] virtual bool Open(const TFileInfo& info) = 0;
    /// Delivers line row (sequential formats ignore row and deliver the next line) into
    /// buffer, which holds ScanLineSize bytes. Returns the bytes delivered; a failure sets the
    /// pending I/O error where the format has one.
    virtual int32_t ReadLine(int32_t row, uint8_t* buffer) = 0;
    /// Closes the file; safe twice or when nothing is open.
    virtual void Close() = 0;
};

/// Writes the lines of one output file. Owned by the engine that created it; one thread only.
class TLineWriter {
public:
    virtual ~TLineWriter() = default;
    /// Creates (or truncates) info.FileName for lines of info.ScanLineSize bytes. lzw and
    /// bigTiff matter for TIFF only. False when the file cannot be created; nothing stays
    /// open then, though an empty file may remain for the caller to delete.
    [[nodiscard]] virtual bool Open(const TFileInfo& info, bool lzw, bool bigTiff) = 0;
    /// Writes bytes that precede the lines (the KRO header). Returns the bytes accepted.
    virtual int64_t WriteBytes(const void* bytes, size_t count) = 0;
    /// Writes buffer (ScanLineSize bytes) as line row; returns the bytes written, fewer on
    /// failure (which sets the pending I/O error where the format has one).
    virtual int32_t WriteLine(uint32_t row, const uint8_t* buffer) = 0;
    /// Completes and closes the file. False when data may be lost (a failed flush, directory
    /// write or close); true also when nothing was open. Safe twice.
    [[nodiscard]] virtual bool Close() = 0;
};

/// The reader of a kind of file; null for FileType::NV.
std::unique_ptr<TLineReader> MakeLineReader(FileType type);
/// The writer of a kind of file; null for FileType::NV.
std::unique_ptr<TLineWriter> MakeLineWriter(FileType type);
