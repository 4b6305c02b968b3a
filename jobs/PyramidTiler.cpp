// Batches of level rows in a ring, gone through by workers that own tile columns and encode
// their tiles as the rows arrive, and collected in order once every worker is past them.
#include "jobs/PyramidTiler.h"

#include <algorithm>
#include <cstring>
#include <tuple>
#include <utility>

#include "jobs/PyramidTexts.h"

TPyramidTiler::TPyramidTiler(const std::vector<TPyramidLevel>& levels, uint8_t channels,
    const TTileCodecOptions& codec, TTileSink& sink, unsigned workers, unsigned depth)
    : FLevels(levels)
    , FChannels(channels)
    , FCodec(codec)
    , FSink(sink)
    , FRing(std::max(depth, 1u))
{
    const unsigned count = std::max(workers, 1u);
    uint32_t widestTile = 0;
    size_t batchBytes = 0;
    for (const TPyramidLevel& level : FLevels) {
        widestTile = std::max(widestTile, level.Columns.Tile + 2 * level.Columns.Overlap);
        // A batch holds kBatchRows rows of the full level and about half as many of each
        // level below (one more at most, since a level's row comes with its upper level's).
        const size_t rows = (kBatchRows >> std::min<uint32_t>(level.Reduction, 31)) + 1;
        batchBytes += rows * level.Width * channels;
    }
    for (unsigned w = 0; w < count; ++w) {
        auto worker = std::make_unique<TWorker>();
        worker->Columns.resize(FLevels.size());
        worker->Scratch.resize(size_t(widestTile) * channels);
        worker->Finished.resize(FRing.size());
        FWorkers.push_back(std::move(worker));
    }
    // Tile columns are dealt out in turn over all levels, so each worker gets its share of
    // every level and a column's tiles always meet the same encoder state.
    size_t dealt = 0;
    for (size_t k = 0; k < FLevels.size(); ++k) {
        for (uint32_t c = 0; c < FLevels[k].Columns.Count(); ++c) {
            TColumn column;
            column.Reduction = static_cast<uint32_t>(k);
            column.Index = c;
            FWorkers[dealt++ % count]->Columns[k].push_back(std::move(column));
        }
    }
    for (TBatch& batch : FRing) {
        batch.Pixels.reserve(batchBytes);
    }
    for (auto& worker : FWorkers) {
        worker->Thread = std::thread([this, w = worker.get()] { WorkerLoop(*w); });
    }
}

TPyramidTiler::~TPyramidTiler()
{
    Stop();
    for (auto& worker : FWorkers) {
        if (worker->Thread.joinable()) {
            worker->Thread.join();
        }
    }
}

void TPyramidTiler::AddRow(uint32_t reduction, uint32_t y, const uint8_t* row)
{
    // The slot being filled is the producer's alone until Dispatch passes it on.
    TBatch& batch = FRing[FProduced % FRing.size()];
    const size_t bytes = size_t(FLevels[reduction].Width) * FChannels;
    const size_t offset = batch.Pixels.size();
    batch.Pixels.insert(batch.Pixels.end(), row, row + bytes);
    batch.Rows.push_back({ reduction, y, offset });
    if (reduction == 0) {
        ++batch.FullRows;
    }
}

bool TPyramidTiler::Dispatch(uint32_t minRows)
{
    const TBatch& filled = FRing[FProduced % FRing.size()];
    if (filled.Rows.empty() || (minRows > 0 && filled.FullRows < minRows)) {
        return true;
    }
    std::unique_lock<std::mutex> lock(FMutex);
    if (FStopped || FFailed) {
        return false;
    }
    ++FProduced;
    FWorkersWake.notify_all();
    FProducerWake.wait(
        lock, [this] { return FStopped || FFailed || FProduced - FCollected < FRing.size(); });
    if (FStopped || FFailed) {
        return false;
    }
    lock.unlock();
    TBatch& next = FRing[FProduced % FRing.size()];
    next.Pixels.clear();
    next.Rows.clear();
    next.FullRows = 0;
    return true;
}

void TPyramidTiler::EndInput(bool complete)
{
    const bool passed = !complete || Dispatch(0);
    std::lock_guard<std::mutex> lock(FMutex);
    FInputEnded = true;
    FInputComplete = complete && passed;
    FOwnerWake.notify_all();
}

void TPyramidTiler::Stop()
{
    {
        std::lock_guard<std::mutex> lock(FMutex);
        FStopped = true;
    }
    FWorkersWake.notify_all();
    FOwnerWake.notify_all();
    FProducerWake.notify_all();
}

bool TPyramidTiler::AllThrough(uint64_t batch) const
{
    return std::all_of(FWorkers.begin(), FWorkers.end(),
        [batch](const std::unique_ptr<TWorker>& worker) { return worker->Done > batch; });
}

TPyramidTiler::TCollected TPyramidTiler::Collect(std::chrono::milliseconds wait)
{
    std::unique_lock<std::mutex> lock(FMutex);
    const auto ready = [this] {
        return FFailed || FStopped || (FInputEnded && !FInputComplete)
            || (FCollected < FProduced && AllThrough(FCollected))
            || (FInputEnded && FCollected == FProduced);
    };
    if (!FOwnerWake.wait_for(lock, wait, ready)) {
        return TCollected::Idle;
    }
    if (FFailed) {
        return TCollected::Failed;
    }
    if (FStopped || (FInputEnded && !FInputComplete)) {
        return TCollected::Stopped;
    }
    if (FCollected == FProduced) {
        return TCollected::Finished;
    }
    const size_t slot = FCollected % FRing.size();
    lock.unlock();
    // Every worker is past this batch and none touches its slot again before it is freed.
    if (!HandOver(slot)) {
        std::lock_guard<std::mutex> relock(FMutex);
        FFailed = true;
        FWorkersWake.notify_all();
        FProducerWake.notify_all();
        return TCollected::Failed;
    }
    FRowsDone += FRing[slot].FullRows;
    lock.lock();
    for (auto& worker : FWorkers) {
        for (TFinished& tile : worker->Finished[slot]) {
            worker->Returned.push_back(std::move(tile.Bytes));
        }
        worker->Finished[slot].clear();
    }
    ++FCollected;
    FProducerWake.notify_all();
    return TCollected::Batch;
}

