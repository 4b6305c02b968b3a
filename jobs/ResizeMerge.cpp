// The output side of a streamed resize pass: joining the tiles' rows and writing the lines.
#include "jobs/ResizeMerge.h"

#include <algorithm>
#include <cstring>
#include <new>
#include <system_error>

#include "engine/Repack.h"
#include "jobs/WorkerThread.h"

namespace {

// The ring of joined lines holds about this many bytes: the tiles of a band may run apart by
// some lines, and the writer takes lines in runs of a quarter of the ring (few system calls
// and few wake-ups).
constexpr size_t kRingBytes = size_t(8) << 20;
constexpr uint32_t kMinSlots = 8;
constexpr uint32_t kMaxSlots = 1024;

} // namespace

TOutputTarget::TOutputTarget(TImageOutput& output, uint32_t width, uint8_t bits)
    : FOutput(output)
{
    FRowInfo.Width = width;
    FRowInfo.Bits = bits;
    FRowInfo.Channels = 3;
    FRowInfo.BytesPerPixel = bits == 16 ? 6 : 3;
    FRowInfo.IsLsb = true;
    FRowBytes = size_t(width) * FRowInfo.BytesPerPixel;
}

bool TOutputTarget::WriteLines(uint32_t first, uint32_t count, const uint8_t* rows)
{
    for (uint32_t i = 0; i < count; ++i) {
        FRowInfo.ScanLine = const_cast<uint8_t*>(rows + size_t(i) * FRowBytes);
        RepackLine(FRowInfo, 0, FOutput.Info(), 0, FRowInfo.Width);
        if (!FOutput.WriteWholeLine(first + i)) {
            return false;
        }
    }
    return true;
}

TMergeWriter::~TMergeWriter()
{
    Stop();
    Join();
}

bool TMergeWriter::Open(
    TMergeTarget& target, uint32_t width, uint8_t bits, std::vector<TMergeBand> bands)
{
    FTarget = &target;
    FBands = std::move(bands);
    FStop = false;
    FFailed = false;
    FWritten = 0;
    FWriterWaiting = false;
    FPuttersWaiting = 0;
    FPixelBytes = bits == 16 ? 6 : 3;
    FRowBytes = size_t(width) * FPixelBytes;
    FFirstLine.clear();
    FLines = 0;
    for (const TMergeBand& band : FBands) {
        FFirstLine.push_back(FLines);
        FLines += band.Rows;
    }
    FSlots = uint32_t(
        std::clamp<size_t>(kRingBytes / std::max<size_t>(FRowBytes, 1), kMinSlots, kMaxSlots));
    FBatch = std::max<uint32_t>(1, FSlots / 4);
    try {
        FRing.assign(size_t(FSlots) * FRowBytes, 0);
        FPieces.assign(FSlots, 0);
        FWanted.assign(FSlots, 0);
    } catch (const std::bad_alloc&) {
        return false;
    } catch (const std::length_error&) {
        return false;
    }
    return true;
}

bool TMergeWriter::Start()
{
    return StartStageThread(FThread, [this] { Run(); });
}

void TMergeWriter::Stop()
{
    {
        std::lock_guard<std::mutex> lock(FLock);
        FStop = true;
    }
    FLineDone.notify_all();
    FSlotFree.notify_all();
}

void TMergeWriter::Join()
{
    JoinStageThread(FThread);
}

bool TMergeWriter::Complete(uint32_t line) const
{
    const uint32_t slot = line % FSlots;
    return FWanted[slot] != 0 && FPieces[slot] == FWanted[slot];
}

bool TMergeWriter::WorthWriting() const
{
    const uint32_t next = FWritten;
    if (next >= FLines || !Complete(next)) {
        return false;
    }
    // A batch ends at the ring's end, where a write must stop anyway, or at the last line.
    const uint32_t untilWrap = FSlots - next % FSlots;
    const uint32_t last = std::min({ next + FBatch, next + untilWrap, FLines }) - 1;
    return Complete(last);
}

bool TMergeWriter::Put(size_t band, size_t column, uint32_t y, const uint8_t* row)
{
    if (band >= FBands.size() || column >= FBands[band].Left.size() || y >= FBands[band].Rows) {
        return false;
    }
    const TMergeBand& b = FBands[band];
    const uint32_t line = FFirstLine[band] + y;
    std::unique_lock<std::mutex> lock(FLock);
    if (!(FStop || line < FWritten + FSlots)) {
        ++FPuttersWaiting;
        FSlotFree.wait(lock, [&] { return FStop || line < FWritten + FSlots; });
        --FPuttersWaiting;
    }
    if (FStop) {
        return false;
    }
    // The slot is this line's until it is written: the copy needs no lock.
    lock.unlock();
    std::memcpy(Slot(line) + size_t(b.Left[column]) * FPixelBytes, row,
        size_t(b.Width[column]) * FPixelBytes);
    lock.lock();
    const uint32_t slot = line % FSlots;
    FWanted[slot] = uint32_t(b.Left.size());
    ++FPieces[slot];
    if (FWriterWaiting && WorthWriting()) {
        FWriterWaiting = false;
        lock.unlock();
        FLineDone.notify_one();
    }
    return true;
}

void TMergeWriter::Run()
{
    while (FWritten < FLines) {
        const uint32_t first = FWritten;
        uint32_t count = 0;
        {
            std::unique_lock<std::mutex> lock(FLock);
            while (!FStop && !WorthWriting()) {
                FWriterWaiting = true;
                FLineDone.wait(lock);
            }
            FWriterWaiting = false;
            if (FStop) {
                return;
            }
            // Every complete line from the first on, up to the ring's end.
            const uint32_t untilWrap = FSlots - first % FSlots;
            while (count < untilWrap && first + count < FLines && Complete(first + count)) {
                ++count;
            }
        }
        // The lines are the writer's until it moves past them: no lock while writing.
        if (!FTarget->WriteLines(first, count, Slot(first))) {
            FFailed = true;
            Stop();
            return;
        }
        bool wake = false;
        {
            std::lock_guard<std::mutex> lock(FLock);
            for (uint32_t i = 0; i < count; ++i) {
                FPieces[(first + i) % FSlots] = 0;
                FWanted[(first + i) % FSlots] = 0;
            }
            FWritten = first + count;
            wake = FPuttersWaiting > 0;
        }
        if (wake) {
            FSlotFree.notify_all();
        }
    }
}
