// How the image fuzz target reads its input: a few option bytes, then the file's bytes. The
// seed generator writes inputs in the same layout.
#pragma once

#include <cstddef>
#include <cstdint>

namespace FuzzImageInput {

/// Bytes before the file's contents.
inline constexpr size_t kPrefixSize = 5;

enum class TInKind : uint8_t { Tif = 0, Kro = 1, Raw = 2, BigTif = 3 };

/// The option bytes: byte 0 holds the input kind (bits 0-1), the output kind (bits 2-3:
/// TIF, LZW TIF, RAW, KRO), a forced BigTIFF output (bit 4), a TIFF output keeping alpha (bit
/// 5) and a TIFF output's coding (bits 6-7: as the kind says, Deflate, ZSTD, LZW with the
/// predictor, the last three in strips of three rows); bytes 1-2 and 3-4 are the
/// little-endian width and height written into a RAW input's name.
struct TOptions {
    TInKind In = TInKind::Tif;
    uint8_t Out = 0;
    bool ForceBigTiff = false;
    uint16_t RawWidth = 0;
    uint16_t RawHeight = 0;
    bool KeepAlpha = false;
    uint8_t Coding = 0;
};

inline TOptions Decode(const uint8_t* data)
{
    TOptions o;
    o.In = static_cast<TInKind>(data[0] & 3);
    o.Out = (data[0] >> 2) & 3;
    o.ForceBigTiff = (data[0] & 0x10) != 0;
    o.KeepAlpha = (data[0] & 0x20) != 0;
    o.Coding = data[0] >> 6;
    o.RawWidth = static_cast<uint16_t>(data[1] | (data[2] << 8));
    o.RawHeight = static_cast<uint16_t>(data[3] | (data[4] << 8));
    return o;
}

inline void Encode(const TOptions& o, uint8_t* data)
{
    data[0] = static_cast<uint8_t>(static_cast<uint8_t>(o.In) | (o.Out << 2)
        | (o.ForceBigTiff ? 0x10 : 0) | (o.KeepAlpha ? 0x20 : 0) | (o.Coding << 6));
    data[1] = static_cast<uint8_t>(o.RawWidth & 0xFF);
    data[2] = static_cast<uint8_t>(o.RawWidth >> 8);
    data[3] = static_cast<uint8_t>(o.RawHeight & 0xFF);
    data[4] = static_cast<uint8_t>(o.RawHeight >> 8);
}

} // namespace FuzzImageInput
