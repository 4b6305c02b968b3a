// How an output is written beyond its kind: the compression of a TIFF and the BigTIFF choice.
#pragma once

#include <cstdint>

/// Compression of a TIFF output (the TIFF Compression tag's values).
enum class TCompression : uint16_t {
    None = 1,
    Lzw = 5,
};

/// Options of one output file; the kinds that have no use for an option ignore it.
struct TWriteOptions {
    TCompression Compression = TCompression::None;
    /// Write a BigTIFF whatever the size (a split's tiles follow its first, largest tile).
    bool ForceBigTiff = false;
};
