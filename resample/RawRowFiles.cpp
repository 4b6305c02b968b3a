// Reading rows of a headerless tile file by number and writing a headerless result row by row.
#include "resample/RawRowFiles.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <system_error>
#include <unistd.h>

#include "resample/ResampleTexts.h"

namespace {

// Tiles are read and results written in pieces of about this size: few system calls (costly
// on virtual machines), little memory.
constexpr size_t kPiece = size_t(1) << 20;

} // namespace

bool TRawRowReader::Open(const std::string& fileName, int64_t rowBytes, int64_t rows)
{
    Close();
    FErrorText.clear();
    FFileName = fileName;
    FRowBytes = rowBytes;
    FRows = rows;
    FPieceFirst = FPieceRows = 0;
    const int64_t pieceRows =
        std::max<int64_t>(1, int64_t(kPiece) / std::max<int64_t>(1, rowBytes));
    // A row of 1 MiB or more is read straight into the caller's buffer.
    FPiece.assign(pieceRows > 1 ? size_t(pieceRows * rowBytes) : 0, 0);
    FFile = ::open(fileName.c_str(), O_RDONLY | O_CLOEXEC);
    if (FFile < 0) {
        FErrorText = ResampleText::CannotOpen + fileName;
        return false;
    }
#if defined(POSIX_FADV_SEQUENTIAL)
    // Rows are read front to back: let the kernel read ahead far.
    (void)::posix_fadvise(FFile, 0, 0, POSIX_FADV_SEQUENTIAL);
#endif
    return true;
}

bool TRawRowReader::ReadAt(int64_t offset, uint8_t* buffer, int64_t bytes)
{
    int64_t done = 0;
    while (FFile >= 0 && done < bytes) {
        const ssize_t n = ::pread(FFile, buffer + done, size_t(bytes - done), offset + done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break;
        done += n;
    }
    if (done == bytes)
        return true;
    FErrorText = ResampleText::ShortFile + FFileName;
    return false;
}

bool TRawRowReader::ReadRow(int64_t y, uint8_t* row)
{
    if (FPiece.empty())
        return ReadAt(y * FRowBytes, row, FRowBytes);
    if (y < FPieceFirst || y >= FPieceFirst + FPieceRows) {
        const int64_t pieceRows = int64_t(FPiece.size()) / FRowBytes;
        FPieceFirst = y;
        FPieceRows = std::min(pieceRows, std::max<int64_t>(1, FRows - y));
        if (!ReadAt(y * FRowBytes, FPiece.data(), FPieceRows * FRowBytes)) {
            FPieceRows = 0;
            return false;
        }
    }
    std::memcpy(row, FPiece.data() + (y - FPieceFirst) * FRowBytes, size_t(FRowBytes));
    return true;
}

void TRawRowReader::Close()
{
    if (FFile >= 0)
        ::close(FFile);
    FFile = -1;
}

bool TRawRowWriter::Create(const std::string& fileName)
{
    Close();
    FErrorText.clear();
    FFileName = fileName;
    FFile = std::fopen(fileName.c_str(), "wb");
    if (!FFile) {
        FErrorText = ResampleText::CannotCreate + fileName;
        return false;
    }
    std::setvbuf(FFile, nullptr, _IOFBF, kPiece);
    return true;
}

bool TRawRowWriter::WriteRow(const uint8_t* row, int64_t bytes)
{
    if (FFile && std::fwrite(row, 1, size_t(bytes), FFile) == size_t(bytes))
        return true;
    FErrorText = ResampleText::WriteFailed + FFileName;
    return false;
}

bool TRawRowWriter::Commit()
{
    if (!FFile)
        return false;
    // fclose flushes the last piece, so its failure is a write failure too.
    const bool closed = std::fclose(FFile) == 0;
    FFile = nullptr;
    if (closed)
        return true;
    FErrorText = ResampleText::WriteFailed + FFileName;
    std::error_code ec;
    if (std::filesystem::is_regular_file(FFileName, ec))
        std::filesystem::remove(FFileName, ec);
    return false;
}

void TRawRowWriter::Close()
{
    if (!FFile)
        return;
    std::fclose(FFile);
    FFile = nullptr;
    std::error_code ec;
    if (std::filesystem::is_regular_file(FFileName, ec))
        std::filesystem::remove(FFileName, ec);
}
