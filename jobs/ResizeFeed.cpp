// The input side of a streamed resize pass: a reading thread, a ring of lines and the tiles
// taking their parts of each line.
#include "jobs/ResizeFeed.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <new>
#include <system_error>

#include "engine/Formats.h"
#include "engine/IoSeam.h"
#include "engine/Repack.h"
#include "jobs/WorkerThread.h"

namespace {

// The ring holds about this many bytes of lines: enough for the tiles of a band to run apart by
// a few dozen lines, little beside what the workers hold.
constexpr size_t kRingBytes = size_t(8) << 20;
constexpr uint32_t kMinSlots = 8;
constexpr uint32_t kMaxSlots = 1024;
// A RAW input is read in pieces of about this size: few system calls, the piece going straight
// into the ring.
constexpr size_t kPieceBytes = size_t(1) << 20;

} // namespace

TLineFeed::~TLineFeed()
{
    Stop();
    Join();
    Close();
}

bool TLineFeed::Open(const TFileInfo& input, std::vector<TFeedBand> bands)
{
    Close();
    FInput = input;
    FInput.ScanLine = nullptr;
    FBands = std::move(bands);
    FStop = false;
    FFailed = false;
    FError = 0;
    FOutOfMemory = false;
    FLinesRead = 0;
    FHead = FTail = 0;
    const TFormat* format = FormatOf(input.ImageType);
    const unsigned sampleBytes = input.Bits == 16 ? 2 : 1;
    if (!format || (input.Channels != 3 && input.Channels != 4)
        || (input.Bits != 8 && input.Bits != 16) || input.Width == 0 || input.Width > kMaxImageSide
        || input.Height > kMaxImageSide) {
        FError = EINVAL;
        return false;
    }
    FLineBytes = size_t(input.Width) * input.Channels * sampleBytes;
    FRowBytes = size_t(input.Width) * 3 * sampleBytes;
    FInput.ScanLineSize = uint32_t(std::min<size_t>(FLineBytes, UINT32_MAX));
    FDirect = input.Channels == 3 && (sampleBytes == 1 || input.IsLsb);
    FByOffset = input.ImageType == FileType::RAW && FDirect;
    FByNumber = format->LinesByNumber;

    FFirstOfBand.clear();
    uint64_t sequence = 0;
    for (const TFeedBand& band : FBands) {
        FFirstOfBand.push_back(sequence);
        sequence += uint64_t(std::count_if(
            band.Needed.begin(), band.Needed.end(), [](uint8_t n) { return n != 0; }));
    }
    FSlots = uint32_t(std::clamp<size_t>(kRingBytes / FRowBytes, kMinSlots, kMaxSlots));
    FPieceLines = uint32_t(std::clamp<size_t>(kPieceBytes / FRowBytes, 1, FSlots / 4));
    try {
        FRing.assign(size_t(FSlots) * FRowBytes, 0);
        FSlotLine.assign(FSlots, 0);
        FSlotTakers.assign(FSlots, 0);
        // A line to repack, or to read past in a sequential input.
        const bool sequential = !FByOffset && !FByNumber;
        FScratch.assign(FDirect && !sequential ? 0 : FLineBytes, 0);
    } catch (const std::bad_alloc&) {
        FOutOfMemory = true;
    } catch (const std::length_error&) {
        FOutOfMemory = true;
    }
    if (FOutOfMemory) {
        Close();
        return false;
    }

    if (FByOffset) {
        FFd = IoSeam().Open(input.FileName.c_str(), O_RDONLY | O_CLOEXEC, 0);
        if (FFd < 0) {
            FError = errno != 0 ? errno : EIO;
            Close();
            return false;
        }
#if defined(POSIX_FADV_SEQUENTIAL)
        // Read front to back: let the kernel read far ahead.
        (void)::posix_fadvise(FFd, 0, 0, POSIX_FADV_SEQUENTIAL);
#endif
        return true;
    }
    FReader = format->MakeReader();
    bool opened = false;
    try {
        opened = FReader->Open(FInput);
    } catch (const std::bad_alloc&) {
        FOutOfMemory = true;
    } catch (const std::length_error&) {
        FOutOfMemory = true;
    }
    if (!opened) {
        FError = FReader->Error();
        Close();
        return false;
    }
    return true;
}

bool TLineFeed::Start()
{
    return StartStageThread(FThread, [this] { Run(); });
}

void TLineFeed::Stop()
{
    {
        std::lock_guard<std::mutex> lock(FLock);
        FStop = true;
    }
    FLineIn.notify_all();
    FSlotFree.notify_all();
}

void TLineFeed::Join()
{
    JoinStageThread(FThread);
}

void TLineFeed::Close()
{
    if (FReader) {
        FReader->Close();
        FReader.reset();
    }
    if (FFd >= 0) {
        // Nothing was written: a failed close of an input loses nothing.
        (void)IoSeam().Close(FFd);
        FFd = -1;
    }
    FRing.clear();
    FRing.shrink_to_fit();
    FScratch.clear();
    FScratch.shrink_to_fit();
}

void TLineFeed::Fail(int code)
{
    {
        std::lock_guard<std::mutex> lock(FLock);
        if (!FFailed) {
            FError = code != 0 ? code : EIO;
            FFailed = true;
        }
    }
    FLineIn.notify_all();
}

