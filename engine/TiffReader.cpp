// TIFF line reading through libtiff: strips, tiles and one plane per sample, rows in any order.
// Every strip or tile is checked against what the geometry needs before it is decoded, every
// decode must deliver all the bytes asked for, and any error libtiff reports fails the line:
// a line is delivered whole and right, or not at all.
#include <algorithm>
#include <cerrno>
#include <cstring>
#include <memory>
#include <vector>

#include "engine/TiffIo.h"
#include "engine/TiffStriles.h"

namespace {

constexpr uint32_t kNoRow = UINT32_MAX;
constexpr uint32_t kNoStrile = UINT32_MAX;

/// Copies count pixels' samples: from holds fromSamples samples per pixel, to holds toSamples;
/// the first `copied` of each pixel's samples go to samples at..at + copied of the target.
void CopySamples(const uint8_t* from, uint32_t fromSamples, uint8_t* to, uint32_t toSamples,
    uint32_t at, uint32_t copied, uint32_t count, uint32_t sampleBytes)
{
    if (fromSamples == toSamples && copied == toSamples) {
        std::memcpy(to, from, size_t(count) * toSamples * sampleBytes);
        return;
    }
    const size_t fromStep = size_t(fromSamples) * sampleBytes;
    const size_t toStep = size_t(toSamples) * sampleBytes;
    const size_t bytes = size_t(copied) * sampleBytes;
    uint8_t* target = to + size_t(at) * sampleBytes;
    if (bytes == 1) {
        for (uint32_t x = 0; x < count; ++x) {
            target[x * toStep] = from[x * fromStep];
        }
        return;
    }
    for (uint32_t x = 0; x < count; ++x) {
        std::memcpy(target + x * toStep, from + x * fromStep, bytes);
    }
}

/// One plane of a stripped TIFF read through libtiff's scanline reader.
struct TScanlineSource {
    TIFF* Tif = nullptr;
    TTiffFd* Fd = nullptr; ///< the state of Tif's descriptor
    TTiffFd OwnFd; ///< the descriptor of a handle this source opened itself
    bool Owned = false;
    uint16_t Plane = 0;
    uint32_t NextRow = kNoRow; ///< the row libtiff would decode next
    uint32_t CheckedStrip = kNoStrile; ///< the strip whose table entries were last checked

    ~TScanlineSource()
    {
        if (Owned && Tif) {
            TIFFClose(Tif);
        }
    }
};

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
        FReason.clear();
        FTif = OpenTiffRead(info.FileName, FFd);
        if (!FTif) {
            FReason = TiffFailureText(FFd);
            return false;
        }
        std::string why;
        if (ExamineTiff(FTif, FLayout, &why) != TTiffVerdict::Ok || FLayout.Width != info.Width
            || FLayout.Height != info.Height || FLayout.Bits != info.Bits
            || FLayout.Channels != info.Channels) {
            return Refuse(why.empty() ? "the file no longer matches what was examined" : why);
        }
        FSampleBytes = FLayout.Bits / 8u;
        FLineSize = info.ScanLineSize;
        if (uint64_t(FLayout.Width) * FLayout.Channels * FSampleBytes != FLineSize) {
            return Refuse("the line size does not match the image");
        }
        FGrid = GridOf(FLayout);
        FFileSize = TiffFileSize(FTif);
        const uint64_t found = FLayout.Tiled ? TIFFNumberOfTiles(FTif) : TIFFNumberOfStrips(FTif);
        if (found != uint64_t { FGrid.Across } * FGrid.Down * FGrid.Planes) {
            return Refuse(CheckStriles(FTif, FLayout, FFileSize));
        }
        if (!(FLayout.Tiled ? PrepareTiles() : PrepareStrips(info.FileName)) || ReadFailed()) {
            return Refuse(FReason.empty() ? TiffFailureText(FFd) : FReason);
        }
        // Errors libtiff reported and recovered from while reading the directory are over;
        // from here on, any error fails the line being read.
        FFd.LibraryFailed = false;
        return true;
    }

    int32_t ReadLine(int32_t row, uint8_t* buffer) override
    {
        const int32_t got = ReadRow(row, buffer);
        if (ReadFailed() || LibraryFailed()) {
            Fail("");
            return 0;
        }
        // A line libtiff could not decode is a failure of the file, not the end of the data.
        if (got == 0) {
            Fail("");
        }
        return got;
    }

    int Error() const override
    {
        const int transfer = TransferError();
        return transfer != 0 ? transfer : FFailedRead ? EIO : 0;
    }

    std::string Reason() const override { return FReason; }

    void Close() override
    {
        FSources.clear();
        if (FTif) {
            TIFFClose(FTif);
            FTif = nullptr;
        }
        FBandValid = false;
        FBandHeight = 0;
        FTileRowBytes = 0;
        FTile.clear();
        FBand.clear();
        FPlane.clear();
        FScratch.clear();
    }

