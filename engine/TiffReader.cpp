// TIFF line reading through libtiff: strips, tiles and one plane per sample, rows in any order.
#include <algorithm>
#include <cerrno>
#include <cstring>
#include <memory>
#include <vector>

#include "engine/TiffIo.h"

namespace {

constexpr uint32_t kNoRow = UINT32_MAX;

/// One plane of a stripped TIFF read through libtiff's scanline reader.
struct TScanlineSource {
    TIFF* Tif = nullptr;
    TTiffFd Fd; ///< the descriptor of a handle this source opened itself
    bool Owned = false;
    uint16_t Plane = 0;
    uint32_t NextRow = kNoRow; ///< the row libtiff would decode next

    ~TScanlineSource()
    {
        if (Owned && Tif) {
            TIFFClose(Tif);
        }
    }
};

/// Reads one row of a source. Most codecs decode a strip only forward from its first row,
/// so a row that does not follow the last one read is reached by decoding from the first
/// row of its strip (libtiff restarts the strip when asked for an earlier row).
bool ReadSourceRow(TScanlineSource& source, uint32_t row, uint8_t* buffer,
    std::vector<uint8_t>& scratch, const TTiffLayout& layout)
{
    if (row != source.NextRow && layout.Compression != COMPRESSION_NONE) {
        const uint32_t stripTop = row - row % layout.RowsPerStrip;
        const bool onTheWay =
            source.NextRow != kNoRow && source.NextRow > stripTop && source.NextRow < row;
        for (uint32_t q = onTheWay ? source.NextRow : stripTop; q < row; ++q) {
            if (TIFFReadScanline(source.Tif, scratch.data(), q, source.Plane) != 1) {
                source.NextRow = kNoRow;
                return false;
            }
        }
    }
    if (TIFFReadScanline(source.Tif, buffer, row, source.Plane) != 1) {
        source.NextRow = kNoRow;
        return false;
    }
    source.NextRow = row + 1;
    return true;
}

/// Reads lines of any accepted layout, rows in any order. Interleaved strips go through
/// libtiff's scanline reader; tiles and one-plane-per-sample strips are decoded one band (a
/// row of tiles or of strips) at a time into an interleaved band buffer, which a request
/// outside the band reloads.
class TTiffLineReader final : public TLineReader {
public:
    explicit TTiffLineReader(uint64_t maxBandBytes)
        : FMaxBandBytes(maxBandBytes)
    {
    }
    ~TTiffLineReader() override { Close(); }

    [[nodiscard]] bool Open(const TFileInfo& info) override
    {
        Close();
        FFailedRead = false;
        FTif = OpenTiffRead(info.FileName, FFd);
        if (!FTif) {
            return false;
        }
        if (ExamineTiff(FTif, FLayout) != TTiffVerdict::Ok || FLayout.Width != info.Width
            || FLayout.Height != info.Height || FLayout.Bits != info.Bits
            || FLayout.Samples != info.Channels) {
            Close();
            return false;
        }
        FSampleBytes = FLayout.Bits / 8u;
        FLineSize = info.ScanLineSize;
        if (uint64_t(FLayout.Width) * FLayout.Samples * FSampleBytes != FLineSize) {
            Close();
            return false;
        }
        if (!(FLayout.Tiled ? PrepareTiles() : PrepareStrips(info.FileName)) || ReadFailed()) {
            Close();
            return false;
        }
        return true;
    }

    int32_t ReadLine(int32_t row, uint8_t* buffer) override
    {
        const int32_t got = ReadRow(row, buffer);
        if (ReadFailed()) {
            FFailedRead = true;
            return 0;
        }
        // A line libtiff could not decode is a failure of the file, not the end of the data.
        FFailedRead = FFailedRead || got == 0;
        return got;
    }

    int Error() const override
    {
        if (FFd.Error != 0) {
            return FFd.Error;
        }
        for (const auto& source : FSources) {
            if (source->Owned && source->Fd.Error != 0) {
                return source->Fd.Error;
            }
        }
        return FFailedRead ? EIO : 0;
    }

