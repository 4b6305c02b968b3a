// Cuts the rows of every level of a pyramid into tiles and encodes them on worker threads: each
// tile column belongs to one worker, which feeds its tiles row by row as the rows arrive, so a
// tile in progress costs its encoder's state, not its pixels.
#pragma once

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
    /// True when tiles must arrive on the tiler's own thread in a fixed order (a TIFF, whose
    /// byte layout follows the order of writing); false when any worker may hand a tile over
    /// as soon as it is made (one file per tile).
    virtual bool Ordered() const = 0;
    /// Takes the encoded tile (column, row) of the level `reduction` halvings below the full
    /// size; may take the bytes away. Ordered: the tiler's thread, by batch of rows, then level,
    /// row and column. Unordered: any worker, concurrently. False on a failure, whose text
    /// the sink keeps for Failure().
    [[nodiscard]] virtual bool Put(
        uint32_t reduction, uint32_t column, uint32_t row, std::vector<uint8_t>& bytes) = 0;
    /// The text of the first failure ("" when none). Any thread.
    virtual std::string Failure() const = 0;
};

/// Tiles of the levels of one pyramid. Rows are handed in with AddRow (each level's rows in
/// order) from one thread, the tiler's; they are copied and passed to the workers in batches.
/// The bytes of every tile are the same whatever the number of workers.
class TPyramidTiler {
public:
    /// `levels` as the layout tiles them, rows of `channels` 8-bit samples, encoded with
    /// `codec` on `workers` threads (at least 1).
    TPyramidTiler(const std::vector<TPyramidLevel>& levels, uint8_t channels,
        const TTileCodecOptions& codec, TTileSink& sink, unsigned workers);
    /// Stops the workers; tiles in progress are dropped.
    ~TPyramidTiler();
    TPyramidTiler(const TPyramidTiler&) = delete;
    TPyramidTiler& operator=(const TPyramidTiler&) = delete;

    /// Copies row y of level `reduction` into the batch being gathered.
    void AddRow(uint32_t reduction, uint32_t y, const uint8_t* row);
    /// Passes the batch to the workers once it holds `minRows` rows of the full level (0: at
    /// once), after the previous batch is done. False when a tile failed (see Failure).
    [[nodiscard]] bool Dispatch(uint32_t minRows);
    /// Dispatches what is left and waits for every tile. False when a tile failed.
    [[nodiscard]] bool Finish();
    /// The text of the first failure: an encoder's or the sink's.
    std::string Failure() const;

    /// Rows of the full level gathered per batch: enough to keep the workers busy between two
    /// hand-overs, few enough that two batches stay small beside the encoders.
    static constexpr uint32_t kBatchRows = 8;

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
        std::vector<TFinished> Finished; ///< ordered sinks: tiles of the batch
        std::string Failure;
    };

    void WorkerLoop(TWorker& worker);
    [[nodiscard]] bool RunBatch(TWorker& worker, const TBatch& batch);
    [[nodiscard]] bool FeedColumn(TWorker& worker, TColumn& column, uint32_t y, const uint8_t* row);
    /// Waits for the workers to end the batch in flight and hands its tiles on.
    [[nodiscard]] bool Collect();

    std::vector<TPyramidLevel> FLevels;
    uint8_t FChannels;
    TTileCodecOptions FCodec;
    TTileSink& FSink;
    std::vector<std::unique_ptr<TWorker>> FWorkers;
    TBatch FBatches[2];
    int FFilling = 0; ///< the batch being gathered; the other may be in flight

    std::mutex FMutex;
    std::condition_variable FWake; ///< workers: a batch or the end
    std::condition_variable FDone; ///< the tiler: a worker ended its part
    const TBatch* FInFlight = nullptr;
    uint64_t FGeneration = 0;
    unsigned FBusy = 0;
    bool FQuit = false;
    bool FFailed = false;
};
