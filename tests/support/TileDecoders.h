// Decoders of encoded tiles for the tests: JPEG, PNG and WebP files, and TIFF Deflate tiles
// with the horizontal predictor, each into 8-bit interleaved samples.
#pragma once

#include <cstdint>
#include <optional>
#include <vector>

namespace TestImages {

/// A decoded tile: Height rows of Width pixels of Channels 8-bit samples.
struct TTile {
    uint32_t Width = 0;
    uint32_t Height = 0;
    uint8_t Channels = 3;
    std::vector<uint8_t> Samples;

    uint8_t At(uint32_t x, uint32_t y, uint32_t c) const
    {
        return Samples[(size_t(y) * Width + x) * Channels + c];
    }
};

/// JPEG into RGB; nothing when libjpeg refuses the bytes.
std::optional<TTile> DecodeJpeg(const std::vector<uint8_t>& bytes);
/// PNG into RGB or RGBA as stored.
std::optional<TTile> DecodePng(const std::vector<uint8_t>& bytes);
/// WebP into RGBA when the file has alpha, else RGB.
std::optional<TTile> DecodeWebp(const std::vector<uint8_t>& bytes);
/// A zlib stream of width x height pixels with the horizontal predictor, undone.
std::optional<TTile> DecodeDeflateTile(
    const std::vector<uint8_t>& bytes, uint32_t width, uint32_t height, uint8_t channels);

} // namespace TestImages