    void Close() override
    {
        FSources.clear();
        if (FTif) {
            TIFFClose(FTif);
            FTif = nullptr;
        }
        FBandValid = false;
        FBandHeight = 0;
        FTile.clear();
        FBand.clear();
        FPlane.clear();
        FScratch.clear();
    }

private:
    /// Whether any read of the file failed since it was opened.
    bool ReadFailed() const
    {
        if (FFd.ReadFailed) {
            return true;
        }
        for (const auto& source : FSources) {
            if (source->Owned && source->Fd.ReadFailed) {
                return true;
            }
        }
        return false;
    }

    int32_t ReadRow(int32_t row, uint8_t* buffer)
    {
        if (!FTif || row < 0 || static_cast<uint32_t>(row) >= FLayout.Height) {
            return 0;
        }
        const auto r = static_cast<uint32_t>(row);
        if (FBandHeight > 0) {
            if (!FBandValid || r < FBandTop || r >= FBandTop + FBandHeight) {
                if (!LoadBand(r - r % FBandHeight)) {
                    return 0;
                }
            }
            std::memcpy(buffer, FBand.data() + size_t(r - FBandTop) * FLineSize, FLineSize);
            return static_cast<int32_t>(FLineSize);
        }
        if (FLayout.Planar == PLANARCONFIG_SEPARATE) {
            for (auto& source : FSources) {
                if (!ReadSourceRow(*source, r, FPlane.data(), FScratch, FLayout)) {
                    return 0;
                }
                ScatterPlane(FPlane.data(), buffer, source->Plane, FLayout.Width);
            }
            return static_cast<int32_t>(FLineSize);
        }
        return ReadSourceRow(*FSources.front(), r, buffer, FScratch, FLayout)
            ? static_cast<int32_t>(FLineSize)
            : 0;
    }

    bool PrepareTiles()
    {
        FBandHeight = FLayout.TileLength;
        const uint64_t tileBytes = static_cast<uint64_t>(TIFFTileSize64(FTif));
        const uint64_t planeTile = uint64_t(FLayout.TileWidth) * FLayout.TileLength * FSampleBytes
            * (FLayout.Planar == PLANARCONFIG_CONTIG ? FLayout.Samples : 1u);
        if (tileBytes < planeTile) {
            return false;
        }
        FTile.resize(static_cast<size_t>(tileBytes));
        FBand.resize(static_cast<size_t>(uint64_t(FBandHeight) * FLineSize));
        return true;
    }

    bool PrepareStrips(const std::string& path)
    {
        const uint64_t planeRow = uint64_t(FLayout.Width) * FSampleBytes;
        if (FLayout.Planar == PLANARCONFIG_SEPARATE) {
            const uint64_t bandBytes = uint64_t(FLayout.RowsPerStrip) * FLineSize;
            if (static_cast<uint64_t>(TIFFStripSize64(FTif)) < FLayout.RowsPerStrip * planeRow) {
                return false;
            }
            if (bandBytes <= FMaxBandBytes) {
                FBandHeight = FLayout.RowsPerStrip;
                FTile.resize(static_cast<size_t>(TIFFStripSize64(FTif)));
                FBand.resize(static_cast<size_t>(bandBytes));
                return true;
            }
            // Each plane gets a handle of its own, so that every plane decodes forward.
            FPlane.resize(static_cast<size_t>(planeRow));
            FScratch.resize(static_cast<size_t>(planeRow));
            for (uint16_t s = 0; s < FLayout.Samples; ++s) {
                auto source = std::make_unique<TScanlineSource>();
                source->Plane = s;
                if (s == 0) {
                    source->Tif = FTif;
                } else {
                    source->Tif = OpenTiffRead(path, source->Fd);
                    source->Owned = true;
                    if (!source->Tif) {
                        return false;
                    }
                }
                FSources.push_back(std::move(source));
            }
            return true;
        }
        if (static_cast<uint64_t>(TIFFScanlineSize64(FTif)) != FLineSize) {
            return false;
        }
        auto source = std::make_unique<TScanlineSource>();
        source->Tif = FTif;
        FSources.push_back(std::move(source));
        FScratch.resize(FLineSize);
        return true;
    }

