// Tile merge: finds a grid of tile files by name, checks them and joins them into one image.
#include <cstdint>
#include <memory>
#include <new>
#include <string>
#include <vector>

#include "engine/EngineTexts.h"
#include "engine/OpenFileLimit.h"
#include "engine/Repack.h"
#include "engine/ScopeExit.h"
#include "engine/Streaming.h"
#include "engine/TavmorUtils.h"

namespace {

// Progress and status are reported every this many output lines.
constexpr uint32_t kProgressEvery = 7;

// The widest output line: kMaxImageSide pixels of the widest pixel (16-bit RGBA).
static_assert(uint64_t { kMaxImageSide } * 8 <= UINT32_MAX, "line sizes must fit in 32 bits");

// The reason beside "Tile ... is not valid" for a tile its probe refused (the probe's own
// message and reason come first).
constexpr const char* kNotAValidImage = "not a valid image";

std::string TileText(uint32_t column, uint32_t row)
{
    return EngineText::TileX + std::to_string(column) + EngineText::TileY + std::to_string(row);
}

} // namespace

namespace Stream {

TOutcome MergeTiles(TRunContext& run, uint32_t countX, uint32_t countY,
    const std::vector<std::string>& files, const TOutputSpec& out, const std::string& outFolder,
    const std::string& caption, const std::string& currentInput, TFileInfo& written)
{
    RaiseOpenFileLimit();
    if (countX == 0 || countY == 0) {
        run.Dialogs.ShowMessage(EngineText::ErrorInTileDimensions);
        return TOutcome::Failed;
    }
    const TTileFinder finder(files);
    const std::string base =
        files.empty() ? std::string() : outFolder + SplitFileName(files.front()).Base;

    auto probeTile = [&](TFileInfo& info, uint32_t column, uint32_t row) {
        info = TFileInfo {};
        info.FileName = finder.Find(column, row);
        if (!info.FileName.empty()) {
            ProbeFile(info, run.Dialogs, false);
        }
        return info.ImageIsOk;
    };
    // "Tile X=c Y=r is not valid", beside the tile's name and why.
    auto tileNotValid = [&](const TFileInfo& info, uint32_t column, uint32_t row,
                            const std::string& why) {
        run.Dialogs.NoteDetail(info.FileName.empty() ? base : info.FileName,
            info.FileName.empty() ? std::string("no file of this tile among the files given")
                                  : why);
        return run.Fail(TileText(column, row) + EngineText::TileNotValid);
    };
    TFileInfo reference;
    if (!probeTile(reference, 1, 1)) {
        return tileNotValid(reference, 1, 1, kNotAValidImage);
    }
    const uint32_t firstWidth = reference.Width;
    const uint32_t firstHeight = reference.Height;
    if (!probeTile(reference, countX, countY)) {
        return tileNotValid(reference, countX, countY, kNotAValidImage);
    }
    const uint32_t lastWidth = reference.Width;
    const uint32_t lastHeight = reference.Height;
    const uint8_t bits = reference.Bits;
    const uint8_t channels = reference.Channels;

    // In 64 bits, so that a huge grid cannot wrap around to a plausible size.
    const uint64_t outWidth = uint64_t { countX - 1 } * firstWidth + lastWidth;
    const uint64_t outHeight = uint64_t { countY - 1 } * firstHeight + lastHeight;
    if (firstWidth == 0 || firstHeight == 0 || lastWidth == 0 || lastHeight == 0 || outWidth == 0
        || outHeight == 0 || outWidth > kMaxImageSide || outHeight > kMaxImageSide) {
        run.Dialogs.ShowMessage(EngineText::ErrorInTileDimensions);
        return TOutcome::Failed;
    }

    const TFormat& format = *FormatOf(out.Type);
    const std::string stem = OutputStem(base, format, outWidth, outHeight);
    // Replacing a file of the output's name must never replace one of the tiles.
    const std::string completeName =
        CompleteOutputName(stem, format, static_cast<uint32_t>(outWidth),
            static_cast<uint32_t>(outHeight), bits, channels, out.Options);
    for (const std::string& tile : files) {
        if (tile == completeName || SameFile(tile, completeName)) {
            run.Dialogs.ShowErrorDialog(EngineText::CannotOverwriteInput);
            return run.Fail(EngineText::CannotCreateTheFile + completeName);
        }
    }
    if (OpenFilesAvailable() < uint64_t { countX } + 1 + kSpareOpenFiles) {
        run.Dialogs.NoteDetail(completeName,
            std::to_string(uint64_t { countX } + 1 + kSpareOpenFiles) + " open files needed, "
                + std::to_string(OpenFilesAvailable()) + " allowed");
        return run.Fail(EngineText::TooManyTileColumns);
    }

    std::vector<std::unique_ptr<TImageInput>> tiles;
    try {
        tiles.reserve(countX);
        for (uint32_t c = 0; c < countX; ++c) {
            tiles.push_back(std::make_unique<TImageInput>());
        }
    } catch (const std::bad_alloc&) {
        run.Dialogs.ShowMessage(EngineText::NotEnoughMemory);
        return TOutcome::Failed;
    }

    TImageOutput output;
    const bool opened = output.Open(stem, static_cast<uint32_t>(outWidth),
        static_cast<uint32_t>(outHeight), bits, channels, out, currentInput, run);
    written = output.Info();
    written.ScanLine = nullptr;
    if (!opened) {
        const std::string shown = output.Info().FileName.empty() ? stem : output.Info().FileName;
        run.Dialogs.NoteDetail(shown, output.OpenFailure());
        return run.Fail(EngineText::CannotCreateTheFile + shown);
    }
    run.Events.FireShowProgress(static_cast<int32_t>(outHeight), caption);
    TScopeExit hideProgress([&run] { run.Events.FireHideProgress(); });

    uint32_t outputLine = 0;
    for (uint32_t r = 1; r <= countY; ++r) {
        const uint32_t bandHeight = r < countY ? firstHeight : lastHeight;
        for (uint32_t c = 1; c <= countX; ++c) {
            TImageInput& tile = *tiles[c - 1];
            const uint32_t width = c < countX ? firstWidth : lastWidth;
            TFileInfo info;
            // Only the depth must match: repacking turns 3 channels into 4 and back.
            if (!probeTile(info, c, r)) {
                return tileNotValid(info, c, r, kNotAValidImage);
            }
            if (info.Width != width || info.Height != bandHeight || info.Bits != bits) {
                return tileNotValid(info, c, r,
                    std::to_string(info.Width) + " x " + std::to_string(info.Height) + " pixels of "
                        + std::to_string(info.Bits) + " bits where " + std::to_string(width) + " x "
                        + std::to_string(bandHeight) + " of " + std::to_string(bits)
                        + " are needed");
            }
            if (!tile.Open(info)) {
                run.Dialogs.NoteDetail(info.FileName, tile.ErrorReason());
                return run.Fail(TileText(c, r) + EngineText::TileReadError);
            }
        }
        for (uint32_t i = 0; i < bandHeight; ++i) {
            if (run.StopAsked()) {
                return TOutcome::Aborted;
            }
            uint32_t x = 0;
            for (uint32_t c = 1; c <= countX; ++c) {
                TImageInput& tile = *tiles[c - 1];
                if (!tile.ReadWholeLine(i)) {
                    run.Dialogs.NoteDetail(tile.Info().FileName, tile.ErrorReason());
                    return run.Fail(TileText(c, r) + EngineText::TileReadError);
                }
                RepackLine(tile.Info(), 0, output.Info(), x, tile.Info().Width);
                x += tile.Info().Width;
            }
            if (!output.WriteWholeLine(outputLine)) {
                run.Dialogs.NoteDetail(output.Info().FileName, ErrorText(output.Error()));
                return run.Fail(EngineText::WriteToFileError);
            }
            ++outputLine;
            if (outputLine % kProgressEvery == 0) {
                run.Events.FireUpdateProgress(static_cast<int32_t>(outputLine));
                if (run.StopAsked()) {
                    return TOutcome::Aborted;
                }
                run.Events.FireStatus(EngineText::ProcessingRow + std::to_string(r) + "/"
                    + std::to_string(countY) + " (" + std::to_string(bandHeight - i) + ")");
            }
        }
        for (auto& tile : tiles) {
            tile->Close();
        }
    }
    if (run.StopAsked()) {
        return TOutcome::Aborted;
    }
    return CommitOutput(run, output);
}

} // namespace Stream
