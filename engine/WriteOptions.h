// How an output is written beyond its kind: a TIFF's compression, predictor, level, strips,
// threads and what it keeps of the input, and the BigTIFF choice.
#pragma once

#include "engine/TiffMetadata.h"
#include "engine/TiffWriteOptions.h"

/// Compression of a TIFF output (the TIFF Compression tag's values).
using TCompression = TTiffCompression;

/// Options of one output file; the kinds that have no use for an option ignore it.
struct TWriteOptions : TTiffWriteOptions {
    /// Write a BigTIFF whatever the size (a split's tiles follow its first, largest tile).
    bool ForceBigTiff = false;
    /// The input's metadata, written when KeepMetadata asks for it.
    TTiffMetadata Metadata;
};
