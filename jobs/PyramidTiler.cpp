// Batches of level rows handed to workers that own tile columns and encode their tiles as the
// rows arrive.
#include "jobs/PyramidTiler.h"

#include <algorithm>
#include <cstring>
#include <utility>

#include "jobs/PyramidTexts.h"

TPyramidTiler::TPyramidTiler(const std::vector<TPyramidLevel>& levels, uint8_t channels,
    const TTileCodecOptions& codec, TTileSink& sink, unsigned workers)
    : FLevels(levels)
    , FChannels(channels)
    , FCodec(codec)
    , FSink(sink)
{
    const unsigned count = std::max(workers, 1u);
    size_t rowBytes = 0;
    uint32_t widestTile = 0;
    for (const TPyramidLevel& level : FLevels) {
        rowBytes += size_t(level.Width) * channels;
        widestTile = std::max(widestTile, level.Columns.Tile + 2 * level.Columns.Overlap);
    }
    for (unsigned w = 0; w < count; ++w) {
        auto worker = std::make_unique<TWorker>();
        worker->Columns.resize(FLevels.size());
        worker->Scratch.resize(size_t(widestTile) * channels);
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
    for (TBatch& batch : FBatches) {
        batch.Pixels.reserve((kBatchRows + 2) * rowBytes);
    }
    for (auto& worker : FWorkers) {
        worker->Thread = std::thread([this, w = worker.get()] { WorkerLoop(*w); });
    }
}

TPyramidTiler::~TPyramidTiler()
{
    {
        std::lock_guard<std::mutex> lock(FMutex);
        FQuit = true;
    }
    FWake.notify_all();
    for (auto& worker : FWorkers) {
        if (worker->Thread.joinable()) {
            worker->Thread.join();
        }
    }
}

void TPyramidTiler::AddRow(uint32_t reduction, uint32_t y, const uint8_t* row)
{
    TBatch& batch = FBatches[FFilling];
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
    TBatch& batch = FBatches[FFilling];
    if (minRows > 0 && batch.FullRows < minRows) {
        return true;
    }
    if (!Collect()) {
        return false;
    }
    if (batch.Rows.empty()) {
        return true;
    }
    {
        std::lock_guard<std::mutex> lock(FMutex);
        FInFlight = &batch;
        FBusy = static_cast<unsigned>(FWorkers.size());
        ++FGeneration;
    }
    FWake.notify_all();
    FFilling ^= 1;
    TBatch& next = FBatches[FFilling];
    next.Pixels.clear();
    next.Rows.clear();
    next.FullRows = 0;
    return true;
}

bool TPyramidTiler::Finish()
{
    return Dispatch(0) && Collect();
}

bool TPyramidTiler::Collect()
{
    {
        std::unique_lock<std::mutex> lock(FMutex);
        FDone.wait(lock, [this] { return FBusy == 0; });
        FInFlight = nullptr;
        if (FFailed) {
            return false;
        }
    }
    if (!FSink.Ordered()) {
        return true;
    }
    std::vector<TFinished> finished;
    for (auto& worker : FWorkers) {
        std::move(worker->Finished.begin(), worker->Finished.end(), std::back_inserter(finished));
        worker->Finished.clear();
    }
    std::sort(finished.begin(), finished.end(), [](const TFinished& a, const TFinished& b) {
        return std::tie(a.Reduction, a.Row, a.Column) < std::tie(b.Reduction, b.Row, b.Column);
    });
    for (TFinished& tile : finished) {
        if (!FSink.Put(tile.Reduction, tile.Column, tile.Row, tile.Bytes)) {
            std::lock_guard<std::mutex> lock(FMutex);
            FFailed = true;
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
    uint64_t seen = 0;
    for (;;) {
        std::unique_lock<std::mutex> lock(FMutex);
        FWake.wait(lock, [&] { return FQuit || FGeneration != seen; });
        if (FQuit) {
            return;
        }
        seen = FGeneration;
        const TBatch* batch = FInFlight;
        const bool skip = FFailed;
        lock.unlock();
        const bool ok = skip || RunBatch(worker, *batch);
        lock.lock();
        FFailed = FFailed || !ok;
        if (--FBusy == 0) {
            FDone.notify_all();
        }
    }
}

bool TPyramidTiler::RunBatch(TWorker& worker, const TBatch& batch)
{
    for (const TRowRef& ref : batch.Rows) {
        for (TColumn& column : worker.Columns[ref.Reduction]) {
            if (!FeedColumn(worker, column, ref.Y, batch.Pixels.data() + ref.Offset)) {
                return false;
            }
        }
    }
    return true;
}

bool TPyramidTiler::FeedColumn(TWorker& worker, TColumn& column, uint32_t y, const uint8_t* row)
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
                worker.Finished.push_back({ column.Reduction, r, column.Index, std::move(bytes) });
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
