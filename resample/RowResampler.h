// Resizing a tile that arrives one source row at a time and leaves one destination row at a
// time: the same bytes as ScaleImage of the whole tile, holding only the source rows under the
// vertical kernel (filtered) or none at all (nearest).
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "resample/ImageData.h"
#include "resample/Resampler.h"

/// Takes destination row y (0, 1, ... in order): DestinationRowBytes bytes, valid during the
/// call only. Called on the thread that pushes the source rows (or runs Run). False stops the
/// resize: the push that delivered the row fails.
using TRowSink = std::function<bool(int32_t y, const uint8_t* row)>;
/// Fills source row y into row (SourceRowBytes bytes). Called in increasing y, but only for
/// the rows that RowNeeded says matter; false stops the resize.
using TRowSource = std::function<bool(int32_t y, uint8_t* row)>;

/// What one resize does: a Width × Height tile of the format to NewWidth × NewHeight.
struct TRowResizeSpec {
    int32_t Width = 0;
    int32_t Height = 0;
    int32_t NewWidth = 0;
    int32_t NewHeight = 0;
    TImageFormat Format = R8G8B8;
    TResizeFilter Filter = rfLanczos;
    /// Threads that compute destination rows, the caller's included; 0 means every core. The
    /// bytes do not depend on it.
    unsigned Threads = 0;
};

/// One side of a tile divided by the worker's divider: side / divider in extended precision,
/// rounded half to even (5000.5 gives 5000). 0 when the result is below 1 or above the image
/// limits. Needs round-to-nearest in force on the calling thread (TRoundToNearestScope).
int32_t DividedSide(uint32_t side, long double divider);

/// The worker's resize of a tile: both sides divided by DividedSide, nearest neighbour when
/// fast, else Lanczos. False (setup untouched) when a side of the tile or of the result is not
/// a usable size.
[[nodiscard]] bool TileResizeSpec(int32_t width, int32_t height, TImageFormat format,
    long double divider, bool fast, unsigned threads, TRowResizeSpec& setup);

/// What a resize held at most at once, for the memory it needs.
struct TRowResizeMemory {
    /// Source rows kept (the rows under the vertical kernel of the destination rows in work).
    int32_t SourceRows = 0;
    /// Finished destination rows waiting for their turn to go to the sink.
    int32_t DestinationRows = 0;
    /// Every buffer the resize allocated: kept rows, destination rows, per-thread lines and
    /// the contributor tables.
    int64_t Bytes = 0;
};

/// Resizes one tile row by row. Life: Open, then PushRow for source rows 0, 1, ... (or Run with
/// a source), until Finished; Close or destroy. One thread pushes; the resize may compute
/// destination rows on helper threads of its own, but calls the sink only on the pushing
/// thread, in order. Round-to-nearest must be in force on the pushing thread (the worker puts
/// it in force); the helpers put it in force themselves.
///
/// The bytes are those of ScaleImage of the whole tile to the same size with the same filter:
/// the rows are clamped at the tile's own edges. A tile whose size does not change is handed
/// through unchanged, as ScaleImage leaves it.
class TRowResampler {
public:
    TRowResampler();
    ~TRowResampler();
    TRowResampler(const TRowResampler&) = delete;
    TRowResampler& operator=(const TRowResampler&) = delete;

    /// Checks the setup, builds the tables and buffers and starts the helper threads. False,
    /// with ErrorText, on a size that is not positive, an unknown format or filter, or no
    /// memory; the resampler is then closed.
    [[nodiscard]] bool Open(const TRowResizeSpec& setup, TRowSink sink);
    /// Takes source row NextSourceRow (SourceRowBytes bytes, read before the call returns; may
    /// be null when RowNeeded says the row does not matter) and hands every destination row it
    /// completes to the sink. The last row completes the resize. False when the resampler is
    /// not open, all rows were taken, a needed row is null, or the sink refused a row; the
    /// resampler is then failed and refuses every further row.
    [[nodiscard]] bool PushRow(const uint8_t* row);
    /// Pulls every remaining source row from the source (only those that matter) and pushes
    /// it; true when the resize is finished.
    [[nodiscard]] bool Run(const TRowSource& source);
    /// Stops the helper threads and frees everything; safe twice and when never opened.
    void Close();

    /// True when source row y affects some destination row; other rows may be pushed as null
    /// (a source that addresses rows by number need not read them).
    bool RowNeeded(int32_t y) const;
    /// The index of the next source row PushRow takes.
    int32_t NextSourceRow() const;
    /// Destination rows handed to the sink so far.
    int32_t RowsDelivered() const;
    /// True once every destination row has gone to the sink.
    bool Finished() const;
    int64_t SourceRowBytes() const;
    int64_t DestinationRowBytes() const;
    /// The most the resize has held at once so far.
    TRowResizeMemory Peak() const;
    /// Why Open or PushRow failed, for diagnostics only.
    const std::string& ErrorText() const { return FErrorText; }

    class TImpl;

private:
    [[nodiscard]] bool Fail(const std::string& text);

    std::unique_ptr<TImpl> FImpl;
    std::string FErrorText;
};
