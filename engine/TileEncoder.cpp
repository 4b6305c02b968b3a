// The choice of a tile encoder by codec, and whole-tile encoding over the row interface.
#include "engine/TileEncoder.h"

std::unique_ptr<TTileEncoder> MakeTileEncoder(const TTileCodecOptions& options)
{
    switch (options.Codec) {
    case TTileCodec::Jpeg:
        return MakeJpegTileEncoder(options.Quality, options.JfifMarker, options.SharedTables);
    case TTileCodec::Png:
        return MakePngTileEncoder();
    case TTileCodec::Webp:
        return MakeWebpTileEncoder(options.Quality);
    case TTileCodec::Deflate:
        break;
    }
    return MakeDeflateTileEncoder();
}

bool EncodeTile(TTileEncoder& encoder, const uint8_t* pixels, uint32_t width, uint32_t height,
    uint8_t channels, size_t stride, std::vector<uint8_t>& bytes)
{
    if (!encoder.Begin(width, height, channels)) {
        return false;
    }
    for (uint32_t y = 0; y < height; ++y) {
        if (!encoder.AddRow(pixels + size_t(y) * stride)) {
            return false;
        }
    }
    return encoder.Finish(bytes);
}
