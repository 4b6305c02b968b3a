// Fixtures of the TIFF output tests: images as native lines, incompressible noise, and whole
// writes through the strip writer onto a fresh file.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "engine/TiffMetadata.h"
#include "engine/TiffWriteOptions.h"
#include "support/TestImages.h"

namespace TestImages {

/// Line y of an image as the engine holds it: samples in native byte order.
std::vector<uint8_t> NativeLine(const TPixels& image, uint32_t y);

/// Samples from a fixed-seed hash: no codec can shrink them, so they show its worst case.
TPixels NoiseImage(uint32_t width, uint32_t height, uint8_t bits, uint8_t channels);

/// How a write through TTiffStripWriter is to go.
struct TStripWrite {
    TTiffWriteOptions Options;
    bool BigTiff = false;
    TTiffMetadata Metadata;
    uint32_t FailStrip = UINT32_MAX; ///< the encoding of this strip fails
    uint32_t Lines = UINT32_MAX; ///< lines written (fewer than the height leaves some out)
    /// Bytes of the batches of strips handed to the workers; 1 gives a strip each, so that
    /// small images keep every worker busy and strips finish out of order.
    uint64_t BatchBytes = 1;
};

/// Creates path and writes the image through TTiffStripWriter; true when Open, every
/// WriteLine and Close succeeded.
[[nodiscard]] bool WriteWithStripWriter(
    const std::string& path, const TPixels& image, const TStripWrite& write = {});

/// Whether libtiff can open the file as a TIFF at all.
bool OpensAsTiff(const std::string& path);

} // namespace TestImages
