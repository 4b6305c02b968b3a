// One streamed pass of the Resize job: the grid, the workers of each band between the reader
// and the writer, and the news of their ends for the job's thread.
#include "jobs/ResizePass.h"

#include <algorithm>
#include <new>

#include "resample/PixelMath.h"
#include "resample/RowResampler.h"

namespace {

/// Threads that compute one tile's rows: every core when a band has one tile, else one each, so
/// that the tiles of a band share the cores.
unsigned ThreadsPerTile(size_t columns)
{
    return columns == 1 ? 0u : 1u;
}

/// The lines of a band its tiles need: those under the rows' kernel (filtered) or taken by some
/// destination row (nearest). Every tile of a band has the band's height, so the answer holds
/// for all of them. False when the tile cannot be resized.
bool NeededLines(const TRowResizeSpec& tile, std::vector<uint8_t>& needed)
{
    TRowResizeSpec setup = tile;
    setup.Threads = 1;
    TRowResampler probe;
    if (!probe.Open(setup, [](int32_t, const uint8_t*) { return true; })) {
        return false;
    }
    needed.assign(size_t(setup.Height), 0);
    for (int32_t y = 0; y < setup.Height; ++y) {
        needed[size_t(y)] = probe.RowNeeded(y) ? 1 : 0;
    }
    return true;
}

} // namespace

TResizePass::~TResizePass()
{
    Stop();
    FTiles.clear(); // each worker's destructor waits for its thread
    End();
}

bool TResizePass::Plan(
    const TFileInfo& input, const ResizePlan::TPass& grid, long double divider, bool fast)
{
    FInput = input;
    FInput.ScanLine = nullptr;
    FDivider = divider;
    FFast = fast;
    FFormat = input.Bits == 16 ? R16G16B16 : R8G8B8;
    FPixelBytes = input.Bits == 16 ? 6 : 3;
    FColumns.clear();
    FBands.clear();
    FNewWidth = FNewHeight = 0;
    if (grid.TileWidth == 0 || grid.TileHeight == 0 || input.Width == 0 || input.Height == 0) {
        return false;
    }
    TRoundToNearestScope rounding;
    // The grid along one side: each piece's start, length and shrunk length.
    const auto cut = [divider](uint32_t side, uint32_t tile, auto&& each) {
        for (uint32_t start = 0; start < side; start += tile) {
            const uint32_t length = std::min(tile, side - start);
            const auto shrunk = uint32_t(DividedSide(length, divider));
            if (shrunk == 0) {
                return false;
            }
            each(start, length, shrunk);
        }
        return true;
    };
    const bool cutAcross =
        cut(input.Width, grid.TileWidth, [&](uint32_t l, uint32_t w, uint32_t n) {
            FColumns.push_back({ l, w, n });
            FNewWidth += n;
        });
    const bool cutDown =
        cutAcross && cut(input.Height, grid.TileHeight, [&](uint32_t t, uint32_t h, uint32_t n) {
            FBands.push_back({ t, h, n });
            FNewHeight += n;
        });
    if (!cutDown) {
        return false;
    }
    try {
        FTiles.clear();
        FTiles.resize(TileCount());
    } catch (const std::bad_alloc&) {
        return false;
    }
    return true;
}

bool TResizePass::OpenInput()
{
    TRoundToNearestScope rounding;
    std::vector<TFeedBand> bands;
    try {
        for (const TBand& band : FBands) {
            TRowResizeSpec setup;
            if (!TileResizeSpec(int32_t(FColumns.front().Width), int32_t(band.Height), FFormat,
                    FDivider, FFast, 1, setup)) {
                return false;
            }
            TFeedBand feed;
            feed.Top = band.Top;
            feed.Takers = uint32_t(FColumns.size());
            if (!NeededLines(setup, feed.Needed)) {
                return false;
            }
            bands.push_back(std::move(feed));
        }
    } catch (const std::bad_alloc&) {
        return false;
    }
    return FFeed.Open(FInput, std::move(bands));
}

