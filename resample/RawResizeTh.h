// The tile resize worker: shrinks one size-named RAW tile in memory on a thread of its own and
// writes the result beside it under a name that carries the new size.
#pragma once

#include <atomic>
#include <exception>
#include <string>
#include <thread>

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
    /// Runs Execute on a new thread. False when the thread could not be created (the worker
    /// then stays unstarted and Finished stays false). Call once.
    [[nodiscard]] bool Start();
    /// True once the thread body has returned; safe to poll from any thread.
    bool Finished() const { return FFinished.load(std::memory_order_acquire); }
    /// Blocks until a started worker has finished; returns at once when it was never started.
    void WaitFor();

    /// The thread body: names the thread, puts round-half-even in force, runs ResizeTile.
    void Execute();
    /// Loads, resizes and saves the tile on the calling thread; never throws. Sets OutFileName
    /// on success and Error on failure; a name without a size gives neither. The depth follows
    /// from the length: width × height × 3 bytes is 8-bit, × 6 is 16-bit (little-endian
    /// samples), and the result keeps it; any other length is a failure.
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

private:
    void NoteFailure(std::exception_ptr failure) noexcept;

    std::thread FThread;
    std::atomic<bool> FFinished { false };
};
