// Strip encoding through libtiff's codecs in in-memory TIFFs, one per worker, with the strips
// handed out in order on the pushing thread.
#include "engine/TiffStripEncoder.h"

#include <algorithm>
#include <condition_variable>
#include <cstring>
#include <deque>
#include <mutex>
#include <new>
#include <stdexcept>
#include <system_error>
#include <thread>
#include <vector>

#include <tiffio.h>

#include "engine/TavmorManager.h"

uint32_t TStripFormat::StripRows() const
{
    return std::max<uint32_t>(1, std::min(RowsPerStrip, Height));
}

uint32_t TStripFormat::StripCount() const
{
    const uint32_t rows = StripRows();
    return Height / rows + (Height % rows != 0 ? 1 : 0);
}

namespace {

/// The bytes of an in-memory TIFF.
struct TMemoryFile {
    std::vector<uint8_t> Bytes;
    uint64_t Pos = 0;
    bool FailWrites = false; ///< every write fails (a fault a test asks for)
};

TMemoryFile& FileOf(thandle_t h)
{
    return *static_cast<TMemoryFile*>(h);
}

tmsize_t MemoryRead(thandle_t h, void* buffer, tmsize_t size)
{
    auto& f = FileOf(h);
    const uint64_t left = f.Pos < f.Bytes.size() ? f.Bytes.size() - f.Pos : 0;
    const auto count = static_cast<size_t>(std::min<uint64_t>(left, uint64_t(size)));
    if (count > 0) {
        std::memcpy(buffer, f.Bytes.data() + f.Pos, count);
    }
    f.Pos += count;
    return static_cast<tmsize_t>(count);
}

tmsize_t MemoryWrite(thandle_t h, void* buffer, tmsize_t size)
{
    auto& f = FileOf(h);
    if (f.FailWrites) {
        return 0;
    }
    const auto count = static_cast<size_t>(size);
    if (f.Pos + count > f.Bytes.size()) {
        f.Bytes.resize(static_cast<size_t>(f.Pos + count));
    }
    std::memcpy(f.Bytes.data() + f.Pos, buffer, count);
    f.Pos += count;
    return size;
}

toff_t MemorySeek(thandle_t h, toff_t offset, int whence)
{
    auto& f = FileOf(h);
    const uint64_t base = whence == SEEK_SET ? 0 : whence == SEEK_CUR ? f.Pos : f.Bytes.size();
    f.Pos = base + uint64_t(offset);
    return static_cast<toff_t>(f.Pos);
}

int MemoryClose(thandle_t)
{
    return 0;
}

toff_t MemorySize(thandle_t h)
{
    return static_cast<toff_t>(FileOf(h).Bytes.size());
}

int MemoryMap(thandle_t, void**, toff_t*)
{
    return 0;
}

void MemoryUnmap(thandle_t, void*, toff_t) { }

/// One in-memory TIFF whose only strip is rewritten for every strip it encodes: the strip's
/// bytes are what libtiff's codec made of it, exactly as it would write them into a file.
class TStripCodec {
public:
    ~TStripCodec() { Close(); }

    /// Opens the TIFF for strips of rows rows; false when libtiff refuses a tag.
    bool Open(const TStripFormat& format, uint32_t rows)
    {
        Close();
        FFormat = format;
        FRows = rows;
        FFile = {};
        FTif = TIFFClientOpen("strip", "wm", &FFile, MemoryRead, MemoryWrite, MemorySeek,
            MemoryClose, MemorySize, MemoryMap, MemoryUnmap);
        if (!FTif) {
            return false;
        }
        bool ok = TIFFSetField(FTif, TIFFTAG_IMAGEWIDTH, format.Width) == 1
            && TIFFSetField(FTif, TIFFTAG_IMAGELENGTH, rows) == 1
            && TIFFSetField(FTif, TIFFTAG_BITSPERSAMPLE, unsigned(format.Bits)) == 1
            && TIFFSetField(FTif, TIFFTAG_SAMPLESPERPIXEL, unsigned(format.Samples)) == 1
            && TIFFSetField(FTif, TIFFTAG_ROWSPERSTRIP, rows) == 1
            && TIFFSetField(FTif, TIFFTAG_COMPRESSION, unsigned(format.Compression)) == 1
            && TIFFSetField(FTif, TIFFTAG_PLANARCONFIG, unsigned(PLANARCONFIG_CONTIG)) == 1
            && TIFFSetField(FTif, TIFFTAG_PHOTOMETRIC, unsigned(PHOTOMETRIC_RGB)) == 1;
        if (ok && format.Predictor) {
            ok = TIFFSetField(FTif, TIFFTAG_PREDICTOR, unsigned(PREDICTOR_HORIZONTAL)) == 1;
        }
        if (ok && format.Level != 0) {
            const uint32_t tag = format.Compression == TTiffCompression::Zstd ? TIFFTAG_ZSTD_LEVEL
                                                                              : TIFFTAG_ZIPQUALITY;
            ok = TIFFSetField(FTif, tag, format.Level) == 1;
        }
        if (ok && format.Samples == 4) {
            const uint16_t kinds[] = { EXTRASAMPLE_UNASSALPHA };
            ok = TIFFSetField(FTif, TIFFTAG_EXTRASAMPLES, 1, kinds) == 1;
        }
        if (!ok) {
            Close();
            return false;
        }
        FHeaderEnd = FFile.Bytes.size();
        return true;
    }