bool TPyramidTiler::HandOver(size_t slot)
{
    if (!FSink.Ordered()) {
        return true;
    }
    struct TRef {
        TFinished* Tile;
        TWorker* Owner;
    };
    std::vector<TRef> tiles;
    for (auto& worker : FWorkers) {
        for (TFinished& tile : worker->Finished[slot]) {
            tiles.push_back({ &tile, worker.get() });
        }
    }
    std::sort(tiles.begin(), tiles.end(), [](const TRef& a, const TRef& b) {
        return std::tie(a.Tile->Reduction, a.Tile->Row, a.Tile->Column)
            < std::tie(b.Tile->Reduction, b.Tile->Row, b.Tile->Column);
    });
    for (const TRef& ref : tiles) {
        if (!FSink.Put(ref.Tile->Reduction, ref.Tile->Column, ref.Tile->Row, ref.Tile->Bytes)) {
            return false;
        }
    }
    return true;
}

std::string TPyramidTiler::Failure() const
{
    for (const auto& worker : FWorkers) {
        if (!worker->Failure.empty()) {
            return worker->Failure;
        }
    }
    return FSink.Failure();
}

void TPyramidTiler::WorkerLoop(TWorker& worker)
{
    std::unique_lock<std::mutex> lock(FMutex);
    for (;;) {
        FWorkersWake.wait(lock, [&] { return FStopped || FFailed || worker.Done < FProduced; });
        if (FStopped || FFailed) {
            return;
        }
        const size_t slot = worker.Done % FRing.size();
        std::vector<std::vector<uint8_t>> returned;
        returned.swap(worker.Returned);
        lock.unlock();
        returned.clear();
        const bool ok = RunBatch(worker, slot);
        lock.lock();
        ++worker.Done;
        if (!ok) {
            FFailed = true;
            FProducerWake.notify_all();
            FWorkersWake.notify_all();
        }
        FOwnerWake.notify_all();
    }
}

bool TPyramidTiler::RunBatch(TWorker& worker, size_t slot)
{
    const TBatch& batch = FRing[slot];
    for (const TRowRef& ref : batch.Rows) {
        for (TColumn& column : worker.Columns[ref.Reduction]) {
            if (!FeedColumn(worker, slot, column, ref.Y, batch.Pixels.data() + ref.Offset)) {
                return false;
            }
        }
    }
    return true;
}

bool TPyramidTiler::FeedColumn(
    TWorker& worker, size_t slot, TColumn& column, uint32_t y, const uint8_t* row)
{
    const TPyramidLevel& level = FLevels[column.Reduction];
    const TTileGrid& rows = level.Rows;
    const uint32_t x0 = level.Columns.Begin(column.Index);
    const uint32_t width = level.Columns.End(column.Index) - x0;
    const uint32_t codedWidth = level.Padded ? level.Columns.Tile : width;
    const uint8_t* segment = row + size_t(x0) * FChannels;
    if (codedWidth > width) {
        // Past the right edge a padded tile repeats the level's last pixel.
        uint8_t* padded = worker.Scratch.data();
        std::memcpy(padded, segment, size_t(width) * FChannels);
        for (uint32_t x = width; x < codedWidth; ++x) {
            std::memcpy(
                padded + size_t(x) * FChannels, segment + size_t(width - 1) * FChannels, FChannels);
        }
        segment = padded;
    }
    // The tile rows holding line y: at most three, since the overlap is below the tile size.
    const uint32_t first = y >= rows.Overlap ? (y - rows.Overlap) / rows.Tile : 0;
    const uint32_t last = std::min(rows.Count() - 1, (y + rows.Overlap) / rows.Tile);
    for (uint32_t r = first; r <= last; ++r) {
        const uint32_t y0 = rows.Begin(r);
        const uint32_t y1 = rows.End(r);
        if (y < y0 || y >= y1) {
            continue;
        }
        std::unique_ptr<TTileEncoder>& encoder = column.Encoders[r % 3];
        if (!encoder) {
            encoder = MakeTileEncoder(FCodec);
        }
        const uint32_t codedHeight = level.Padded ? rows.Tile : y1 - y0;
        bool ok = (y != y0 || encoder->Begin(codedWidth, codedHeight, FChannels))
            && encoder->AddRow(segment);
        if (ok && y + 1 == y1) {
            // Below the bottom edge a padded tile repeats the level's last line.
            for (uint32_t extra = y1 - y0; ok && extra < codedHeight; ++extra) {
                ok = encoder->AddRow(segment);
            }
            std::vector<uint8_t> bytes;
            ok = ok && encoder->Finish(bytes);
            if (ok && FSink.Ordered()) {
                worker.Finished[slot].push_back(
                    { column.Reduction, r, column.Index, std::move(bytes) });
            } else if (ok && !FSink.Put(column.Reduction, column.Index, r, bytes)) {
                worker.Failure = FSink.Failure();
                return false;
            }
        }
        if (!ok) {
            worker.Failure = PyramidText::TileEncodingError;
            return false;
        }
    }
    return true;
}