private:
    /// Closes the file and keeps why it was refused; false.
    bool Refuse(const std::string& why)
    {
        FReason = why;
        Close();
        return false;
    }

    /// Marks the read failed and keeps the first reason found: the system's words for a failed
    /// transfer, else why (a strile's problem), else libtiff's last error.
    void Fail(const std::string& why)
    {
        FFailedRead = true;
        if (!FReason.empty()) {
            return;
        }
        const int transfer = TransferError();
        FReason = transfer != 0 ? std::strerror(transfer) : !why.empty() ? why : LibraryError();
    }

    /// The errno value of the first failed transfer of any handle (0 when none).
    int TransferError() const
    {
        if (FFd.Error != 0) {
            return FFd.Error;
        }
        for (const auto& source : FSources) {
            if (source->Owned && source->OwnFd.Error != 0) {
                return source->OwnFd.Error;
            }
        }
        return 0;
    }

    /// Whether any read of the file failed since it was opened.
    bool ReadFailed() const
    {
        if (FFd.ReadFailed) {
            return true;
        }
        for (const auto& source : FSources) {
            if (source->Owned && source->OwnFd.ReadFailed) {
                return true;
            }
        }
        return false;
    }

    bool LibraryFailed() const
    {
        if (FFd.LibraryFailed) {
            return true;
        }
        for (const auto& source : FSources) {
            if (source->Owned && source->OwnFd.LibraryFailed) {
                return true;
            }
        }
        return false;
    }

    std::string LibraryError() const
    {
        if (!FFd.LibraryError.empty()) {
            return FFd.LibraryError;
        }
        for (const auto& source : FSources) {
            if (source->Owned && !source->OwnFd.LibraryError.empty()) {
                return source->OwnFd.LibraryError;
            }
        }
        return {};
    }

    /// Checks strile index before it is decoded; false (reason kept) when it cannot hold its
    /// bytes.
    bool StrileOk(TIFF* tif, uint32_t index)
    {
        const std::string problem = StrileProblem(tif, FLayout, FGrid, index, FFileSize);
        if (problem.empty()) {
            return true;
        }
        Fail(problem);
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
        for (auto& source : FSources) {
            if (!ReadSourceRow(*source, r)) {
                return 0;
            }
            if (FLayout.Planar == PLANARCONFIG_SEPARATE) {
                CopySamples(FPlane.data(), 1, buffer, FLayout.Channels, source->Plane, 1,
                    FLayout.Width, FSampleBytes);
            } else {
                CopySamples(FScratch.data(), FLayout.Samples, buffer, FLayout.Channels, 0,
                    FLayout.Channels, FLayout.Width, FSampleBytes);
            }
        }
        return static_cast<int32_t>(FLineSize);
    }

    /// Reads row r of a source into FPlane (one plane) or FScratch (interleaved samples). Most
    /// codecs decode a strip only forward from its first row, so a row that does not follow the
    /// last one read is reached by decoding from the first row of its strip (libtiff restarts
    /// the strip when asked for an earlier row).
    bool ReadSourceRow(TScanlineSource& source, uint32_t row)
    {
        uint8_t* into = FLayout.Planar == PLANARCONFIG_SEPARATE ? FPlane.data() : FScratch.data();
        const uint32_t strip = row / FLayout.RowsPerStrip + source.Plane * FGrid.Down;
        if (strip != source.CheckedStrip) {
            if (!StrileOk(source.Tif, strip)) {
                source.NextRow = kNoRow;
                return false;
            }
            source.CheckedStrip = strip;
        }
        if (row != source.NextRow && FLayout.Compression != COMPRESSION_NONE) {
            const uint32_t stripTop = row - row % FLayout.RowsPerStrip;
            const bool onTheWay =
                source.NextRow != kNoRow && source.NextRow > stripTop && source.NextRow < row;
            for (uint32_t q = onTheWay ? source.NextRow : stripTop; q < row; ++q) {
                if (TIFFReadScanline(source.Tif, into, q, source.Plane) != 1) {
                    source.NextRow = kNoRow;
                    return false;
                }
            }
        }
        if (TIFFReadScanline(source.Tif, into, row, source.Plane) != 1
            || source.Fd->LibraryFailed) {
            source.NextRow = kNoRow;
            return false;
        }
        source.NextRow = row + 1;
        return true;
    }

    bool PrepareTiles()
    {
        // A band holds the tile rows down to the image's last row, never more: a header may
        // claim tiles far taller than the image.
        FBandHeight = FGrid.Rows;
        FTileRowBytes = uint64_t { FLayout.TileWidth } * FGrid.SampleBytes;
        FTile.resize(static_cast<size_t>(FTileRowBytes * FBandHeight));
        FBand.resize(static_cast<size_t>(uint64_t(FBandHeight) * FLineSize));
        return true;
    }

    bool PrepareStrips(const std::string& path)
    {
        const uint64_t planeRow = uint64_t(FLayout.Width) * FSampleBytes;
        if (FLayout.Planar == PLANARCONFIG_SEPARATE) {
            const uint64_t bandBytes = uint64_t(FLayout.RowsPerStrip) * FLineSize;
            if (bandBytes <= FMaxBandBytes) {
                FBandHeight = FLayout.RowsPerStrip;
                FTile.resize(static_cast<size_t>(FLayout.RowsPerStrip * planeRow));
                FBand.resize(static_cast<size_t>(bandBytes));
                return true;
            }
            // Each plane gets a handle of its own, so that every plane decodes forward.
            FPlane.resize(static_cast<size_t>(planeRow));
            for (uint16_t s = 0; s < FGrid.PlanesRead; ++s) {
                auto source = std::make_unique<TScanlineSource>();
                source->Plane = s;
                if (s == 0) {
                    source->Tif = FTif;
                    source->Fd = &FFd;
                } else {
                    source->Tif = OpenTiffRead(path, source->OwnFd);
                    source->Fd = &source->OwnFd;
                    source->Owned = true;
                    if (!source->Tif) {
                        FReason = TiffFailureText(source->OwnFd);
                        return false;
                    }
                    source->OwnFd.LibraryFailed = false;
                }
                FSources.push_back(std::move(source));
            }
            return true;
        }
        const uint64_t fileLine = uint64_t(FLayout.Width) * FGrid.SampleBytes;
        if (static_cast<uint64_t>(TIFFScanlineSize64(FTif)) != fileLine) {
            FReason = "the scanline size does not match the image";
            return false;
        }
        auto source = std::make_unique<TScanlineSource>();
        source->Tif = FTif;
        source->Fd = &FFd;
        FSources.push_back(std::move(source));
        FScratch.resize(static_cast<size_t>(fileLine));
        return true;
    }

    bool LoadBand(uint32_t top)
    {
        FBandValid = false;
        FBandTop = top;
        const uint32_t rows = std::min(FBandHeight, FLayout.Height - top);
        const uint32_t band = top / FBandHeight;
        const uint32_t perPlane = FGrid.Across * FGrid.Down;
        if (!FLayout.Tiled) {
            const size_t planeRowBytes = size_t(FLayout.Width) * FSampleBytes;
            for (uint16_t s = 0; s < FGrid.PlanesRead; ++s) {
                const uint32_t strip = s * perPlane + band;
                const auto want = static_cast<tmsize_t>(rows * planeRowBytes);
                if (!StrileOk(FTif, strip)
                    || TIFFReadEncodedStrip(FTif, strip, FTile.data(), want) != want) {
                    return false;
                }
                for (uint32_t y = 0; y < rows; ++y) {
                    CopySamples(FTile.data() + y * planeRowBytes, 1,
                        FBand.data() + size_t(y) * FLineSize, FLayout.Channels, s, 1, FLayout.Width,
                        FSampleBytes);
                }
            }
            FBandValid = true;
            return true;
        }
        const bool planar = FLayout.Planar == PLANARCONFIG_SEPARATE;
        const size_t pixelBytes = size_t(FLayout.Channels) * FSampleBytes;
        // Only the rows of the tile that lie in the image are decoded.
        const auto want = static_cast<tmsize_t>(FTileRowBytes * rows);
        for (uint32_t col = 0; col < FGrid.Across; ++col) {
            const uint32_t x0 = col * FLayout.TileWidth;
            const uint32_t cols = std::min(FLayout.TileWidth, FLayout.Width - x0);
            for (uint16_t s = 0; s < FGrid.PlanesRead; ++s) {
                const uint32_t tile = s * perPlane + band * FGrid.Across + col;
                if (!StrileOk(FTif, tile)
                    || TIFFReadEncodedTile(FTif, tile, FTile.data(), want) != want) {
                    return false;
                }
                for (uint32_t y = 0; y < rows; ++y) {
                    uint8_t* line = FBand.data() + size_t(y) * FLineSize + x0 * pixelBytes;
                    const uint8_t* from = FTile.data() + y * FTileRowBytes;
                    if (planar) {
                        CopySamples(from, 1, line, FLayout.Channels, s, 1, cols, FSampleBytes);
                    } else {
                        CopySamples(from, FLayout.Samples, line, FLayout.Channels, 0,
                            FLayout.Channels, cols, FSampleBytes);
                    }
                }
            }
        }
        FBandValid = true;
        return true;
    }

    uint64_t FMaxBandBytes;
    bool FFailedRead = false; ///< a line could not be delivered
    std::string FReason; ///< why the file was refused or a line failed ("" when not known)
    TIFF* FTif = nullptr;
    TTiffFd FFd;
    TTiffLayout FLayout;
    TStrileGrid FGrid;
    uint64_t FFileSize = 0;
    uint32_t FSampleBytes = 1;
    uint32_t FLineSize = 0;
    uint32_t FBandHeight = 0; ///< 0: lines come straight from libtiff
    uint32_t FBandTop = 0;
    bool FBandValid = false;
    uint64_t FTileRowBytes = 0; ///< bytes of one row of a decoded tile (of one plane)
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