    /// Encodes one strip of rows rows (raw holds rows x LineBytes bytes) onto the end of out.
    /// Each strip
    /// starts on a file cut back to its header, so the memory stays one strip. False also when
    /// memory runs out: no exception leaves a worker.
    bool Encode(const uint8_t* raw, uint32_t rows, bool fail, std::vector<uint8_t>& out)
    {
        try {
            return EncodeStrip(raw, rows, fail, out);
        } catch (const std::bad_alloc&) {
            return false;
        } catch (const std::length_error&) {
            return false;
        }
    }

    void Close()
    {
        if (FTif) {
            FFile.FailWrites = true; // the directory libtiff writes at the end is not wanted
            TIFFClose(FTif);
            FTif = nullptr;
        }
    }

private:
    bool EncodeStrip(const uint8_t* raw, uint32_t rows, bool fail, std::vector<uint8_t>& out)
    {
        if (rows != FRows && !Open(FFormat, rows)) { // the last strip may be shorter
            return false;
        }
        FFile.Bytes.resize(static_cast<size_t>(FHeaderEnd));
        FFile.Pos = FHeaderEnd;
        FFile.FailWrites = fail;
        const auto size = static_cast<tmsize_t>(uint64_t(rows) * FFormat.LineBytes());
        // libtiff works on a copy when it applies the predictor; the buffer stays as it was.
        if (TIFFWriteEncodedStrip(FTif, 0, const_cast<uint8_t*>(raw), size) != size) {
            return false;
        }
        const uint64_t offset = TIFFGetStrileOffset(FTif, 0);
        const uint64_t count = TIFFGetStrileByteCount(FTif, 0);
        if (offset + count > FFile.Bytes.size() || offset < FHeaderEnd) {
            return false;
        }
        const size_t at = out.size();
        out.resize(at + static_cast<size_t>(count));
        std::memcpy(out.data() + at, FFile.Bytes.data() + offset, static_cast<size_t>(count));
        return true;
    }

    TStripFormat FFormat;
    TMemoryFile FFile;
    TIFF* FTif = nullptr;
    uint32_t FRows = 0;
    uint64_t FHeaderEnd = 0;
};

enum class TSlotState : uint8_t { Free, Queued, Busy, Done, Failed };

/// One batch of consecutive strips on its way: their rows, then their encoded bytes.
struct TSlot {
    std::vector<uint8_t> Raw;
    std::vector<uint8_t> Encoded; ///< the strips' bytes one after the other
    std::vector<size_t> Ends; ///< where each strip's bytes end in Encoded
    uint32_t Batch = 0;
    TSlotState State = TSlotState::Free;
};

constexpr uint32_t kNoStrip = UINT32_MAX;

} // namespace

struct TParallelStripEncoder::TState {
    TStripFormat Format;
    TStripSink Sink;
    bool Started = false;
    bool Inline = false; ///< encoded on the pushing thread
    uint64_t LineBytes = 0;
    uint32_t StripRows = 1;
    uint32_t StripCount = 0;
    uint32_t BatchStrips = 1;
    uint32_t BatchCount = 0;
    uint32_t FailStrip = kNoStrip;

    std::vector<std::unique_ptr<TStripCodec>> Codecs; ///< one per worker, or one inline
    std::vector<std::thread> Workers;
    std::vector<TSlot> Slots;

    // Pushing thread only.
    uint32_t RowsPushed = 0;
    uint32_t FillBatch = 0; ///< the batch whose rows are being gathered
    uint32_t FillRows = 0; ///< rows of it gathered so far
    uint32_t NextDeliver = 0; ///< the next batch the sink gets

    // Shared with the workers, under Mutex.
    std::mutex Mutex;
    std::condition_variable WorkReady;
    std::condition_variable BatchDone;
    std::deque<size_t> Queue; ///< slots waiting for a worker, in batch order
    bool Stop = false;
    bool Failed = false;