bool TResizePass::Start(TMergeTarget& target)
{
    std::vector<TMergeBand> bands;
    try {
        for (const TBand& band : FBands) {
            TMergeBand merge;
            merge.Rows = band.NewHeight;
            uint32_t left = 0;
            for (const TColumn& column : FColumns) {
                merge.Left.push_back(left);
                merge.Width.push_back(column.NewWidth);
                left += column.NewWidth;
            }
            bands.push_back(std::move(merge));
        }
    } catch (const std::bad_alloc&) {
        return false;
    }
    return FMerge.Open(target, FNewWidth, FInput.Bits, std::move(bands)) && FMerge.Start()
        && FFeed.Start();
}

bool TResizePass::StartBand(size_t band)
{
    const TBand& b = FBands[band];
    for (size_t c = 0; c < FColumns.size(); ++c) {
        const size_t index = band * FColumns.size() + c;
        TTile& tile = FTiles[index];
        const TColumn column = FColumns[c];
        tile.Sequence = FFeed.FirstOfBand(band);
        const size_t offset = size_t(column.Left) * FPixelBytes;
        const size_t bytes = size_t(column.Width) * FPixelBytes;
        // The worker calls both on its own thread, the source for the needed rows in order.
        TRowSource source = [this, index, offset, bytes, top = b.Top](int32_t y, uint8_t* row) {
            TTile& t = FTiles[index];
            return FFeed.Take(t.Sequence++, top + uint32_t(y), offset, bytes, row);
        };
        TRowSink sink = [this, band, c, last = b.NewHeight - 1](int32_t y, const uint8_t* row) {
            const bool put = FMerge.Put(band, c, uint32_t(y), row);
            if (!put || uint32_t(y) == last) {
                Notify();
            }
            return put;
        };
        try {
            tile.Worker = std::make_unique<TRawResize>();
            tile.Worker->InitRows(int32_t(column.Width), int32_t(b.Height), FFormat, FDivider,
                FFast, std::move(source), std::move(sink));
            tile.Worker->Threads = ThreadsPerTile(FColumns.size());
        } catch (const std::bad_alloc&) {
            tile.Worker.reset();
            return false;
        }
        if (!tile.Worker->Start()) {
            // An unstarted worker never finishes: it must not be waited for.
            tile.Worker.reset();
            return false;
        }
    }
    return true;
}

void TResizePass::Notify()
{
    {
        std::lock_guard<std::mutex> lock(FLock);
        FNewsPending = true;
    }
    FNews.notify_all();
}

void TResizePass::Wait(std::chrono::milliseconds timeout)
{
    std::unique_lock<std::mutex> lock(FLock);
    FNews.wait_for(lock, timeout, [this] { return FNewsPending; });
    FNewsPending = false;
}

bool TResizePass::TileFinished(size_t tile)
{
    TTile& t = FTiles[tile];
    if (!t.Worker || !t.Worker->Finished()) {
        return false;
    }
    t.Worker->WaitFor();
    return true;
}

bool TResizePass::TileFailed(size_t tile) const
{
    const TTile& t = FTiles[tile];
    return t.Worker && t.Worker->Finished() && t.Worker->Error;
}

std::string TResizePass::TileErrorText(size_t tile) const
{
    const TTile& t = FTiles[tile];
    return t.Worker ? t.Worker->ErrorText : std::string();
}

bool TResizePass::WorkersEnded()
{
    for (TTile& t : FTiles) {
        if (t.Worker && !t.Worker->Finished()) {
            return false;
        }
    }
    return true;
}

void TResizePass::Stop()
{
    FFeed.Stop();
    FMerge.Stop();
    Notify();
}

void TResizePass::End()
{
    FFeed.Join();
    FMerge.Join();
    FFeed.Close();
}
