// The input side of a streamed resize pass: one thread reads the input's lines in order, in the
// layout of the resize worker's rows, into a ring from which the tiles of the band in work take
// their part of each line. Each line is read once, whatever the number of tiles across it, and
// only the lines some tile needs are kept.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "engine/FileInfo.h"
#include "engine/LineFormats.h"

/// Which lines of the input each band of tiles needs.
struct TFeedBand {
    uint32_t Top = 0; ///< the band's first line of the input
    /// One entry per line of the band: nonzero when the band's tiles take the line.
    std::vector<uint8_t> Needed;
    /// Tiles across the band; each takes every needed line once.
    uint32_t Takers = 0;
};

/// Reads a pass's input for its tiles. Life: Open (job thread), Start, Take from the workers'
/// threads, Stop or let it end, Join, Close (job thread). Lines are delivered with 3 samples per
/// pixel (alpha dropped) and 16-bit samples least significant byte first, as the worker reads
/// tile rows.
class TLineFeed {
public:
    TLineFeed() = default;
    ~TLineFeed();
    TLineFeed(const TLineFeed&) = delete;
    TLineFeed& operator=(const TLineFeed&) = delete;

    /// Opens the probed input: a RAW file is read by offset in large pieces, lines of a TIFF by
    /// number (lines no tile needs are never read), a KRO file in sequence. bands cover the
    /// image from the top, in order. False when the input cannot be opened or the memory cannot
    /// be had (Error and OutOfMemory tell); nothing stays open then.
    [[nodiscard]] bool Open(const TFileInfo& input, std::vector<TFeedBand> bands);
    /// Starts the reading thread; false when it cannot be started.
    [[nodiscard]] bool Start();
    /// Copies count bytes from offset of the input line y into row, waiting until it is read.
    /// sequence is the line's place among all needed lines of the input (FirstOfBand of its
    /// band plus the needed lines of the band before it): a taker takes its band's needed lines
    /// in order. False when the feed was stopped or failed, or y is not that line. Any thread.
    [[nodiscard]] bool Take(
        uint64_t sequence, uint32_t y, size_t offset, size_t count, uint8_t* row);
    /// The sequence number of a band's first needed line.
    uint64_t FirstOfBand(size_t band) const { return FFirstOfBand[band]; }
    /// Ends the reading and every waiting Take, which then fail. Any thread; safe twice.
    void Stop();
    /// Waits for the reading thread to end; job thread.
    void Join();
    /// Closes the input (after Join); safe twice.
    void Close();

    /// True once a read failed; Error then tells the errno value.
    bool Failed() const { return FFailed.load(); }
    int Error() const { return FError; }
    bool OutOfMemory() const { return FOutOfMemory; }
    /// Input lines read (or passed over) so far.
    uint32_t LinesRead() const { return FLinesRead.load(std::memory_order_relaxed); }
    /// Bytes the ring of lines holds.
    size_t RingBytes() const { return FRing.size(); }

private:
    void Run();
    /// Reads count consecutive lines from y into the ring from slot on; false at a failure.
    bool ReadLines(uint32_t y, uint32_t count, uint8_t* slot);
    /// Reads line y and passes over it (a sequential input reaches the next line so).
    bool SkipLine(uint32_t y);
    /// Waits until count slots are free; false when stopped.
    bool WaitForSlots(uint32_t count);
    void Fail(int code);

    TFileInfo FInput;
    bool FByOffset = false; ///< a RAW file: lines read with pread in pieces
    bool FByNumber = false; ///< lines may be read in any order (a TIFF)
    bool FDirect = false; ///< the input's lines already have the rows' layout
    std::unique_ptr<TLineReader> FReader;
    int FFd = -1;
    size_t FLineBytes = 0; ///< a line of the input
    size_t FRowBytes = 0; ///< a line as the tiles take it
    std::vector<uint8_t> FScratch; ///< one input line to repack
    std::vector<TFeedBand> FBands;
    std::vector<uint64_t> FFirstOfBand;

    std::vector<uint8_t> FRing;
    uint32_t FSlots = 0;
    uint32_t FPieceLines = 1; ///< lines of a RAW input read at once
    std::vector<uint32_t> FSlotLine; ///< the input line a slot holds
    std::vector<uint32_t> FSlotTakers; ///< takers still to take it
    uint64_t FHead = 0; ///< sequence of the oldest line still held
    uint64_t FTail = 0; ///< sequence of the next line to hold

    std::mutex FLock;
    std::condition_variable FLineIn;
    std::condition_variable FSlotFree;
    int FTakersWaiting = 0;
    bool FReaderWaiting = false;
    uint32_t FReaderWants = 0; ///< free slots the waiting reader waits for
    std::atomic<bool> FStop { false };
    std::atomic<bool> FFailed { false };
    std::atomic<uint32_t> FLinesRead { 0 };
    int FError = 0;
    bool FOutOfMemory = false;
    std::thread FThread;
};
