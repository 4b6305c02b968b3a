// RAW files: headerless interleaved RGB lines whose size travels in the file name, read and
// written through the buffered sequential file; the reader and writer serve KRO too.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "engine/Formats.h"
#include "engine/LineFormats.h"
#include "engine/SeqFile.h"

/// Reads lines in sequence after headerSize bytes; the row asked for is ignored. A file that
/// cannot be opened opens all the same and fails its first read.
class TSeqLineReader : public TLineReader {
public:
    explicit TSeqLineReader(int64_t headerSize)
        : FHeaderSize(headerSize)
    {
    }
    [[nodiscard]] bool Open(const TFileInfo& info) override;
    int32_t ReadLine(int32_t row, uint8_t* buffer) override;
    void Close() override;
    int Error() const override { return FOpenError != 0 ? FOpenError : FFile.Error(); }
    std::string Reason() const override { return FReason; }

protected:
    /// Reads past the header; a format whose header can be checked again does so here.
    /// False refuses the file.
    virtual bool CheckHeader(const TFileInfo& info);

    TSeqFile FFile;
    int64_t FHeaderSize;
    uint32_t FLineSize = 0;
    int FOpenError = 0; ///< why the file could not be opened, reported by the first read
    uint32_t FHeight = 0; ///< lines the file should hold
    uint32_t FLinesRead = 0;
    /// Why the file was refused or ended early, when no errno value tells it.
    std::string FReason;
};

/// Appends lines in sequence after what Header gives; the row given is ignored.
class TSeqLineWriter : public TLineWriter {
public:
    [[nodiscard]] bool Open(int fd, const TFileInfo& info, const TWriteOptions& options) override;
    int32_t WriteLine(uint32_t row, const uint8_t* buffer) override;
    [[nodiscard]] bool Finish() override;
    int Error() const override { return FFile.Error(); }

protected:
    /// Writes what precedes the lines; nothing for RAW. False when the write failed.
    virtual bool WriteHeader(const TFileInfo& info);

    TSeqFile FFile;
    uint32_t FLineSize = 0;
};

/// Whether a sequential file of info's geometry, headerBytes before its lines, holds every
/// line; reason tells how many it holds when it does not.
[[nodiscard]] bool HoldsAllLines(const TFileInfo& info, uint64_t headerBytes, std::string& reason);

/// The RAW row of the format table.
const TFormat& RawFormatRow();
