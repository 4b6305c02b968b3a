// The strips and tiles ("striles") of a TIFF against what its geometry needs: where each one
// the reader decodes must lie and how many bytes it must hold, checked before it is decoded,
// and the scan of all of them that tells whether a whole read can succeed.
#pragma once

#include <cstdint>
#include <string>

#include <tiffio.h>

#include "engine/TiffFormat.h"

/// How a layout's pixels are cut into striles.
struct TStrileGrid {
    uint32_t Width = 0; ///< pixels per strile row (the image's width for strips)
    uint32_t Rows = 0; ///< rows per strile (at most the image's height)
    uint32_t Across = 1; ///< striles side by side (1 for strips)
    uint32_t Down = 0; ///< rows of striles
    uint32_t Planes = 1; ///< planes stored: the samples when one plane per sample, else 1
    uint32_t PlanesRead = 1; ///< planes the reader decodes: those of the delivered channels
    uint64_t SampleBytes = 1; ///< bytes of one sample of one plane's pixel
};

/// The grid of a layout that ExamineTiff accepted.
TStrileGrid GridOf(const TTiffLayout& layout);

/// Decoded bytes strile `index` (in file order: plane by plane, rows of striles top down, left
/// to right) must hold: whole tiles, strips down to the image's last row.
uint64_t StrileBytes(const TTiffLayout& layout, const TStrileGrid& grid, uint32_t index);

/// Why strile index cannot hold its bytes, judged from its offset and byte count, the size of
/// the file and (uncompressed) the bytes it must hold; "" when nothing is wrong. Striles are
/// numbered from 0, as libtiff numbers them.
std::string StrileProblem(TIFF* tif, const TTiffLayout& layout, const TStrileGrid& grid,
    uint32_t index, uint64_t fileSize);

/// Checks that libtiff's strile count is the one the grid needs, then every strile the reader
/// decodes; "" when a whole read can succeed as far as the tables and the file's size tell.
std::string CheckStriles(TIFF* tif, const TTiffLayout& layout, uint64_t fileSize);

/// The size of the file behind a libtiff handle, as its client procedure tells it.
uint64_t TiffFileSize(TIFF* tif);
