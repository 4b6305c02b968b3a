// Tile split: cuts the input into a grid of tile files in one pass over its lines; the tiles
// take their names together once the last band is written.
#include <algorithm>
#include <cstdint>
#include <memory>
#include <new>
#include <string>
#include <vector>

#include "engine/EngineTexts.h"
#include "engine/InputCheck.h"
#include "engine/OpenFileLimit.h"
#include "engine/Repack.h"
#include "engine/ScopeExit.h"
#include "engine/Streaming.h"
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

using TTiles = std::vector<std::unique_ptr<TImageOutput>>;

} // namespace

namespace Stream {

TOutcome SplitImage(TRunContext& run, const TFileInfo& input, uint32_t tileWidth,
    uint32_t tileHeight, const TOutputSpec& out, const std::string& outFolder,
    const std::string& caption, std::vector<std::string>& fileList)
{
    RaiseOpenFileLimit();
    if (!FileExists(input.FileName) || !input.ImageIsOk) {
        const std::string problem = InputFileProblem(input.FileName);
        run.Dialogs.NoteDetail(
            input.FileName, problem.empty() ? "not examined as a valid image" : problem);
        return run.Fail(EngineText::FileNotFoundOrBad);
    }
    if (tileWidth == 0 || tileHeight == 0) {
        // The callers never ask for empty tiles; refuse rather than divide by zero.
        return TOutcome::Failed;
    }
    TImageInput in;
    if (!in.Open(input)) {
        if (in.OutOfMemory()) {
            run.Dialogs.NoteDetail(input.FileName, in.ErrorReason());
            run.Dialogs.ShowMessage(EngineText::InNotEnoughMemory);
        }
        run.Dialogs.NoteDetail(input.FileName, in.ErrorReason());
        return run.Fail(EngineText::ErrorOpeningInput);
    }

    const uint32_t imageWidth = input.Width;
    const uint32_t imageHeight = input.Height;
    tileWidth = std::min(tileWidth, imageWidth);
    tileHeight = std::min(tileHeight, imageHeight);
    const uint32_t columns = PartCount(imageWidth, tileWidth);
    const uint32_t rows = PartCount(imageHeight, tileHeight);

    // A band keeps one file per column open at once: refuse a grid the system cannot hold
    // before anything is created.
    if (OpenFilesAvailable() < uint64_t { columns } + kSpareOpenFiles) {
        run.Dialogs.NoteDetail(input.FileName,
            std::to_string(uint64_t { columns } + kSpareOpenFiles) + " open files needed, "
                + std::to_string(OpenFilesAvailable()) + " allowed");
        return run.Fail(EngineText::TooManyTileColumns);
    }

    const std::string stem = outFolder + BaseNameOf(input.FileName);
    // Finished tiles wait, closed, under hidden names until the last band is written; every
    // way out before that removes them with this list.
    TTiles finished;
    TTiles band;
    try {
        finished.reserve(size_t { columns } * rows);
        band.reserve(columns);
    } catch (const std::bad_alloc&) {
        run.Dialogs.ShowMessage(EngineText::NotEnoughMemory);
        return TOutcome::Failed;
    } catch (const std::length_error&) {
        run.Dialogs.ShowMessage(EngineText::NotEnoughMemory);
        return TOutcome::Failed;
    }

    run.Events.FireShowProgress(static_cast<int32_t>(imageHeight), caption);
    TScopeExit hideProgress([&run] { run.Events.FireHideProgress(); });
    // The first tile is the largest: its TIFF kind holds for the whole grid.
    TOutputSpec setup = out;
    setup.Options.ForceBigTiff = false;
    // A band keeps a tile of every column open: encoding threads and batches of each would
    // multiply by the columns, so tiles side by side encode on this thread, a strip at a time.
    if (columns > 1) {
        setup.Options.Threads = 1;
    }

    uint32_t inputLine = 0;
    for (uint32_t r = 1; r <= rows; ++r) {
        if (run.StopAsked()) {
            return TOutcome::Aborted;
        }
        const uint32_t bandHeight = PartSize(r, rows, tileHeight, imageHeight);
        band.clear();
        for (uint32_t c = 1; c <= columns; ++c) {
            const uint32_t width = PartSize(c, columns, tileWidth, imageWidth);
            const std::string name = TileFileName(stem, width, bandHeight, c, r);
            auto tile = std::make_unique<TImageOutput>();
            if (!tile->Open(name, width, bandHeight, input.Bits, input.Channels, setup,
                    input.FileName, run)) {
                const std::string shown =
                    tile->Info().FileName.empty() ? name : tile->Info().FileName;
                run.Dialogs.NoteDetail(shown, tile->OpenFailure());
                return run.Fail(EngineText::CantCreateFile + shown);
            }
            if (r == 1 && c == 1 && tile->LargeLayout()) {
                setup.Options.ForceBigTiff = true;
            }
            band.push_back(std::move(tile));
        }

        for (uint32_t i = 0; i < bandHeight; ++i) {
            if (run.StopAsked()) {
                return TOutcome::Aborted;
            }
            if (!in.ReadWholeLine(inputLine)) {
                run.Dialogs.NoteDetail(input.FileName, in.ErrorReason());
                return run.Fail(EngineText::InputFileReadError);
            }
            ++inputLine;
            if (inputLine % kProgressEvery == 0) {
                run.Events.FireUpdateProgress(static_cast<int32_t>(inputLine));
                if (run.StopAsked()) {
                    return TOutcome::Aborted;
                }
                run.Events.FireStatus(EngineText::ProcessingRow + std::to_string(r) + "/"
                    + std::to_string(rows) + " (" + std::to_string(bandHeight - i) + ")");
            }
            uint32_t x = 0;
            for (auto& tile : band) {
                const uint32_t width = tile->Info().Width;
                RepackLine(in.Info(), x, tile->Info(), 0, width);
                x += width;
                if (!tile->WriteWholeLine(i)) {
                    run.Dialogs.NoteDetail(tile->Info().FileName, ErrorText(tile->Error()));
                    return run.Fail(EngineText::WriteToFileError);
                }
            }
        }
        run.Events.FireUpdateProgress(static_cast<int32_t>(inputLine));
        for (auto& tile : band) {
            if (!tile->Park()) {
                run.Dialogs.NoteDetail(tile->Info().FileName, ErrorText(tile->Error()));
                return run.Fail(EngineText::WriteToFileError);
            }
            finished.push_back(std::move(tile));
        }
    }
    if (run.StopAsked()) {
        return TOutcome::Aborted;
    }

    std::vector<TOutputCommit*> guards;
    guards.reserve(finished.size());
    for (auto& tile : finished) {
        guards.push_back(&tile->Guard());
    }
    size_t failedAt = 0;
    switch (TOutputCommit::CommitTogether(guards, failedAt)) {
    case TCommitResult::Committed:
        break;
    case TCommitResult::Exists:
        run.Dialogs.NoteDetail(finished[failedAt]->Info().FileName, "");
        run.Dialogs.ShowAnsweredNo(EngineText::OutputExists);
        return TOutcome::Failed;
    case TCommitResult::Failed:
        run.Dialogs.NoteDetail(
            finished[failedAt]->Info().FileName, ErrorText(guards[failedAt]->Error()));
        return run.Fail(EngineText::WriteToFileError);
    }
    for (auto& tile : finished) {
        fileList.push_back(tile->Info().FileName);
    }
    return TOutcome::Done;
}

} // namespace Stream
