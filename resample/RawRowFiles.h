// Reading rows of a headerless tile file by number and writing a headerless result row by row,
// for the resize worker's file form: nothing of the tile is held beyond the row asked for. Both
// go through the engine's I/O seam, so that the fault tests reach the workers' files.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

/// Reads rows of RowBytes bytes from a headerless file by number, in pieces of about 1 MiB of
/// whole rows (a piece starts at the row asked for, so rows skipped by a wide margin are never
/// read). One reader per thread.
class TRawRowReader {
public:
    TRawRowReader() = default;
    ~TRawRowReader() { Close(); }
    TRawRowReader(const TRawRowReader&) = delete;
    TRawRowReader& operator=(const TRawRowReader&) = delete;

    /// Opens the file of rows × rowBytes bytes for reading; false (with ErrorText) when it
    /// cannot be opened.
    [[nodiscard]] bool Open(const std::string& fileName, int64_t rowBytes, int64_t rows);
    /// Reads row y into row (RowBytes bytes); false (with ErrorText) when the file ends first
    /// or cannot be read.
    [[nodiscard]] bool ReadRow(int64_t y, uint8_t* row);
    /// Safe twice and when nothing is open.
    void Close();
    const std::string& ErrorText() const { return FErrorText; }

private:
    [[nodiscard]] bool ReadAt(int64_t offset, uint8_t* buffer, int64_t bytes);

    int FFile = -1;
    int64_t FRowBytes = 0;
    int64_t FRows = 0; // rows the file holds
    std::vector<uint8_t> FPiece;
    int64_t FPieceFirst = 0; // first row in the piece
    int64_t FPieceRows = 0;
    std::string FFileName;
    std::string FErrorText;
};

/// Writes a headerless file row after row through a large buffer. A file that is not committed
/// is removed when the writer closes, so a partial result never stays under its name.
class TRawRowWriter {
public:
    TRawRowWriter() = default;
    ~TRawRowWriter() { Close(); }
    TRawRowWriter(const TRawRowWriter&) = delete;
    TRawRowWriter& operator=(const TRawRowWriter&) = delete;

    /// Creates (or truncates) the file; false (with ErrorText) when it cannot be created.
    [[nodiscard]] bool Create(const std::string& fileName);
    /// Appends bytes; false (with ErrorText) when they cannot be written.
    [[nodiscard]] bool WriteRow(const uint8_t* row, int64_t bytes);
    /// Flushes and closes the file, which then stays; false (file removed) when the last
    /// bytes cannot be written.
    [[nodiscard]] bool Commit();
    /// Closes and removes an uncommitted file (only a regular file, never a device or pipe
    /// named as the target); safe twice.
    void Close();
    const std::string& ErrorText() const { return FErrorText; }

private:
    /// Writes the gathered bytes; false (with ErrorText) at a failure.
    [[nodiscard]] bool Flush();
    void Fail(int code);

    int FFile = -1;
    std::vector<uint8_t> FPending; ///< bytes gathered for one large write
    std::string FFileName;
    std::string FErrorText;
};