    /// Copies count samples of plane s from planeRow into the interleaved line.
    void ScatterPlane(const uint8_t* planeRow, uint8_t* line, uint16_t s, uint32_t count) const
    {
        const size_t pixelBytes = size_t(FLayout.Samples) * FSampleBytes;
        uint8_t* at = line + size_t(s) * FSampleBytes;
        if (FSampleBytes == 1) {
            for (uint32_t x = 0; x < count; ++x) {
                at[x * pixelBytes] = planeRow[x];
            }
        } else {
            for (uint32_t x = 0; x < count; ++x) {
                std::memcpy(at + x * pixelBytes, planeRow + size_t(x) * 2, 2);
            }
        }
    }

    bool LoadBand(uint32_t top)
    {
        FBandValid = false;
        FBandTop = top;
        const uint32_t rows = std::min(FBandHeight, FLayout.Height - top);
        const uint16_t planes = FLayout.Planar == PLANARCONFIG_CONTIG ? 1 : FLayout.Samples;
        if (!FLayout.Tiled) {
            const uint32_t stripsPerPlane = TIFFNumberOfStrips(FTif) / FLayout.Samples;
            const uint32_t band = top / FBandHeight;
            const size_t planeRowBytes = size_t(FLayout.Width) * FSampleBytes;
            for (uint16_t s = 0; s < planes; ++s) {
                const tmsize_t want = static_cast<tmsize_t>(rows * planeRowBytes);
                if (TIFFReadEncodedStrip(FTif, s * stripsPerPlane + band, FTile.data(), want)
                    != want) {
                    return false;
                }
                for (uint32_t y = 0; y < rows; ++y) {
                    ScatterPlane(FTile.data() + y * planeRowBytes,
                        FBand.data() + size_t(y) * FLineSize, s, FLayout.Width);
                }
            }
            FBandValid = true;
            return true;
        }
        const size_t pixelBytes = size_t(FLayout.Samples) * FSampleBytes;
        for (uint32_t x0 = 0; x0 < FLayout.Width; x0 += FLayout.TileWidth) {
            const uint32_t cols = std::min(FLayout.TileWidth, FLayout.Width - x0);
            for (uint16_t s = 0; s < planes; ++s) {
                if (TIFFReadTile(FTif, FTile.data(), x0, top, 0, s) < 0) {
                    return false;
                }
                for (uint32_t y = 0; y < rows; ++y) {
                    uint8_t* line = FBand.data() + size_t(y) * FLineSize;
                    if (planes == 1) {
                        const uint8_t* from =
                            FTile.data() + size_t(y) * FLayout.TileWidth * pixelBytes;
                        std::memcpy(line + x0 * pixelBytes, from, cols * pixelBytes);
                    } else {
                        const uint8_t* from =
                            FTile.data() + size_t(y) * FLayout.TileWidth * FSampleBytes;
                        ScatterPlane(from, line + x0 * pixelBytes, s, cols);
                    }
                }
            }
        }
        FBandValid = true;
        return true;
    }

    uint64_t FMaxBandBytes;
    bool FFailedRead = false; ///< a line could not be delivered
    TIFF* FTif = nullptr;
    TTiffFd FFd;
    TTiffLayout FLayout;
    uint32_t FSampleBytes = 1;
    uint32_t FLineSize = 0;
    uint32_t FBandHeight = 0; ///< 0: lines come straight from libtiff
    uint32_t FBandTop = 0;
    bool FBandValid = false;
    std::vector<uint8_t> FTile;
    std::vector<uint8_t> FBand;
    std::vector<uint8_t> FPlane;
    std::vector<uint8_t> FScratch;
    std::vector<std::unique_ptr<TScanlineSource>> FSources;
};

} // namespace

std::unique_ptr<TLineReader> MakeTiffReader(uint64_t maxBandBytes)
{
    return std::make_unique<TTiffLineReader>(maxBandBytes);
}
