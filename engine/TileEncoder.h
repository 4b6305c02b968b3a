// Encoders of 8-bit RGB or RGBA tiles into the compressed bytes of one image file or one TIFF
// tile: JPEG (libjpeg-turbo), PNG (libpng), WebP (libwebp) and Deflate with the horizontal
// predictor (zlib), behind one small interface fed a row at a time.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

/// The codecs a tile can be written with.
enum class TTileCodec : uint8_t {
    Jpeg, ///< baseline JPEG, 4:2:0 chroma subsampling; RGB only
    Png, ///< PNG, RGB or RGBA
    Webp, ///< lossy WebP, RGB or RGBA
    Deflate, ///< zlib stream of rows with TIFF's horizontal predictor (TIFF Compression 8)
};

/// How tiles are encoded: the codec and its settings.
struct TTileCodecOptions {
    TTileCodec Codec = TTileCodec::Jpeg;
    int Quality = 75; ///< 1 to 100; JPEG and WebP only
    /// JPEG only: write the JFIF marker (a stand-alone .jpg file) or leave it out (a tile inside
    /// a TIFF, whose tags describe the colour space).
    bool JfifMarker = true;
    /// JPEG only: leave the quantisation and Huffman tables out of every tile (an abbreviated
    /// stream), for a TIFF whose JPEGTables tag holds them once (see JpegTables).
    bool SharedTables = false;
};

/// Encodes tiles one after the other: Begin, every row in order with AddRow, then Finish. One
/// thread at a time; an encoder is reused for the next tile after Finish (or after a failed
/// call, which abandons the tile in progress).
class TTileEncoder {
public:
    virtual ~TTileEncoder() = default;
    /// Starts a tile of width x height pixels (each at least 1) of `channels` 8-bit samples
    /// (3 RGB, 4 RGBA; JPEG takes 3 only). False when the encoder refuses it.
    [[nodiscard]] virtual bool Begin(uint32_t width, uint32_t height, uint8_t channels) = 0;
    /// Adds the next row: width * channels bytes, read during the call only.
    [[nodiscard]] virtual bool AddRow(const uint8_t* row) = 0;
    /// Ends the tile after its last row and replaces `bytes` with the encoded tile. False when
    /// the codec failed or rows are missing; `bytes` is then unspecified.
    [[nodiscard]] virtual bool Finish(std::vector<uint8_t>& bytes) = 0;
};

/// A new encoder for the options; never null.
std::unique_ptr<TTileEncoder> MakeTileEncoder(const TTileCodecOptions& options);

/// Encodes a whole tile held in memory: `height` rows `stride` bytes apart.
[[nodiscard]] bool EncodeTile(TTileEncoder& encoder, const uint8_t* pixels, uint32_t width,
    uint32_t height, uint8_t channels, size_t stride, std::vector<uint8_t>& bytes);

// The encoders of each codec (MakeTileEncoder chooses among them).
std::unique_ptr<TTileEncoder> MakeJpegTileEncoder(int quality, bool jfifMarker, bool sharedTables);

/// The tables-only JPEG stream (its quantisation and Huffman tables between SOI and EOI) that the
/// JPEG tiles of `quality` made with SharedTables leave out: the value of a TIFF's JPEGTables
/// tag. False when the codec fails.
[[nodiscard]] bool JpegTables(int quality, std::vector<uint8_t>& bytes);
std::unique_ptr<TTileEncoder> MakePngTileEncoder();
std::unique_ptr<TTileEncoder> MakeWebpTileEncoder(int quality);
std::unique_ptr<TTileEncoder> MakeDeflateTileEncoder();
