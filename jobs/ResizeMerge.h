// The output side of a streamed resize pass: the shrunk tiles of a band hand their rows over in
// memory, the rows are joined line by line, and one thread writes the joined lines in order into
// the pass's output (the next pass's intermediate or the job's output).
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <thread>
#include <vector>

#include "engine/ImageFiles.h"

/// Where joined lines go. Lines come with 3 samples per pixel, 16-bit samples least significant
/// byte first; the writing thread is the only caller while a pass runs.
class TMergeTarget {
public:
    virtual ~TMergeTarget() = default;
    /// Writes count lines from line first, lying one after another at rows. False at a failure.
    [[nodiscard]] virtual bool WriteLines(uint32_t first, uint32_t count, const uint8_t* rows) = 0;
};

/// An open output image as a target: each line converted to its layout and written.
class TOutputTarget final : public TMergeTarget {
public:
    /// output stays open and the caller's; rows of width pixels of bits per sample.
    TOutputTarget(TImageOutput& output, uint32_t width, uint8_t bits);
    [[nodiscard]] bool WriteLines(uint32_t first, uint32_t count, const uint8_t* rows) override;

private:
    TImageOutput& FOutput;
    TFileInfo FRowInfo;
    size_t FRowBytes = 0;
};

/// The shrunk tiles of one band: their rows and where each tile's rows start in a line.
struct TMergeBand {
    uint32_t Rows = 0;
    std::vector<uint32_t> Left; ///< per tile, its first pixel in the joined line
    std::vector<uint32_t> Width; ///< per tile
};

/// Joins rows of shrunk tiles into lines and writes them, in runs of consecutive lines, into a
/// target. Life: Open, Start, Put from the workers' threads, Join once every line is in (or
/// Stop), then the owner finishes or discards the target. Rows come with 3 samples per pixel,
/// 16-bit samples least significant byte first.
class TMergeWriter {
public:
    TMergeWriter() = default;
    ~TMergeWriter();
    TMergeWriter(const TMergeWriter&) = delete;
    TMergeWriter& operator=(const TMergeWriter&) = delete;

    /// Prepares to write the bands' lines (width pixels of bits per sample) into target, which
    /// stays the caller's; the writing thread is its only user until Join. False when the
    /// memory cannot be had.
    [[nodiscard]] bool Open(
        TMergeTarget& target, uint32_t width, uint8_t bits, std::vector<TMergeBand> bands);
    /// Starts the writing thread; false when it cannot be started.
    [[nodiscard]] bool Start();
    /// Takes row y of tile column of band (its Width pixels), waiting while the joined lines
    /// still to be written fill the ring. False when stopped or a write failed. Any thread.
    [[nodiscard]] bool Put(size_t band, size_t column, uint32_t y, const uint8_t* row);
    /// Ends the writing and every waiting Put, which then fail. Any thread; safe twice.
    void Stop();
    /// Waits for the writing thread to end; job thread.
    void Join();

    /// True once a write failed (the target tells why).
    bool Failed() const { return FFailed.load(); }
    /// Joined lines written so far, and all of them.
    uint32_t LinesWritten() const { return FWritten.load(); }
    uint32_t Lines() const { return FLines; }
    size_t RingBytes() const { return FRing.size(); }

private:
    void Run();
    uint8_t* Slot(uint32_t line) { return FRing.data() + size_t(line % FSlots) * FRowBytes; }
    bool Complete(uint32_t line) const;
    /// Whether the writer has enough to do: a batch of lines, or the pass's last ones.
    bool WorthWriting() const;

    TMergeTarget* FTarget = nullptr;
    std::vector<TMergeBand> FBands;
    std::vector<uint32_t> FFirstLine; ///< per band, its first joined line
    uint32_t FLines = 0;
    size_t FRowBytes = 0;
    size_t FPixelBytes = 0;
    uint32_t FSlots = 0;
    uint32_t FBatch = 1; ///< lines the writer waits for before it writes
    std::vector<uint8_t> FRing;
    std::vector<uint32_t> FPieces; ///< per slot, tile rows put so far
    std::vector<uint32_t> FWanted; ///< per slot, tile rows that complete it

    std::mutex FLock;
    std::condition_variable FLineDone;
    std::condition_variable FSlotFree;
    bool FWriterWaiting = false;
    int FPuttersWaiting = 0;
    std::atomic<uint32_t> FWritten { 0 };
    std::atomic<bool> FStop { false };
    std::atomic<bool> FFailed { false };
    std::thread FThread;
};