    uint32_t FirstStripOf(uint32_t batch) const { return batch * BatchStrips; }
    uint32_t StripsOf(uint32_t batch) const
    {
        return std::min(BatchStrips, StripCount - FirstStripOf(batch));
    }
    uint32_t RowsOfStrip(uint32_t strip) const
    {
        return std::min(StripRows, Format.Height - strip * StripRows);
    }
    uint32_t RowsOfBatch(uint32_t batch) const
    {
        const uint64_t top = uint64_t(FirstStripOf(batch)) * StripRows;
        return static_cast<uint32_t>(
            std::min<uint64_t>(uint64_t(BatchStrips) * StripRows, Format.Height - top));
    }
    TSlot& SlotOf(uint32_t batch) { return Slots[batch % Slots.size()]; }

    /// Encodes every strip of the slot's batch; any thread, one slot per thread at a time.
    bool EncodeBatch(TStripCodec& codec, TSlot& slot) const
    {
        slot.Encoded.clear();
        slot.Ends.clear();
        const uint32_t first = FirstStripOf(slot.Batch);
        const uint8_t* raw = slot.Raw.data();
        for (uint32_t i = 0; i < StripsOf(slot.Batch); ++i) {
            const uint32_t rows = RowsOfStrip(first + i);
            if (!codec.Encode(raw, rows, first + i == FailStrip, slot.Encoded)) {
                return false;
            }
            slot.Ends.push_back(slot.Encoded.size());
            raw += uint64_t(rows) * LineBytes;
        }
        return true;
    }

    /// Hands the strips of a finished slot to the sink, in order.
    bool SinkBatch(const TSlot& slot)
    {
        const uint32_t first = FirstStripOf(slot.Batch);
        size_t begin = 0;
        for (uint32_t i = 0; i < StripsOf(slot.Batch); ++i) {
            if (Codecs.empty()) { // uncompressed: the rows are the strip
                const uint64_t size = uint64_t(RowsOfStrip(first + i)) * LineBytes;
                if (first + i == FailStrip || !Sink(first + i, slot.Raw.data() + begin, size)) {
                    return false;
                }
                begin += static_cast<size_t>(size);
                continue;
            }
            const size_t end = slot.Ends[i];
            if (!Sink(first + i, slot.Encoded.data() + begin, end - begin)) {
                return false;
            }
            begin = end;
        }
        return true;
    }

    void WorkerLoop(TStripCodec& codec)
    {
        std::unique_lock<std::mutex> lock(Mutex);
        for (;;) {
            WorkReady.wait(lock, [this] { return Stop || Failed || !Queue.empty(); });
            if (Stop || Failed) {
                return;
            }
            TSlot& slot = Slots[Queue.front()];
            Queue.pop_front();
            slot.State = TSlotState::Busy;
            lock.unlock();
            const bool ok = EncodeBatch(codec, slot);
            lock.lock();
            slot.State = ok ? TSlotState::Done : TSlotState::Failed;
            if (!ok) {
                Failed = true;
                WorkReady.notify_all();
            }
            BatchDone.notify_all();
        }
    }

    /// Hands the next batch to the sink, waiting for its worker when wait is set; false when
    /// it is not ready (without wait) or anything failed.
    bool DeliverNext(bool wait)
    {
        TSlot& slot = SlotOf(NextDeliver);
        {
            std::unique_lock<std::mutex> lock(Mutex);
            if (wait) {
                BatchDone.wait(lock, [&] { return Failed || slot.State == TSlotState::Done; });
            }
            if (Failed || slot.State != TSlotState::Done) {
                return false;
            }
        }
        // The slot is Done: no worker touches it until this thread queues it again.
        const bool ok = SinkBatch(slot);
        std::lock_guard<std::mutex> lock(Mutex);
        if (!ok) {
            Failed = true;
            WorkReady.notify_all();
            return false;
        }
        slot.State = TSlotState::Free;
        ++NextDeliver;
        return true;
    }

    bool HasFailed()
    {
        std::lock_guard<std::mutex> lock(Mutex);
        return Failed;
    }

    /// The batch being gathered is complete: encode it here, or queue it for the workers and
    /// deliver what is ready, waiting when the next slot is still in use.
    bool Submit()
    {
        TSlot& slot = SlotOf(FillBatch);
        slot.Batch = FillBatch;
        ++FillBatch;
        FillRows = 0;
        if (Inline) {
            const bool ok =
                (Codecs.empty() || EncodeBatch(*Codecs.front(), slot)) && SinkBatch(slot);
            NextDeliver = FillBatch;
            if (!ok) {
                std::lock_guard<std::mutex> lock(Mutex);
                Failed = true;
            }
            return ok;
        }
        {
            std::lock_guard<std::mutex> lock(Mutex);
            if (Failed) {
                return false;
            }
            slot.State = TSlotState::Queued;
            Queue.push_back(static_cast<size_t>(&slot - Slots.data()));
        }
        WorkReady.notify_one();
        while (NextDeliver < FillBatch && DeliverNext(false)) { }
        // The slot of the next batch must be free before its rows can be gathered.
        while (FillBatch < BatchCount && NextDeliver + Slots.size() <= FillBatch) {
            if (!DeliverNext(true)) {
                return false;
            }
        }
        return !HasFailed();
    }

