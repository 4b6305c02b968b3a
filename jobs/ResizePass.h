// One streamed pass of the Resize job: the tiles of a grid over the current image are read
// straight from it, shrunk by resize workers in row form, band after band, and joined line by
// line into the pass's output; reading, resizing and writing run on threads of their own at the
// same time. No tile and no shrunk tile is ever a file.
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <vector>

#include "engine/FileInfo.h"
#include "jobs/ResizeFeed.h"
#include "jobs/ResizeMerge.h"
#include "jobs/ResizePlan.h"
#include "resample/RawResizeTh.h"

/// A streamed pass. Life, on the job's thread: Plan, OpenInput, Start with the output, then
/// StartBand for each band once the one before has Finished its tiles (Wait between looks),
/// and End. The workers, the reader and the writer are the pass's own threads.
class TResizePass {
public:
    TResizePass() = default;
    /// Stops and waits for every thread.
    ~TResizePass();
    TResizePass(const TResizePass&) = delete;
    TResizePass& operator=(const TResizePass&) = delete;

    /// Lays the grid over the probed input: columns x rows tiles of tileWidth x tileHeight (the
    /// last ones take the rest), each shrunk by divider on its own, nearest neighbour when fast.
    /// False when a tile would shrink to nothing (the worker could not resize it).
    [[nodiscard]] bool Plan(
        const TFileInfo& input, const ResizePlan::TPass& grid, long double divider, bool fast);
    /// The size of the joined result: the shrunk tiles side by side.
    uint32_t NewWidth() const { return FNewWidth; }
    uint32_t NewHeight() const { return FNewHeight; }
    size_t Columns() const { return FColumns.size(); }
    size_t Bands() const { return FBands.size(); }
    size_t TileCount() const { return FColumns.size() * FBands.size(); }
    /// A tile's size before and after shrinking, by its column or band.
    uint32_t TileWidth(size_t column) const { return FColumns[column].Width; }
    uint32_t NewTileWidth(size_t column) const { return FColumns[column].NewWidth; }
    uint32_t TileHeight(size_t band) const { return FBands[band].Height; }
    uint32_t NewTileHeight(size_t band) const { return FBands[band].NewHeight; }

    /// Opens the input for reading; false with the feed's Error and OutOfMemory then.
    [[nodiscard]] bool OpenInput();
    /// Starts reading the input and writing the joined lines (NewWidth x NewHeight at the
    /// input's depth) into target, which stays the caller's. False when a thread or the memory
    /// cannot be had.
    [[nodiscard]] bool Start(TMergeTarget& target);
    /// Starts the workers of a band (all its tiles at once: they share the input's lines).
    /// False when a worker cannot be started; the band's started workers go on.
    [[nodiscard]] bool StartBand(size_t band);
    /// Waits until a worker finished or failed, the reader or writer failed, or timeout passed.
    void Wait(std::chrono::milliseconds timeout);
    /// Whether the tile (band × Columns + column) has finished (its worker ended, every row
    /// handed on), or its worker ended with an error.
    bool TileFinished(size_t tile);
    bool TileFailed(size_t tile) const;
    /// The worker's own reason for its failure (for diagnostics).
    std::string TileErrorText(size_t tile) const;
    /// True when every started worker has ended.
    bool WorkersEnded();
    /// Stops reading, resizing and writing: every worker ends at its next row.
    void Stop();
    /// Waits for the reader and the writer to end (after the last line, or after Stop), and
    /// closes the input. The output is left to the caller.
    void End();

    const TLineFeed& Feed() const { return FFeed; }
    const TMergeWriter& Merge() const { return FMerge; }
    /// What the pass holds besides the workers: the rings of the reader and the writer.
    size_t RingBytes() const { return FFeed.RingBytes() + FMerge.RingBytes(); }

private:
    struct TColumn {
        uint32_t Left = 0;
        uint32_t Width = 0;
        uint32_t NewWidth = 0;
    };
    struct TBand {
        uint32_t Top = 0;
        uint32_t Height = 0;
        uint32_t NewHeight = 0;
    };
    struct TTile {
        std::unique_ptr<TRawResize> Worker;
        uint64_t Sequence = 0; ///< the feed's sequence of the next line the tile takes
    };

    void Notify();

    TFileInfo FInput;
    long double FDivider = 1.0L;
    bool FFast = false;
    TImageFormat FFormat = R8G8B8;
    size_t FPixelBytes = 3;
    std::vector<TColumn> FColumns;
    std::vector<TBand> FBands;
    uint32_t FNewWidth = 0;
    uint32_t FNewHeight = 0;
    std::vector<TTile> FTiles;
    TLineFeed FFeed;
    TMergeWriter FMerge;

    std::mutex FLock;
    std::condition_variable FNews;
    bool FNewsPending = false;
};
