// Tile split: cuts the engine's input into a grid of tile files in one pass over its lines.
#include <algorithm>
#include <cstdint>
#include <memory>
#include <new>
#include <string>
#include <utility>
#include <vector>

#include "engine/EngineTexts.h"
#include "engine/OpenFileLimit.h"
#include "engine/ScopeExit.h"
#include "engine/TavmorManager.h"
#include "engine/TavmorUtils.h"

namespace {

// Progress and status are reported every this many input lines.
constexpr uint32_t kProgressEvery = 7;

/// Size of part `index` (from 1) of `count` parts of `full` each, the last taking the rest.
uint32_t PartSize(uint32_t index, uint32_t count, uint32_t full, uint32_t total)
{
    return index < count ? full : total - (count - 1) * full;
}

uint32_t PartCount(uint32_t total, uint32_t part)
{
    return total / part + (total % part != 0 ? 1 : 0);
}

bool EndsWith(const std::string& text, const std::string& tail)
{
    return text.size() >= tail.size()
        && text.compare(text.size() - tail.size(), tail.size(), tail) == 0;
}

} // namespace

void TTavmor::SplitImage(uint32_t TileWidth, uint32_t TileHeight,
    std::vector<std::string>& FileList, const std::string& OutFolder, const std::string& Caption)
{
    RaiseOpenFileLimit();
    // A pending I/O error left by earlier work must not be taken for one of this split, and
    // whatever this split leaves pending it has reported already.
    (void)IoResult();
    TScopeExit clearPending([] { (void)IoResult(); });

    if (!FileExists(InInfo.FileName) || !InInfo.ImageIsOk) {
        FireError(EngineText::FileNotFoundOrBad);
        Abort = true;
        return;
    }
    if (TileWidth == 0 || TileHeight == 0) {
        // The callers never ask for empty tiles; refuse rather than divide by zero.
        Abort = true;
        return;
    }
    if (!OpenInFile(InInfo.FileName)) {
        FireError(EngineText::ErrorOpeningInput);
        Abort = true;
        return;
    }
    TScopeExit closeInput([this] { CloseInFile(); });

    const uint32_t imageWidth = InInfo.Width;
    const uint32_t imageHeight = InInfo.Height;
    const uint32_t tileWidth = std::min(TileWidth, imageWidth);
    const uint32_t tileHeight = std::min(TileHeight, imageHeight);
    const uint32_t columns = PartCount(imageWidth, tileWidth);
    const uint32_t rows = PartCount(imageHeight, tileHeight);

    // A band keeps one file per column open at once: refuse a grid the system cannot hold
    // before anything is created.
    if (OpenFilesAvailable() < uint64_t { columns } + kSpareOpenFiles) {
        FireError(EngineText::TooManyTileColumns);
        Abort = true;
        return;
    }

    const std::string stem = OutFolder + BaseNameOf(InInfo.FileName) + "_";
    std::vector<std::unique_ptr<TTavmor>> tiles;
    try {
        tiles.reserve(columns);
        for (uint32_t c = 0; c < columns; ++c) {
            tiles.push_back(std::make_unique<TTavmor>());
        }
    } catch (const std::bad_alloc&) {
        UserDialogs().ShowMessage(EngineText::NotEnoughMemory);
        Abort = true;
        return;
    }

    FireShowProgress(static_cast<int32_t>(imageHeight), Caption);
    ForceBigTiff = false;
    // The BigTIFF choice of this grid must not reach the next output.
    TScopeExit hideProgress([this] {
        FireHideProgress();
        ForceBigTiff = false;
    });

    uint32_t inputLine = 0;
    for (uint32_t r = 1; r <= rows && !Abort; ++r) {
        const uint32_t bandHeight = PartSize(r, rows, tileHeight, imageHeight);
        const size_t firstOfBand = FileList.size();
        // Until the band is complete its tiles are partial: close them, delete them and take
        // them off the list, also when an exception leaves early.
        bool bandComplete = false;
        TScopeExit finishBand([&] {
            bool closed = true;
            for (auto& tile : tiles) {
                closed = tile->CloseOutFile() && closed;
            }
            if (!closed && !Abort) {
                FireError(EngineText::WriteToFileError);
                Abort = true;
            }
            if (!closed || !bandComplete) {
                for (size_t i = firstOfBand; i < FileList.size(); ++i) {
                    (void)DeleteFileAt(FileList[i]);
                }
                FileList.resize(firstOfBand);
            }
        });

        bool created = true;
        for (uint32_t c = 1; c <= columns; ++c) {
            TTavmor& tile = *tiles[c - 1];
            const uint32_t width = PartSize(c, columns, tileWidth, imageWidth);
            const std::string name = stem + std::to_string(width) + "X" + std::to_string(bandHeight)
                + "_x" + std::to_string(c) + "y" + std::to_string(r);
            tile.Dialogs = Dialogs;
            tile.ForceBigTiff = ForceBigTiff;
            tile.InInfo = InInfo;
            tile.InInfo.ScanLine = nullptr; // the buffer stays the main engine's
            tile.OutInfo.FileName = name; // OpenOutFile completes it once it gets that far
            tile.OutInfo.ImageType = OutInfo.ImageType;
            tile.OutInfo.Width = width;
            tile.OutInfo.Height = bandHeight;
            tile.Lzw = Lzw;
            if (!tile.OpenOutFile(name)) {
                FireError(EngineText::CantCreateFile + tile.OutInfo.FileName);
                Abort = true;
                created = false;
                break;
            }
            FileList.push_back(tile.OutInfo.FileName);
            // The first tile is the largest: its TIFF kind holds for the whole grid.
            if (r == 1 && c == 1 && EndsWith(tile.OutInfo.FileName, ".big.tif")) {
                ForceBigTiff = true;
            }
        }
        if (!created) {
            break;
        }

        uint32_t linesWritten = 0;
        for (uint32_t i = 0; i < bandHeight && !Abort; ++i) {
            const int32_t got = ReadLine(static_cast<int32_t>(inputLine));
            if (got < 0 || static_cast<uint32_t>(got) != InInfo.ScanLineSize) {
                FireError(EngineText::InputFileReadError);
                Abort = true;
                break;
            }
            ++inputLine;
            if (inputLine % kProgressEvery == 0) {
                FireUpdateProgress(static_cast<int32_t>(inputLine));
                if (Abort) {
                    break;
                }
                FireStatus(EngineText::ProcessingRow + std::to_string(r) + "/"
                    + std::to_string(rows) + " (" + std::to_string(bandHeight - i) + ")");
            }
            // An abort asked for in the status hook still lets this line reach every tile.
            bool written = true;
            uint32_t x = 0;
            for (auto& tile : tiles) {
                const uint32_t width = tile->OutInfo.Width;
                RepackLine(InInfo, x, tile->OutInfo, 0, width);
                x += width;
                const int32_t count = tile->WriteLine(i);
                if (IoResult() != 0 || count < 0
                    || static_cast<uint32_t>(count) != tile->OutInfo.ScanLineSize) {
                    FireError(EngineText::WriteToFileError);
                    Abort = true;
                    written = false;
                    break;
                }
            }
            if (written) {
                ++linesWritten;
            }
        }
        bandComplete = linesWritten == bandHeight;
        FireUpdateProgress(static_cast<int32_t>(inputLine));
    }
}
