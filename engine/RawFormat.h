// Line reading and writing of the sequential formats: RAW (headerless) and the lines after
// a KRO header, both through the buffered sequential file.
#pragma once

#include <cstdint>
#include <memory>

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

protected:
    /// Reads past the header; a format whose header can be checked again does so here.
    /// False refuses the file.
    virtual bool CheckHeader(const TFileInfo& info);

    TSeqFile FFile;
    int64_t FHeaderSize;
    uint32_t FLineSize = 0;
    int FOpenError = 0; ///< why the file could not be opened, reported by the first read
};

/// Appends lines in sequence; the row given is ignored.
class TSeqLineWriter : public TLineWriter {
public:
    [[nodiscard]] bool Open(const TFileInfo& info, bool lzw, bool bigTiff) override;
    int64_t WriteBytes(const void* bytes, size_t count) override;
    int32_t WriteLine(uint32_t row, const uint8_t* buffer) override;
    [[nodiscard]] bool Close() override;

private:
    TSeqFile FFile;
    uint32_t FLineSize = 0;
};

std::unique_ptr<TLineReader> MakeRawReader();
std::unique_ptr<TLineWriter> MakeRawWriter();
