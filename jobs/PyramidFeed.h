// The reading stage of a pyramid: a thread of its own reads the input's rows, makes them 8-bit,
// builds the halving levels and hands every level's rows to the tiler, so that the reading and
// the level building run beside the tile encoders instead of between their batches.
#pragma once

#include <atomic>
#include <cstdint>
#include <thread>

#include "jobs/LineSource.h"
#include "jobs/PyramidTiler.h"
#include "resample/EightBitRows.h"

/// Feeds one tiler from one row source on a thread of its own. The producer side of the tiler
/// is the feed's alone; the owner collects the batches on its own thread.
class TPyramidFeed {
public:
    /// How the feed ended.
    enum class TEnd : uint8_t {
        Running, ///< not ended yet
        Complete, ///< every row was read and handed on
        Aborted, ///< `abort` was set before a row was read
        ReadFailed, ///< a row could not be read (the source's Error says why)
        Stopped, ///< the tiler stopped or failed (the tiler says why)
    };

    /// Rows of `source` (as `rows` describes them) become 8-bit rows of
    /// EightBitChannels(rows) samples and `reductions` levels below them for `tiler`. `abort`
    /// is tested before every row is read. Nothing runs before Start.
    TPyramidFeed(TLineSource& source, const TEightBitRowSpec& rows, uint32_t reductions,
        TPyramidTiler& tiler, const std::atomic<bool>& abort);
    /// Stops the tiler unless the thread was joined, and waits for the thread.
    ~TPyramidFeed();
    TPyramidFeed(const TPyramidFeed&) = delete;
    TPyramidFeed& operator=(const TPyramidFeed&) = delete;

    /// Starts reading on the feed's thread. Once.
    void Start();
    /// Waits for the thread to end (after the tiler's Collect said Finished or Stopped, it
    /// ends at once); the source may be asked about a failure afterwards.
    void Join();
    /// How the feed ended; Running until then. Any thread; final once Join returned.
    TEnd End() const { return FEnd.load(); }

private:
    void Run();
    void Finish(TEnd end, bool complete);

    TLineSource& FSource;
    TEightBitRowSpec FRows;
    uint32_t FReductions;
    TPyramidTiler& FTiler;
    const std::atomic<bool>& FAbort;
    std::atomic<TEnd> FEnd { TEnd::Running };
    std::thread FThread;
};
