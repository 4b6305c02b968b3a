// The inside of TRowResampler: one implementation per way of resizing (unchanged size, nearest
// neighbour, filtered), behind one small interface. Only the resample library includes this.
#pragma once

#include <algorithm>
#include <memory>
#include <string>

#include "resample/RowResampler.h"

/// Raised inside an implementation when the sink refuses a row or throws; PushRow turns it
/// into a failure with this text.
class ERowResizeStopped : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

class TRowResampler::TImpl {
public:
    TImpl(const TRowResizeSpec& setup, TRowSink sink);
    virtual ~TImpl() = default;
    TImpl(const TImpl&) = delete;
    TImpl& operator=(const TImpl&) = delete;

    virtual bool RowNeeded(int32_t y) const = 0;
    /// Where source row y may be written before Take, waiting for room when the resize holds
    /// as many rows as it may. Throws ERowResizeStopped when the sink refused a row meanwhile.
    virtual uint8_t* Slot(int32_t y) = 0;
    /// Source row y is at row (its Slot, a caller's buffer, or null when not needed): hand on
    /// every destination row it completes. The last row completes the resize. Throws
    /// ERowResizeStopped when the sink refuses a row.
    virtual void Take(int32_t y, const uint8_t* row) = 0;
    /// Stops helper threads; after it the implementation only frees memory.
    virtual void Stop() { }

    /// Hands destination row y to the sink; throws ERowResizeStopped when it refuses the row.
    void Deliver(int32_t y, const uint8_t* row);

    const TRowResizeSpec Setup;
    const int64_t SourceRowBytes;
    const int64_t DestinationRowBytes;
    int32_t NextSourceRow = 0;
    int32_t Delivered = 0;
    TRowResizeMemory Peak;

private:
    TRowSink FSink;
};

/// The filtered resize of the setup (8- or 16-bit); throws std::bad_alloc when out of memory.
std::unique_ptr<TRowResampler::TImpl> MakeFilteredRows(const TRowResizeSpec& setup, TRowSink sink);

/// Threads that compute destination rows for a request (0: every core): at most one per eight
/// destination rows, at least one.
unsigned RowThreadCount(unsigned requested, int32_t rows);
