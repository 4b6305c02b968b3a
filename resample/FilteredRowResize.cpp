// Filtered resizing of a tile that arrives row by row: a ring of the source rows under the
// vertical kernel, destination rows computed by the pushing thread and by helper threads as soon
// as their source rows are in, and handed on in order.
#include <condition_variable>
#include <cstring>
#include <mutex>
#include <system_error>
#include <thread>
#include <vector>

#include "resample/PixelMath.h"
#include "resample/ResampleKernels.h"
#include "resample/ResampleTexts.h"
#include "resample/RowResamplerImpl.h"

namespace {

void FilterOf(TResizeFilter filter, TFilterKernel& kernel, float& radius)
{
    switch (filter) {
    case rfBilinear:
        kernel = LinearKernel;
        radius = 1.0f;
        return;
    case rfBicubic:
        kernel = CatmullRomKernel;
        radius = 2.0f;
        return;
    case rfLanczos:
    default:
        kernel = LanczosKernel;
        radius = 3.0f;
        return;
    }
}

template <typename TVector> int64_t BytesOf(const TVector& v)
{
    return int64_t(v.capacity() * sizeof(typename TVector::value_type));
}

// Source row y lives in ring slot y mod Capacity while a destination row in work may still
// need it. Destination row y is computed into output slot y mod OutSlots and handed on once
// the rows before it are.
//
// Only the pushing thread writes the ring and calls the sink; the lock guards the counters.
// Pushing row y waits until its slot is free: no destination row from the oldest one not yet
// handed on needs a row below y − Capacity + 1. The capacity covers the source rows of the
// destination rows that may be in work at once, so the oldest row can always be computed and
// the wait always ends.
template <typename TSample> class TFilteredRows final : public TRowResampler::TImpl {
public:
    TFilteredRows(const TRowResizeSpec& setup, TRowSink sink);
    ~TFilteredRows() override { Stop(); }

    bool RowNeeded(int32_t y) const override { return FNeeded[size_t(y)] != 0; }
    uint8_t* Slot(int32_t y) override;
    void Take(int32_t y, const uint8_t* row) override;
    void Stop() override;

private:
    struct TScratch {
        std::vector<const TSample*> Rows;
        std::vector<float> Line, Out;
    };

    TSample* RingRow(int32_t y) { return FRing.data() + size_t(y % FCapacity) * FRowSamples; }
    bool SlotFree(int32_t y) const;
    bool Claimable(int32_t y) const;
    void Compute(int32_t y, TScratch& scratch);
    void Helper(size_t index);
    // Hands on finished rows and computes claimable ones on this thread until finished()
    // holds, waiting for the helpers when neither is possible.
    template <typename TFinished> void Work(std::unique_lock<std::mutex>& lock, TFinished finished);
    // Hands on the finished rows that are next in order.
    void HandOn(std::unique_lock<std::mutex>& lock);
    // Wakes a waiting helper when there is a row for it.
    void WakeHelper();

    const TResampleKernels& FKernels;
    TRowTaps FTaps;
    TColumnTable FColumns;
    int32_t FLowX = 0;
    size_t FLineCount = 0; // floats of the vertical pass's line
    size_t FOutCount = 0; // samples of a destination row
    size_t FRowSamples = 0; // samples of a source row
    // Per destination row: the lowest source row it or any later row needs, and the highest
    // source row it or any earlier row needs.
    std::vector<int32_t> FFirstNeeded, FLastNeeded;
    std::vector<uint8_t> FNeeded; // per source row
    int32_t FCapacity = 1;
    int32_t FOutSlots = 1;
    std::vector<TSample> FRing, FOut;
    std::vector<uint8_t> FDone;
    std::vector<TScratch> FScratch;
    std::vector<std::thread> FHelpers;

    std::mutex FLock;
    std::condition_variable FWorkReady, FRowDone;
    int32_t FIdleHelpers = 0; // helpers waiting for a claimable row
    bool FPusherWaiting = false;
    int32_t FPushed = 0; // source rows in
    int32_t FNextClaim = 0; // next destination row to compute
    int32_t FHandedOn = 0; // destination rows handed on, under the lock
    bool FStop = false;
};

template <typename TSample>
TFilteredRows<TSample>::TFilteredRows(const TRowResizeSpec& setup, TRowSink sink)
    : TImpl(setup, std::move(sink))
    , FKernels(SelectedKernels())
{
    TRoundToNearestScope rounding;
    TFilterKernel kernel = LanczosKernel;
    float radius = 3.0f;
    FilterOf(setup.Filter, kernel, radius);
    const TMappingTable columns = BuildClusters(setup.NewWidth, setup.Width, kernel, radius);
    const TMappingTable rows = BuildClusters(setup.NewHeight, setup.Height, kernel, radius);
    int32_t highX = 0;
    ClusterRange(columns, FLowX, highX);
    FColumns = FlattenColumns(columns, FLowX);
    FTaps = FlattenRows(rows);
    FLineCount = size_t(highX - FLowX + 1) * kLineChannels;
    FOutCount = size_t(setup.NewWidth) * kLineChannels;
    FRowSamples = size_t(setup.Width) * kLineChannels;

    const size_t count = rows.size();
    FFirstNeeded.resize(count);
    FLastNeeded.resize(count);
    FNeeded.assign(size_t(setup.Height), 0);
    size_t maxTaps = 0;
    for (size_t y = 0; y < count; ++y) {
        int32_t low = rows[y].front().Pos, high = low;
        for (const TPointRec& p : rows[y]) {
            low = std::min(low, p.Pos);
            high = std::max(high, p.Pos);
            FNeeded[size_t(p.Pos)] = 1;
        }
        FFirstNeeded[y] = low;
        FLastNeeded[y] = y > 0 ? std::max(FLastNeeded[y - 1], high) : high;
        maxTaps = std::max(maxTaps, rows[y].size());
    }
    for (size_t y = count - 1; y-- > 0;)
        FFirstNeeded[y] = std::min(FFirstNeeded[y], FFirstNeeded[y + 1]);

    // One thread holds the rows of one destination row. More threads hold those of twice as
    // many rows as threads, so that the pushing thread can bring rows in while the others
    // compute.
    const unsigned threads = RowThreadCount(setup.Threads, setup.NewHeight);
    const int32_t inWork = threads == 1 ? 1 : int32_t(2 * threads);
    for (size_t y = 0; y < count; ++y) {
        const size_t last = std::min(count - 1, y + size_t(inWork) - 1);
        FCapacity = std::max(FCapacity, FLastNeeded[last] - FFirstNeeded[y] + 1);
    }
    FCapacity = std::min(FCapacity, setup.Height);
    FOutSlots = inWork;

    FRing.resize(size_t(FCapacity) * FRowSamples);
    FOut.resize(size_t(FOutSlots) * FOutCount);
    FDone.assign(size_t(FOutSlots), 0);
    FScratch.resize(threads);
    for (TScratch& s : FScratch) {
        s.Rows.resize(maxTaps);
        // One float of padding after the line and the row: pixels are read and written four
        // floats at a time.
        s.Line.resize(FLineCount + 1, 0.0f);
        s.Out.resize(FOutCount + 1, 0.0f);
        Peak.Bytes += BytesOf(s.Rows) + BytesOf(s.Line) + BytesOf(s.Out);
    }
    Peak.Bytes += BytesOf(FRing) + BytesOf(FOut) + BytesOf(FTaps.Start) + BytesOf(FTaps.Pos)
        + BytesOf(FTaps.Weight) + BytesOf(FColumns.Offset) + BytesOf(FColumns.Weight)
        + BytesOf(FColumns.PairWeight) + BytesOf(FColumns.First) + BytesOf(FColumns.Consecutive)
        + BytesOf(FFirstNeeded) + BytesOf(FLastNeeded) + BytesOf(FNeeded);

    for (size_t i = 1; i < threads; ++i) {
        try {
            FHelpers.emplace_back([this, i] { Helper(i); });
        } catch (const std::system_error&) {
            break; // the threads that started (and the pushing one) do the work
        }
    }
}

template <typename TSample> bool TFilteredRows<TSample>::SlotFree(int32_t y) const
{
    if (FHandedOn >= Setup.NewHeight)
        return true;
    return y < FFirstNeeded[size_t(FHandedOn)] + FCapacity;
}

template <typename TSample> bool TFilteredRows<TSample>::Claimable(int32_t y) const
{
    return y < Setup.NewHeight && FLastNeeded[size_t(y)] < FPushed && y < FHandedOn + FOutSlots;
}

template <typename TSample> void TFilteredRows<TSample>::Compute(int32_t y, TScratch& scratch)
{
    const size_t first = FTaps.Start[size_t(y)];
    const size_t count = FTaps.Start[size_t(y) + 1] - first;
    const size_t offset = size_t(FLowX) * kLineChannels;
    for (size_t k = 0; k < count; ++k)
        scratch.Rows[k] = RingRow(FTaps.Pos[first + k]) + offset;
    RunVertical(FKernels, scratch.Rows.data(), FTaps.Weight.data() + first, count, FLineCount,
        scratch.Line.data());
    FKernels.Horizontal(scratch.Line.data(), FColumns, Setup.NewWidth, scratch.Out.data());
    RunStoreRow(
        FKernels, scratch.Out.data(), FOutCount, FOut.data() + size_t(y % FOutSlots) * FOutCount);
}

template <typename TSample> void TFilteredRows<TSample>::WakeHelper()
{
    if (FIdleHelpers > 0 && Claimable(FNextClaim))
        FWorkReady.notify_one();
}

template <typename TSample> void TFilteredRows<TSample>::Helper(size_t index)
{
    TRoundToNearestScope rounding;
    std::unique_lock<std::mutex> lock(FLock);
    for (;;) {
        ++FIdleHelpers;
        FWorkReady.wait(lock, [&] { return FStop || Claimable(FNextClaim); });
        --FIdleHelpers;
        if (FStop)
            return;
        const int32_t y = FNextClaim++;
        Peak.DestinationRows = std::max(Peak.DestinationRows, FNextClaim - FHandedOn);
        // Another row may be ready too: let the next idle helper take it.
        WakeHelper();
        lock.unlock();
        Compute(y, FScratch[index]);
        lock.lock();
        FDone[size_t(y % FOutSlots)] = 1;
        if (FPusherWaiting)
            FRowDone.notify_one();
    }
}

template <typename TSample> void TFilteredRows<TSample>::HandOn(std::unique_lock<std::mutex>& lock)
{
    while (FHandedOn < Setup.NewHeight && FDone[size_t(FHandedOn % FOutSlots)]) {
        const int32_t y = FHandedOn;
        const TSample* row = FOut.data() + size_t(y % FOutSlots) * FOutCount;
        lock.unlock();
        Deliver(y, reinterpret_cast<const uint8_t*>(row));
        lock.lock();
        FDone[size_t(y % FOutSlots)] = 0;
        ++FHandedOn;
        WakeHelper(); // its output slot is free again
    }
}

template <typename TSample>
template <typename TFinished>
void TFilteredRows<TSample>::Work(std::unique_lock<std::mutex>& lock, TFinished finished)
{
    for (;;) {
        HandOn(lock);
        if (finished())
            return;
        if (Claimable(FNextClaim)) {
            const int32_t y = FNextClaim++;
            Peak.DestinationRows = std::max(Peak.DestinationRows, FNextClaim - FHandedOn);
            lock.unlock();
            Compute(y, FScratch[0]);
            lock.lock();
            FDone[size_t(y % FOutSlots)] = 1;
            continue;
        }
        FPusherWaiting = true;
        FRowDone.wait(lock);
        FPusherWaiting = false;
    }
}

// The pushing thread computes only when it has to wait anyway: when the ring is full or the
// last row is in. Until then it brings rows in while the helpers compute, so that reading the
// tile and resizing it overlap.
template <typename TSample> uint8_t* TFilteredRows<TSample>::Slot(int32_t y)
{
    TRoundToNearestScope rounding;
    std::unique_lock<std::mutex> lock(FLock);
    Work(lock, [&] { return SlotFree(y); });
    return reinterpret_cast<uint8_t*>(RingRow(y));
}

template <typename TSample> void TFilteredRows<TSample>::Take(int32_t y, const uint8_t* row)
{
    TRoundToNearestScope rounding;
    if (row && row != reinterpret_cast<const uint8_t*>(RingRow(y)))
        std::memcpy(Slot(y), row, FRowSamples * sizeof(TSample));
    std::unique_lock<std::mutex> lock(FLock);
    FPushed = y + 1;
    if (FHandedOn < Setup.NewHeight) {
        const int32_t oldest = std::min(FFirstNeeded[size_t(FHandedOn)], FPushed);
        Peak.SourceRows = std::max(Peak.SourceRows, std::min(FPushed - oldest, FCapacity));
    }
    WakeHelper();
    HandOn(lock);
    if (y == Setup.Height - 1)
        Work(lock, [&] { return FHandedOn == Setup.NewHeight; });
}

template <typename TSample> void TFilteredRows<TSample>::Stop()
{
    {
        std::lock_guard<std::mutex> lock(FLock);
        FStop = true;
    }
    FWorkReady.notify_all();
    for (std::thread& t : FHelpers)
        t.join();
    FHelpers.clear();
}

} // namespace

std::unique_ptr<TRowResampler::TImpl> MakeFilteredRows(const TRowResizeSpec& setup, TRowSink sink)
{
    if (GetFormatInfo(setup.Format)->BytesPerPixel == 6)
        return std::make_unique<TFilteredRows<uint16_t>>(setup, std::move(sink));
    return std::make_unique<TFilteredRows<uint8_t>>(setup, std::move(sink));
}
