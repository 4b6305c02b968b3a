// Tile merge: finds a grid of tile files by name, checks them and joins them into one image.
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
#include "engine/TiffFormat.h"

namespace {

// Progress and status are reported every this many output lines.
constexpr uint32_t kProgressEvery = 7;

// The widest output line: kMaxImageSide pixels of the widest pixel (16-bit RGBA).
static_assert(uint64_t { kMaxImageSide } * 8 <= UINT32_MAX, "line sizes must fit in 32 bits");

/// The key suffix "." + upper-cased extension of the list's first file.
std::string KeySuffixOf(const std::vector<std::string>& files)
{
    if (files.empty()) {
        return {};
    }
    std::string suffix = ".";
    suffix += UpperCase(SplitFileName(files.front()).Extension);
    return suffix;
}

std::string TileText(uint32_t column, uint32_t row)
{
    return EngineText::TileX + std::to_string(column) + EngineText::TileY + std::to_string(row);
}

bool IsDigit(char c)
{
    return c >= '0' && c <= '9';
}

/// The name OpenOutFile completes `name` to for an output of `type`, width x height pixels
/// of `bits`-bit samples: the extension of the kind, chosen for TIFF by the BigTIFF rule.
std::string CompleteOutputName(const std::string& name, FileType type, uint32_t width,
    uint32_t height, uint8_t bits, bool forceBigTiff)
{
    switch (type) {
    case FileType::KRO:
        return name + ".kro";
    case FileType::RAW:
        return name + ".raw";
    case FileType::TIF: {
        const uint64_t pixelBytes = uint64_t { width } * height * 3 * (bits / 8);
        return name + (NeedsBigTiff(pixelBytes, forceBigTiff) ? ".big.tif" : ".tif");
    }
    case FileType::NV:
        break;
    }
    return name;
}

} // namespace

std::string FindTileFile(const std::vector<std::string>& Files, uint32_t column, uint32_t row)
{
    const std::string key =
        "_X" + std::to_string(column) + "Y" + std::to_string(row) + KeySuffixOf(Files);
    for (const std::string& name : Files) {
        if (UpperCase(name).find(key) != std::string::npos) {
            return name;
        }
    }
    return {};
}

TTileFinder::TTileFinder(const std::vector<std::string>& Files)
    : Names(Files)
{
    // A key "_X" + c + "Y" + r + suffix occurs in a name exactly where "_X" is followed by a
    // run of digits, "Y", a run of digits and the suffix: index every such place once.
    const std::string suffix = KeySuffixOf(Files);
    for (size_t i = 0; i < Files.size(); ++i) {
        const std::string upper = UpperCase(Files[i]);
        for (size_t p = upper.find("_X"); p != std::string::npos; p = upper.find("_X", p + 1)) {
            size_t q = p + 2;
            const size_t columnStart = q;
            while (q < upper.size() && IsDigit(upper[q])) {
                ++q;
            }
            if (q == columnStart || q >= upper.size() || upper[q] != 'Y') {
                continue;
            }
            const size_t rowStart = ++q;
            while (q < upper.size() && IsDigit(upper[q])) {
                ++q;
            }
            if (q == rowStart || upper.compare(q, suffix.size(), suffix) != 0) {
                continue;
            }
            FirstWithKey.emplace(upper.substr(columnStart, q - columnStart), i);
        }
    }
}

std::string TTileFinder::Find(uint32_t column, uint32_t row) const
{
    const auto found = FirstWithKey.find(std::to_string(column) + "Y" + std::to_string(row));
    return found == FirstWithKey.end() ? std::string() : Names[found->second];
}

