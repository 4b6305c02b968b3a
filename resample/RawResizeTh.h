// The tile resize worker: shrinks one size-named RAW tile on a thread of its own and writes the
// result beside it under a name that carries the new size; or shrinks a tile that comes as rows
// and hands the result on as rows.
#pragma once

#include <atomic>
#include <exception>
#include <string>
#include <thread>

#include "resample/ImageData.h"
#include "resample/RowResampler.h"

/// One worker for exactly one tile. Life: construct (suspended), Init, Start, poll Finished,
/// read OutFileName and Error, destroy. The owner writes the fields only through Init before
/// Start and reads them only after Finished() returned true; no lock is needed because
/// Finished is released after the body's last write.
class TRawResize {
public:
    TRawResize() = default;
    TRawResize(const TRawResize&) = delete;
    TRawResize& operator=(const TRawResize&) = delete;
    /// Waits for a started worker to end its tile (a started worker always runs to the end).
    ~TRawResize();

    /// Sets the job up; owner's thread, before Start. fast selects nearest-neighbour, else
    /// Lanczos. aDivider divides both sides of the tile.
    void Init(const std::string& inFile, long double aDivider, bool fast);
    /// Sets the job up for a tile that comes as rows instead of a file: width × height pixels
    /// of the format, resized by aDivider as a tile file would be (the same rounding of each
    /// side, NewWidth × NewHeight). ResizeTile pulls the source rows it needs, in order, from
    /// source (RowNeeded of TRowResampler tells which) and hands every result row, in order,
    /// to sink, both on the worker's thread; nothing is read or written by name. Owner's
    /// thread, before Start.
    void InitRows(int32_t width, int32_t height, TImageFormat format, long double aDivider,
        bool fast, TRowSource source, TRowSink sink);
    /// Runs Execute on a new thread. False when the thread could not be created (the worker
    /// then stays unstarted and Finished stays false). Call once.
    [[nodiscard]] bool Start();
    /// True once the thread body has returned; safe to poll from any thread.
    bool Finished() const { return FFinished.load(std::memory_order_acquire); }
    /// Blocks until a started worker has finished; returns at once when it was never started.
    void WaitFor();

    /// The thread body: names the thread, puts round-half-even in force, runs ResizeTile.
    void Execute();
    /// Resizes the tile on the calling thread; never throws. File form: reads the tile row by
    /// row and writes the result row by row (holding only the rows under the kernel), sets
    /// OutFileName on success and Error on failure; a name without a size gives neither. The
    /// depth follows from the length: width × height × 3 bytes is 8-bit, × 6 is 16-bit
    /// (little-endian samples), and the result keeps it; any other length is a failure. A
    /// failure leaves no result file. Row form: Error on failure (a refusal of the source or
    /// the sink included), OutFileName stays empty.
    void ResizeTile();

    bool FastMethod = false;
    std::string SrcFileName;
    /// Full path of the result written; empty until written and when nothing was written.
    std::string OutFileName;
    long double Divider = 1.0L;
    /// True when loading, resizing or saving failed.
    bool Error = false;
    /// Why Error was set, for diagnostics only (never shown as a user text).
    std::string ErrorText;
    /// Threads the resampler may use inside this worker; 0 means every core.
    unsigned Threads = 0;
    /// The result's size, set by ResizeTile once known; 0 before.
    int32_t NewWidth = 0;
    int32_t NewHeight = 0;
    /// What the resize held at most (rows, bytes); set by ResizeTile.
    TRowResizeMemory Peak;
    /// File form only: load the whole tile, resize it with ScaleImage and save it, as the
    /// worker did before it streamed rows; the same bytes, for comparisons.
    bool WholeTile = false;

private:
    void NoteFailure(std::exception_ptr failure) noexcept;
    void ResizeRows();
    void ResizeFile(bool wholeTile);

    TImageFormat FFormat = ifUnknown;
    int32_t FWidth = 0;
    int32_t FHeight = 0;
    TRowSource FSource;
    TRowSink FSink;

    std::thread FThread;
    std::atomic<bool> FFinished { false };
};