    void StopWorkers()
    {
        {
            std::lock_guard<std::mutex> lock(Mutex);
            Stop = true;
        }
        WorkReady.notify_all();
        for (auto& worker : Workers) {
            worker.join();
        }
        Workers.clear();
        Queue.clear();
    }
};

TParallelStripEncoder::TParallelStripEncoder()
    : F(std::make_unique<TState>())
{
}

TParallelStripEncoder::~TParallelStripEncoder()
{
    Abandon();
}

bool TParallelStripEncoder::Start(const TStripFormat& format, uint32_t threads, TStripSink sink)
{
    try {
        if (StartEncoding(format, threads, std::move(sink))) {
            return true;
        }
    } catch (const std::bad_alloc&) {
    } catch (const std::length_error&) {
    } catch (const std::system_error&) { // a thread that could not be started
    }
    Abandon();
    F = std::make_unique<TState>();
    return false;
}

bool TParallelStripEncoder::StartEncoding(
    const TStripFormat& format, uint32_t threads, TStripSink sink)
{
    Abandon();
    SilenceTiffLibrary(); // before any worker opens a handle
    F = std::make_unique<TState>();
    TState& s = *F;
    s.FailStrip = FFailStrip;
    if (format.Width == 0 || format.Height == 0 || (format.Bits != 8 && format.Bits != 16)
        || (format.Samples != 3 && format.Samples != 4) || !sink) {
        return false;
    }
    s.Format = format;
    s.Sink = std::move(sink);
    s.LineBytes = format.LineBytes();
    s.StripRows = format.StripRows();
    s.StripCount = format.StripCount();
    const uint64_t stripBytes = uint64_t(s.StripRows) * s.LineBytes;
    const bool compressed = format.Compression != TTiffCompression::None;
    const uint32_t wanted = compressed ? EncodingThreads(threads) : 0;
    // Batches feed the encoding threads; without them strips go out one by one, so that a split
    // with a hundred tiles open holds a strip of each, not a batch.
    s.BatchStrips = wanted > 1 ? static_cast<uint32_t>(std::clamp<uint64_t>(
                        FBatchBytes / std::max<uint64_t>(stripBytes, 1), 1, s.StripCount))
                               : 1;
    s.BatchCount = s.StripCount / s.BatchStrips + (s.StripCount % s.BatchStrips != 0 ? 1 : 0);
    const uint32_t workers = std::min(wanted, s.BatchCount);
    s.Inline = workers <= 1;
    const uint32_t codecs = compressed ? std::max<uint32_t>(workers, 1) : 0;
    for (uint32_t i = 0; i < codecs; ++i) {
        auto codec = std::make_unique<TStripCodec>();
        if (!codec->Open(format, s.StripRows)) {
            return false;
        }
        s.Codecs.push_back(std::move(codec));
    }
    // Two batches per worker keep every worker busy while the sink writes; one more gathers.
    const size_t slots = s.Inline ? 1 : size_t(workers) * 2 + 1;
    s.Slots.resize(slots);
    for (auto& slot : s.Slots) {
        slot.Raw.resize(static_cast<size_t>(uint64_t(s.BatchStrips) * stripBytes));
    }
    s.Started = true; // from here on Abandon stops what runs
    if (!s.Inline) {
        for (auto& codec : s.Codecs) {
            s.Workers.emplace_back([&s, c = codec.get()] { s.WorkerLoop(*c); });
        }
    }
    return true;
}

bool TParallelStripEncoder::PushRow(const uint8_t* row)
{
    TState& s = *F;
    if (!s.Started || s.RowsPushed >= s.Format.Height || s.HasFailed()) {
        std::lock_guard<std::mutex> lock(s.Mutex);
        s.Failed = true;
        return false;
    }
    TSlot& slot = s.SlotOf(s.FillBatch);
    std::memcpy(
        slot.Raw.data() + size_t(s.FillRows) * s.LineBytes, row, static_cast<size_t>(s.LineBytes));
    ++s.FillRows;
    ++s.RowsPushed;
    if (s.FillRows == s.RowsOfBatch(s.FillBatch)) {
        return s.Submit();
    }
    return true;
}

bool TParallelStripEncoder::Finish()
{
    TState& s = *F;
    bool ok = s.Started && s.RowsPushed == s.Format.Height && !s.HasFailed();
    while (ok && s.NextDeliver < s.BatchCount) {
        ok = s.DeliverNext(true);
    }
    Abandon();
    return ok;
}

void TParallelStripEncoder::Abandon()
{
    if (!F->Started) {
        return;
    }
    F->StopWorkers();
    F->Codecs.clear();
    F->Slots.clear();
    F->Started = false;
}
