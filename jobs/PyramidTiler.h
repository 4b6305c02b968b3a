// Cuts the rows of every level of a pyramid into tiles and encodes them on worker threads: each
// tile column belongs to one worker, which feeds its tiles row by row as the rows arrive, so a
// tile in progress costs its encoder's state, not its pixels. Rows travel in batches through a
// ring of a few slots: one thread fills them, the workers go through them at their own pace,
// and the owner's thread collects each batch once every worker is past it.
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "engine/TileEncoder.h"
#include "jobs/PyramidLayout.h"

/// Where the encoded tiles go.
class TTileSink {
public:
    virtual ~TTileSink() = default;
    /// True when tiles must arrive on the collecting thread in a fixed order (a TIFF, whose
    /// byte layout follows the order of writing); false when any worker may hand a tile over
    /// as soon as it is made (one file per tile).
    virtual bool Ordered() const = 0;
    /// Takes the encoded tile (column, row) of the level `reduction` halvings below the full
    /// size; may take the bytes away. Ordered: the collecting thread, by batch of rows, then
    /// level, row and column. Unordered: any worker, concurrently. False on a failure, whose
    /// text the sink keeps for Failure().
    [[nodiscard]] virtual bool Put(
        uint32_t reduction, uint32_t column, uint32_t row, std::vector<uint8_t>& bytes) = 0;
    /// The text of the first failure ("" when none). Any thread.
    virtual std::string Failure() const = 0;
};

/// Tiles of the levels of one pyramid. One thread, the producer, hands the rows in with AddRow
/// (each level's rows in order) and passes them on with Dispatch; another (or the same, between
/// its calls), the owner, takes finished batches with Collect. Batches are cut by a count of
/// full-level rows, so the bytes of every tile and the order an ordered sink sees them in are
/// the same whatever the number of workers, the depth of the ring or the timing of the threads.
class TPyramidTiler {
public:
    /// `levels` as the layout tiles them, rows of `channels` 8-bit samples, encoded with
    /// `codec` on `workers` threads (at least 1), through a ring of `depth` batches (at least 1;
    /// 1 lets the producer fill a batch only when the previous one is collected).
    TPyramidTiler(const std::vector<TPyramidLevel>& levels, uint8_t channels,
        const TTileCodecOptions& codec, TTileSink& sink, unsigned workers, unsigned depth = kDepth);
    /// Stops and joins the workers; tiles in progress are dropped.
    ~TPyramidTiler();
    TPyramidTiler(const TPyramidTiler&) = delete;
    TPyramidTiler& operator=(const TPyramidTiler&) = delete;

    // The producer's side.

    /// Copies row y of level `reduction` into the batch being filled.
    void AddRow(uint32_t reduction, uint32_t y, const uint8_t* row);
    /// Passes the batch on once it holds `minRows` rows of the full level (0: whatever it holds,
    /// if anything), then waits for a free slot to fill next. False when the tiler stopped or a
    /// tile failed: the producer should give up.
    [[nodiscard]] bool Dispatch(uint32_t minRows);
    /// Says that no more rows come: `complete` when every row of every level was given (what is
    /// left in the batch is passed on), false when the producer gave up.
    void EndInput(bool complete);

    // The owner's side.

    /// What Collect found.
    enum class TCollected : uint8_t {
        Batch, ///< a batch was collected (RowsDone grew)
        Idle, ///< nothing within the time given
        Finished, ///< every row given was tiled and every tile handed to the sink
        Stopped, ///< the producer gave up before the end, or Stop was called
        Failed, ///< a tile failed (Failure says how)
    };
    /// Waits up to `wait` for the oldest batch in the ring to be done by every worker; hands its
    /// tiles to an ordered sink in their fixed order and frees its slot. Owner's thread only.
    [[nodiscard]] TCollected Collect(std::chrono::milliseconds wait);
    /// Rows of the full level in the batches collected so far.
    uint32_t RowsDone() const { return FRowsDone; }
    /// Makes the producer's Dispatch return false and the workers skip what is left; any thread.
    void Stop();
    /// The text of the first failure: an encoder's or the sink's. After Collect said Failed.
    std::string Failure() const;

    /// Rows of the full level gathered per batch: enough to keep the workers busy between two
    /// hand-overs, few enough that the ring stays small beside the encoders.
    static constexpr uint32_t kBatchRows = 8;
    /// Batches in the ring: room for the reading and the workers to run apart for a while.
    static constexpr unsigned kDepth = 4;

private:
    struct TRowRef {
        uint32_t Reduction;
        uint32_t Y;
        size_t Offset;
    };
    struct TBatch {
        std::vector<uint8_t> Pixels;
        std::vector<TRowRef> Rows;
        uint32_t FullRows = 0;
    };
    struct TFinished {
        uint32_t Reduction;
        uint32_t Row;
        uint32_t Column;
        std::vector<uint8_t> Bytes;
    };
    /// The tile rows of one tile column a worker has in progress (at most three overlap).
    struct TColumn {
        uint32_t Reduction = 0;
        uint32_t Index = 0;
        std::unique_ptr<TTileEncoder> Encoders[3];
    };
    struct TWorker {
        std::thread Thread;
        std::vector<std::vector<TColumn>> Columns; ///< per level, the columns it owns
        std::vector<uint8_t> Scratch; ///< a padded row
        /// Ordered sinks: per slot of the ring, the tiles finished in its batch.
        std::vector<std::vector<TFinished>> Finished;
        /// Buffers of tiles handed on, back to be freed by the worker that allocated them (a
        /// thread freeing another's blocks makes the allocator give pages back and fault them
        /// in again). Under FMutex.
        std::vector<std::vector<uint8_t>> Returned;
        uint64_t Done = 0; ///< batches this worker is through; under FMutex
        std::string Failure;
    };

    void WorkerLoop(TWorker& worker);
    [[nodiscard]] bool RunBatch(TWorker& worker, size_t slot);
    [[nodiscard]] bool FeedColumn(
        TWorker& worker, size_t slot, TColumn& column, uint32_t y, const uint8_t* row);
    /// Hands the ordered tiles of the batch in `slot` to the sink. Owner's thread, the slot's
    /// batch done by every worker.
    [[nodiscard]] bool HandOver(size_t slot);
    /// True when every worker is through batch number `batch`. Under FMutex.
    bool AllThrough(uint64_t batch) const;

    std::vector<TPyramidLevel> FLevels;
    uint8_t FChannels;
    TTileCodecOptions FCodec;
    TTileSink& FSink;
    std::vector<std::unique_ptr<TWorker>> FWorkers;
    std::vector<TBatch> FRing;
    uint32_t FRowsDone = 0; ///< owner's thread

    std::mutex FMutex;
    std::condition_variable FWorkersWake; ///< workers: a batch, a failure or the end
    std::condition_variable FOwnerWake; ///< the owner: a worker is through a batch, or the end
    std::condition_variable FProducerWake; ///< the producer: a slot is free, or the end
    uint64_t FProduced = 0; ///< batches passed on; the next to fill is FProduced % depth
    uint64_t FCollected = 0; ///< batches collected; their slots are free
    bool FInputEnded = false;
    bool FInputComplete = false;
    bool FStopped = false;
    bool FFailed = false;
};
