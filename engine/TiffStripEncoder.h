// Encodes the strips of a TIFF output on worker threads with libtiff's own codecs and hands
// them out in strip order, so that the file written from them does not depend on the number
// of threads.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>

#include "engine/TiffWriteOptions.h"

/// The layout of the strips of one output.
struct TStripFormat {
    uint32_t Width = 0;
    uint32_t Height = 0; ///< rows of the whole image
    uint16_t Bits = 8; ///< 8 or 16
    uint16_t Samples = 3; ///< 3 (RGB) or 4 (RGBA, unassociated alpha)
    TTiffCompression Compression = TTiffCompression::None;
    bool Predictor = false;
    int Level = 0; ///< 0: libtiff's default
    uint32_t RowsPerStrip = 1; ///< clamped to Height

    /// Bytes of one row of samples.
    uint64_t LineBytes() const { return uint64_t(Width) * Samples * (Bits / 8u); }
    /// Rows per strip as the file has them (1 to Height).
    uint32_t StripRows() const;
    /// Strips of the whole image.
    uint32_t StripCount() const;
};

/// Strips travel to the workers in batches of about this many bytes, so that narrow strips
/// (tiles, one row each) do not cost a hand-over between threads apiece.
inline constexpr uint64_t kStripBatchBytes = uint64_t(256) << 10;

/// Takes the encoded bytes of strip (numbered from 0, in order); false stops the write. The
/// bytes are valid during the call only.
using TStripSink = std::function<bool(uint32_t strip, const uint8_t* bytes, size_t count)>;

/// Rows in, encoded strips out. Rows are pushed in order by one thread, which is also the
/// thread the sink runs on; every strip is encoded by libtiff in an in-memory TIFF of its own
/// worker, and at most a few strips per worker are held at any time. Uncompressed strips and
/// a single thread encode on the pushing thread.
class TParallelStripEncoder {
public:
    TParallelStripEncoder();
    ~TParallelStripEncoder();
    TParallelStripEncoder(const TParallelStripEncoder&) = delete;
    TParallelStripEncoder& operator=(const TParallelStripEncoder&) = delete;

    /// Prepares the codecs (one per thread; threads 0 means one per core) and starts the
    /// workers. False when libtiff refuses the format (a level out of range, a codec this
    /// build lacks); nothing runs then.
    [[nodiscard]] bool Start(const TStripFormat& format, uint32_t threads, TStripSink sink);
    /// Takes one row of LineBytes() bytes (copied). May deliver finished strips to the sink and
    /// wait for a worker when enough strips are in flight. False once anything failed (a
    /// worker's encoding, the sink, a row past the last): the write is lost then.
    [[nodiscard]] bool PushRow(const uint8_t* row);
    /// Encodes what is left, delivers every strip and stops the workers. False when anything
    /// failed or fewer rows than the image has were pushed.
    [[nodiscard]] bool Finish();
    /// Stops the workers and drops every strip not yet delivered; safe at any time.
    void Abandon();

    /// Test-only, from the next Start: the encoding of this strip fails as a failed write
    /// inside libtiff would.
    void FailStripForTests(uint32_t strip) { FFailStrip = strip; }
    /// Test-only, from the next Start: batches of about bytes bytes (1: a strip each), so
    /// that small images reach the workers.
    void SetBatchBytesForTests(uint64_t bytes) { FBatchBytes = bytes; }

private:
    bool StartEncoding(const TStripFormat& format, uint32_t threads, TStripSink sink);

    struct TState;
    std::unique_ptr<TState> F;
    uint32_t FFailStrip = UINT32_MAX;
    uint64_t FBatchBytes = kStripBatchBytes;
};