bool TLineFeed::Take(uint64_t sequence, uint32_t y, size_t offset, size_t count, uint8_t* row)
{
    std::unique_lock<std::mutex> lock(FLock);
    if (!(FStop || FFailed || sequence < FTail)) {
        ++FTakersWaiting;
        FLineIn.wait(lock, [&] { return FStop || FFailed || sequence < FTail; });
        --FTakersWaiting;
    }
    if (FStop || sequence >= FTail || sequence < FHead) {
        return false;
    }
    const uint32_t slot = uint32_t(sequence % FSlots);
    if (FSlotLine[slot] != y || FSlotTakers[slot] == 0 || offset + count > FRowBytes) {
        return false;
    }
    // The slot stays until its last taker is done: the copy needs no lock.
    lock.unlock();
    std::memcpy(row, FRing.data() + size_t(slot) * FRowBytes + offset, count);
    lock.lock();
    if (--FSlotTakers[slot] == 0 && sequence == FHead) {
        while (FHead < FTail && FSlotTakers[FHead % FSlots] == 0) {
            ++FHead;
        }
        // The reader is woken once enough is free for a good piece of work, not for each line.
        if (FReaderWaiting && FSlots - (FTail - FHead) >= FReaderWants) {
            FReaderWaiting = false;
            lock.unlock();
            FSlotFree.notify_one();
        }
    }
    return true;
}

bool TLineFeed::WaitForSlots(uint32_t count)
{
    std::unique_lock<std::mutex> lock(FLock);
    if (FTail + count - FHead <= FSlots) {
        return !FStop;
    }
    FReaderWants = std::max(count, FSlots / 4);
    while (!FStop && FSlots - (FTail - FHead) < FReaderWants) {
        FReaderWaiting = true;
        FSlotFree.wait(lock);
    }
    FReaderWaiting = false;
    return !FStop;
}

bool TLineFeed::SkipLine(uint32_t y)
{
    const int32_t got = FReader->ReadLine(int32_t(y), FScratch.data());
    if (got < 0 || size_t(got) != FLineBytes || FReader->Error() != 0) {
        Fail(FReader->Error());
        return false;
    }
    return true;
}

bool TLineFeed::ReadLines(uint32_t y, uint32_t count, uint8_t* slot)
{
    if (FByOffset) {
        const size_t bytes = size_t(count) * FRowBytes;
        size_t done = 0;
        const int64_t at = int64_t(y) * int64_t(FRowBytes);
        while (done < bytes) {
            const ssize_t n = IoSeam().PRead(FFd, slot + done, bytes - done, at + int64_t(done));
            if (n < 0 && errno == EINTR) {
                continue;
            }
            if (n <= 0) {
                Fail(n < 0 ? errno : EIO);
                return false;
            }
            done += size_t(n);
        }
        return true;
    }
    for (uint32_t i = 0; i < count; ++i) {
        uint8_t* target = FDirect ? slot + size_t(i) * FRowBytes : FScratch.data();
        const int32_t got = FReader->ReadLine(int32_t(y + i), target);
        if (got < 0 || size_t(got) != FLineBytes || FReader->Error() != 0) {
            Fail(FReader->Error());
            return false;
        }
        if (!FDirect) {
            TFileInfo from = FInput;
            from.ScanLine = FScratch.data();
            TFileInfo to = FInput;
            to.Channels = 3;
            to.IsLsb = true;
            to.ScanLine = slot + size_t(i) * FRowBytes;
            RepackLine(from, 0, to, 0, FInput.Width);
        }
    }
    return true;
}

void TLineFeed::Run()
{
    for (const TFeedBand& band : FBands) {
        const uint32_t lines = uint32_t(band.Needed.size());
        uint32_t i = 0;
        while (i < lines) {
            if (FStop) {
                return;
            }
            const uint32_t y = band.Top + i;
            if (!band.Needed[i]) {
                // A line no tile takes: a sequential input reads past it, the others skip it.
                if (!FByNumber && !FByOffset && !SkipLine(y)) {
                    return;
                }
                ++i;
                FLinesRead.fetch_add(1, std::memory_order_relaxed);
                continue;
            }
            // Consecutive needed lines go into consecutive slots in one read where the input
            // allows it (a RAW file), up to a piece and the end of the ring.
            uint32_t count = 1;
            if (FByOffset) {
                const uint32_t untilWrap = FSlots - uint32_t(FTail % FSlots);
                const uint32_t most = std::min(FPieceLines, untilWrap);
                while (count < most && i + count < lines && band.Needed[i + count]) {
                    ++count;
                }
            }
            if (!WaitForSlots(count)) {
                return;
            }
            const uint32_t first = uint32_t(FTail % FSlots);
            if (!ReadLines(y, count, FRing.data() + size_t(first) * FRowBytes)) {
                return;
            }
            bool wake = false;
            {
                std::lock_guard<std::mutex> lock(FLock);
                for (uint32_t k = 0; k < count; ++k) {
                    FSlotLine[first + k] = y + k;
                    FSlotTakers[first + k] = band.Takers;
                }
                FTail += count;
                wake = FTakersWaiting > 0;
            }
            if (wake) {
                FLineIn.notify_all();
            }
            i += count;
            FLinesRead.fetch_add(count, std::memory_order_relaxed);
        }
    }
}
