// A whole TIFF output on a descriptor: the tags of the output, its metadata, and its lines
// encoded in parallel into strips written in order as raw strips.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "engine/TiffMetadata.h"
#include "engine/TiffStripEncoder.h"
#include "engine/TiffWriteOptions.h"

struct TTiffFd;

/// The pixels of a TIFF output.
struct TTiffOutputImage {
    uint32_t Width = 0;
    uint32_t Height = 0;
    uint8_t Bits = 8; ///< 8 or 16
    uint8_t Channels = 3; ///< 3 RGB, or 4 RGBA written with ExtraSamples = 2
};

/// Writes one TIFF output. With default options the file is byte for byte what the engine's
/// plain TIFF writer makes of the same lines. One thread calls it; the encoding threads are
/// its own.
class TTiffStripWriter {
public:
    TTiffStripWriter();
    ~TTiffStripWriter();
    TTiffStripWriter(const TTiffStripWriter&) = delete;
    TTiffStripWriter& operator=(const TTiffStripWriter&) = delete;

    /// Starts a TIFF (BigTIFF when bigTiff) on fd, an empty file open for reading and
    /// writing that stays the caller's (never closed here); name is for libtiff's messages.
    /// Sets the tags in the order the engine always has (size, depth, samples, rows per strip,
    /// compression, planar, photometric, 240 dpi), then the predictor, ExtraSamples for 4
    /// channels and, when options.KeepMetadata, metadata's ICC profile, resolution (in place
    /// of 240 dpi) and Orientation. False when options do not pass CheckTiffWriteOptions,
    /// libtiff refuses a tag or the header cannot be written; nothing runs then.
    [[nodiscard]] bool Open(int fd, const std::string& name, const TTiffOutputImage& image,
        const TTiffWriteOptions& options, bool bigTiff, const TTiffMetadata& metadata = {});
    /// Takes the next line (Width x Channels samples, native byte order). False once the
    /// write failed (an encoder, a write to the file, a line past the last).
    [[nodiscard]] bool WriteLine(const uint8_t* line);
    /// Writes the last strips and the directory. False when any step failed or lines are
    /// missing: the file is then no valid TIFF (no directory) and belongs deleted. True also
    /// when nothing is open; safe twice.
    [[nodiscard]] bool Close();
    /// Gives the write up: stops the encoding threads and writes nothing more, no directory
    /// either. Safe at any time.
    void Abandon();
    /// The errno value of the first failed transfer, EIO for a failure of another kind (an
    /// encoder, a tag libtiff refused), 0 when nothing failed.
    int Error() const;

    /// Test-only, from the next Open: the encoding of this strip fails.
    void FailStripForTests(uint32_t strip) { FEncoder.FailStripForTests(strip); }
    /// Test-only, from the next Open: strips go to the workers in batches of about bytes.
    void SetBatchBytesForTests(uint64_t bytes) { FEncoder.SetBatchBytesForTests(bytes); }

private:
    bool SetTags(const TTiffOutputImage& image, const TTiffWriteOptions& options,
        const TTiffMetadata& metadata);
    void CloseHandle();

    std::unique_ptr<TTiffFd> FIo; ///< libtiff's view of the descriptor
    TIFF* FTif = nullptr;
    TParallelStripEncoder FEncoder;
    bool FFailed = false;
};