void TTavmor::MergeTiles(uint32_t CountX, uint32_t CountY, const std::vector<std::string>& Files,
    const std::string& OutFolder, const std::string& Caption)
{
    RaiseOpenFileLimit();
    // A pending I/O error left by earlier work must not be taken for one of this merge, and
    // whatever this merge leaves pending it has reported already.
    (void)IoResult();
    TScopeExit clearPending([] { (void)IoResult(); });

    if (CountX == 0 || CountY == 0) {
        UserDialogs().ShowMessage(EngineText::ErrorInTileDimensions);
        Abort = true;
        return;
    }
    const TTileFinder finder(Files);
    std::string outName =
        Files.empty() ? std::string() : OutFolder + SplitFileName(Files.front()).Base;

    // Record 0 probes the reference tiles; records 1..CountX hold the band's tiles.
    auto probeTile = [&](TTavmor& record, uint32_t column, uint32_t row) {
        record.Dialogs = Dialogs;
        record.InInfo = TFileInfo {};
        record.InInfo.FileName = finder.Find(column, row);
        if (!record.InInfo.FileName.empty()) {
            record.CheckFile(false);
        }
        return record.InInfo.ImageIsOk;
    };
    TTavmor reference;
    if (!probeTile(reference, 1, 1)) {
        FireError(TileText(1, 1) + EngineText::TileNotValid);
        Abort = true;
        return;
    }
    const uint32_t firstWidth = reference.InInfo.Width;
    const uint32_t firstHeight = reference.InInfo.Height;
    if (!probeTile(reference, CountX, CountY)) {
        FireError(TileText(CountX, CountY) + EngineText::TileNotValid);
        Abort = true;
        return;
    }
    const uint32_t lastWidth = reference.InInfo.Width;
    const uint32_t lastHeight = reference.InInfo.Height;
    const uint8_t bits = reference.InInfo.Bits;

    // In 64 bits, so that a huge grid cannot wrap around to a plausible size.
    const uint64_t outWidth = uint64_t { CountX - 1 } * firstWidth + lastWidth;
    const uint64_t outHeight = uint64_t { CountY - 1 } * firstHeight + lastHeight;
    if (firstWidth == 0 || firstHeight == 0 || lastWidth == 0 || lastHeight == 0 || outWidth == 0
        || outHeight == 0 || outWidth > kMaxImageSide || outHeight > kMaxImageSide) {
        UserDialogs().ShowMessage(EngineText::ErrorInTileDimensions);
        Abort = true;
        return;
    }

    OutInfo.Width = static_cast<uint32_t>(outWidth);
    OutInfo.Height = static_cast<uint32_t>(outHeight);
    if (OutInfo.ImageType == FileType::RAW) {
        outName += RawSizeSuffix(outWidth, outHeight);
    }
    OutInfo.FileName = outName;

    // The output takes the tiles' depth; the engine's own input keeps its description.
    const uint8_t inputBits = InInfo.Bits;
    InInfo.Bits = bits;
    TScopeExit restoreBits([this, inputBits] { InInfo.Bits = inputBits; });

    // Creating the output may first delete a file of its name: never one of the tiles.
    const std::string completeName = CompleteOutputName(
        outName, OutInfo.ImageType, OutInfo.Width, OutInfo.Height, bits, ForceBigTiff);
    for (const std::string& tile : Files) {
        if (tile == completeName || SameFile(tile, completeName)) {
            UserDialogs().ShowErrorDialog(EngineText::CannotOverwriteInput);
            FireError(EngineText::CannotCreateTheFile + completeName);
            Abort = true;
            return;
        }
    }
    if (OpenFilesAvailable() < uint64_t { CountX } + 1 + kSpareOpenFiles) {
        FireError(EngineText::TooManyTileColumns);
        Abort = true;
        return;
    }

    std::vector<std::unique_ptr<TTavmor>> tiles;
    try {
        tiles.reserve(CountX);
        for (uint32_t c = 0; c < CountX; ++c) {
            tiles.push_back(std::make_unique<TTavmor>());
        }
    } catch (const std::bad_alloc&) {
        UserDialogs().ShowMessage(EngineText::NotEnoughMemory);
        Abort = true;
        return;
    }

    if (!OpenOutFile(outName)) {
        FireError(EngineText::CannotCreateTheFile + OutInfo.FileName);
        Abort = true;
        (void)CloseOutFile(); // releases a buffer allocated before the failure
        return;
    }
    // From here on the output exists: whatever ends the merge closes every file and keeps
    // the output only when it is complete.
    TScopeExit finish([&] {
        for (auto& tile : tiles) {
            tile->CloseInFile();
        }
        if (!CloseOutFile() && !Abort) {
            FireError(EngineText::WriteToFileError);
            Abort = true;
        }
        if (Abort) {
            (void)DeleteFileAt(OutInfo.FileName);
        }
        FireHideProgress();
    });
    FireShowProgress(static_cast<int32_t>(outHeight), Caption);

    uint32_t outputLine = 0;
    for (uint32_t r = 1; r <= CountY; ++r) {
        const uint32_t bandHeight = r < CountY ? firstHeight : lastHeight;
        for (uint32_t c = 1; c <= CountX; ++c) {
            TTavmor& tile = *tiles[c - 1];
            const uint32_t width = c < CountX ? firstWidth : lastWidth;
            // Only the depth must match: repacking turns 3 channels into 4 and back.
            if (!probeTile(tile, c, r) || tile.InInfo.Width != width
                || tile.InInfo.Height != bandHeight || tile.InInfo.Bits != bits) {
                FireError(TileText(c, r) + EngineText::TileNotValid);
                Abort = true;
                break;
            }
            if (!tile.OpenInFile(tile.InInfo.FileName)) {
                FireError(TileText(c, r) + EngineText::TileReadError);
                Abort = true;
                break;
            }
        }
        if (Abort) {
            break;
        }

        for (uint32_t i = 0; i < bandHeight && !Abort; ++i) {
            uint32_t x = 0;
            for (uint32_t c = 1; c <= CountX; ++c) {
                TTavmor& tile = *tiles[c - 1];
                const int32_t got = tile.ReadLine(static_cast<int32_t>(i));
                if (got < 0 || static_cast<uint32_t>(got) < tile.InInfo.ScanLineSize) {
                    FireError(TileText(c, r) + EngineText::TileReadError);
                    Abort = true;
                    break;
                }
                RepackLine(tile.InInfo, 0, OutInfo, x, tile.InInfo.Width);
                x += tile.InInfo.Width;
            }
            if (Abort) {
                break; // the output goes; writing this line would not save it
            }
            const int32_t written = WriteLine(outputLine);
            if (IoResult() != 0 || written < 0
                || static_cast<uint32_t>(written) != OutInfo.ScanLineSize) {
                FireError(EngineText::WriteToFileError);
                Abort = true;
                break;
            }
            ++outputLine;
            if (outputLine % kProgressEvery == 0) {
                FireUpdateProgress(static_cast<int32_t>(outputLine));
                if (Abort) {
                    break;
                }
                FireStatus(EngineText::ProcessingRow + std::to_string(r) + "/"
                    + std::to_string(CountY) + " (" + std::to_string(bandHeight - i) + ")");
            }
        }
        for (auto& tile : tiles) {
            tile->CloseInFile();
        }
    }
}
