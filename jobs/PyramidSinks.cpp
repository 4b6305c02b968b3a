// Tile files and TIFF pages as the destinations of a pyramid's tiles.
#include "jobs/PyramidSinks.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <utility>

#include "engine/EngineTexts.h"
#include "engine/IoSeam.h"

bool WriteWholeFile(const std::string& path, const uint8_t* bytes, size_t size)
{
    const int fd = IoSeam().Open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    if (fd < 0) {
        return false;
    }
    bool ok = true;
    while (ok && size > 0) {
        const ssize_t n = IoSeam().Write(fd, bytes, size);
        ok = n > 0;
        if (ok) {
            bytes += n;
            size -= static_cast<size_t>(n);
        }
    }
    return IoSeam().Close(fd) == 0 && ok;
}

TTileFileSink::TTileFileSink(const TPyramidLayout& layout, std::string root)
    : FLayout(layout)
    , FRoot(std::move(root))
{
}

bool TTileFileSink::Put(
    uint32_t reduction, uint32_t column, uint32_t row, std::vector<uint8_t>& bytes)
{
    for (const std::string& folder : FLayout.TileFolders(reduction, column, row)) {
        const std::string path = FRoot + folder;
        if (mkdir(path.c_str(), 0777) != 0 && errno != EEXIST) {
            Fail(EngineText::CantCreateFile + path);
            return false;
        }
    }
    const std::string path = FRoot + FLayout.TilePath(reduction, column, row);
    if (!WriteWholeFile(path, bytes.data(), bytes.size())) {
        Fail(EngineText::WriteToFileError);
        return false;
    }
    return true;
}

std::string TTileFileSink::Failure() const
{
    std::lock_guard<std::mutex> lock(FMutex);
    return FFailure;
}

void TTileFileSink::Fail(const std::string& text)
{
    std::lock_guard<std::mutex> lock(FMutex);
    if (FFailure.empty()) {
        FFailure = text;
    }
}

TTiffPagesSink::TTiffPagesSink(TPyramidTiffWriter& writer)
    : FWriter(writer)
{
}

bool TTiffPagesSink::Put(
    uint32_t reduction, uint32_t column, uint32_t row, std::vector<uint8_t>& bytes)
{
    if (!FWriter.WriteTile(reduction, column, row, bytes)) {
        FFailure = EngineText::WriteToFileError;
        return false;
    }
    return true;
}
