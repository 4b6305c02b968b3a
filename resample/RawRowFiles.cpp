// Reading rows of a headerless tile file by number and writing a headerless result row by row.
#include "resample/RawRowFiles.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <system_error>
#include <unistd.h>

#include "engine/IoSeam.h"
#include "resample/ResampleTexts.h"

namespace {

// Tiles are read and results written in pieces of about this size: few system calls (costly
// on virtual machines), little memory.
constexpr size_t kPiece = size_t(1) << 20;

/// "text" + name + ": " + the system's words for code.
std::string FileFailure(const char* text, const std::string& name, int code)
{
    return text + name + ": " + std::strerror(code != 0 ? code : EIO);
}

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
    FFile = IoSeam().Open(fileName.c_str(), O_RDONLY | O_CLOEXEC, 0);
    if (FFile < 0) {
        FErrorText = FileFailure(ResampleText::CannotOpen, fileName, errno);
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
        const ssize_t n = IoSeam().PRead(FFile, buffer + done, size_t(bytes - done), offset + done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0) {
            FErrorText = FileFailure(ResampleText::CannotOpen, FFileName, errno);
            return false;
        }
        if (n == 0)
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
        (void)IoSeam().Close(FFile);
    FFile = -1;
}

void TRawRowWriter::Fail(int code)
{
    if (FErrorText.empty())
        FErrorText = FileFailure(ResampleText::WriteFailed, FFileName, code);
}

bool TRawRowWriter::Create(const std::string& fileName)
{
    Close();
    FErrorText.clear();
    FFileName = fileName;
    FFile = IoSeam().Open(fileName.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (FFile < 0) {
        FErrorText = FileFailure(ResampleText::CannotCreate, fileName, errno);
        return false;
    }
    FPending.clear();
    FPending.reserve(kPiece);
    return true;
}

bool TRawRowWriter::Flush()
{
    size_t done = 0;
    while (done < FPending.size()) {
        const ssize_t n = IoSeam().Write(FFile, FPending.data() + done, FPending.size() - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            Fail(n < 0 ? errno : ENOSPC);
            return false;
        }
        done += size_t(n);
    }
    FPending.clear();
    return true;
}

bool TRawRowWriter::WriteRow(const uint8_t* row, int64_t bytes)
{
    if (FFile < 0 || !FErrorText.empty()) {
        Fail(EBADF);
        return false;
    }
    FPending.insert(FPending.end(), row, row + bytes);
    return FPending.size() < kPiece || Flush();
}

bool TRawRowWriter::Commit()
{
    if (FFile < 0)
        return false;
    // The close may report a write the system deferred: a write failure too.
    bool ok = FErrorText.empty() && Flush();
    if (IoSeam().Close(FFile) != 0 && ok) {
        Fail(errno);
        ok = false;
    }
    FFile = -1;
    FPending.clear();
    FPending.shrink_to_fit();
    if (ok)
        return true;
    std::error_code ec;
    if (std::filesystem::is_regular_file(FFileName, ec))
        std::filesystem::remove(FFileName, ec);
    return false;
}

void TRawRowWriter::Close()
{
    if (FFile < 0)
        return;
    (void)IoSeam().Close(FFile);
    FFile = -1;
    FPending.clear();
    FPending.shrink_to_fit();
    std::error_code ec;
    if (std::filesystem::is_regular_file(FFileName, ec))
        std::filesystem::remove(FFileName, ec);
}
