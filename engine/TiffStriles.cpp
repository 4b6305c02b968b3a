// Strip and tile checks: offsets, byte counts and counts of striles against the geometry and
// the file's size.
#include "engine/TiffStriles.h"

#include <algorithm>

namespace {

uint32_t HowMany(uint64_t total, uint64_t part)
{
    return static_cast<uint32_t>((total + part - 1) / part);
}

} // namespace

TStrileGrid GridOf(const TTiffLayout& l)
{
    TStrileGrid g;
    g.Width = l.Tiled ? l.TileWidth : l.Width;
    g.Rows = l.Tiled ? std::min(l.TileLength, l.Height) : l.RowsPerStrip;
    g.Across = l.Tiled ? HowMany(l.Width, l.TileWidth) : 1;
    g.Down = HowMany(l.Height, g.Rows);
    const bool planar = l.Planar == PLANARCONFIG_SEPARATE;
    g.Planes = planar ? l.Samples : 1;
    g.PlanesRead = planar ? l.Channels : 1;
    g.SampleBytes = uint64_t(l.Bits / 8u) * (planar ? 1u : l.Samples);
    return g;
}

uint64_t StrileBytes(const TTiffLayout& l, const TStrileGrid& g, uint32_t index)
{
    const uint32_t inPlane = index % (g.Across * g.Down);
    const uint64_t row = inPlane / g.Across;
    const uint64_t line = uint64_t { g.Width } * g.SampleBytes;
    if (l.Tiled) {
        // Tiles are always stored whole, padded past the image's edges.
        return line * l.TileLength;
    }
    return line * std::min<uint64_t>(g.Rows, l.Height - row * g.Rows);
}

std::string StrileProblem(
    TIFF* tif, const TTiffLayout& l, const TStrileGrid& g, uint32_t index, uint64_t fileSize)
{
    const std::string name = std::string(l.Tiled ? "tile " : "strip ") + std::to_string(index);
    int offsetError = 0;
    int countError = 0;
    const uint64_t offset = TIFFGetStrileOffsetWithErr(tif, index, &offsetError);
    const uint64_t count = TIFFGetStrileByteCountWithErr(tif, index, &countError);
    if (offsetError != 0 || countError != 0) {
        return name + " is not in the file's tables";
    }
    // libtiff fills the entries missing from a short table with zeros.
    if (offset == 0) {
        return name + " is missing";
    }
    if (count == 0) {
        return name + " is empty";
    }
    const uint64_t header = TIFFIsBigTIFF(tif) ? 16 : 8;
    if (offset < header) {
        return name + " starts inside the file header";
    }
    if (offset > fileSize || count > fileSize - offset) {
        return name + " ends past the end of the file (byte " + std::to_string(offset + count)
            + " of " + std::to_string(fileSize) + ")";
    }
    if (l.Compression == COMPRESSION_NONE) {
        const uint64_t need = StrileBytes(l, g, index);
        if (count < need) {
            return name + " holds " + std::to_string(count) + " bytes where " + std::to_string(need)
                + " are needed";
        }
    }
    return {};
}

std::string CheckStriles(TIFF* tif, const TTiffLayout& l, uint64_t fileSize)
{
    const TStrileGrid g = GridOf(l);
    const uint64_t perPlane = uint64_t { g.Across } * g.Down;
    const uint64_t expected = perPlane * g.Planes;
    const uint64_t found = l.Tiled ? TIFFNumberOfTiles(tif) : TIFFNumberOfStrips(tif);
    if (found != expected) {
        return std::string("the file has ") + std::to_string(found)
            + (l.Tiled ? " tiles" : " strips") + " where its size needs "
            + std::to_string(expected);
    }
    // Every strile holds at least one byte: more striles than bytes cannot all be there, and
    // checking them one by one would only take long.
    if (expected > fileSize) {
        return std::string("the file is too short for its ") + std::to_string(expected)
            + (l.Tiled ? " tiles" : " strips");
    }
    for (uint64_t i = 0; i < perPlane * g.PlanesRead; ++i) {
        std::string problem = StrileProblem(tif, l, g, static_cast<uint32_t>(i), fileSize);
        if (!problem.empty()) {
            return problem;
        }
    }
    return {};
}

uint64_t TiffFileSize(TIFF* tif)
{
    return static_cast<uint64_t>(TIFFGetSizeProc(tif)(TIFFClientdata(tif)));
}
