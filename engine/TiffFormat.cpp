// TIFF line reading (strips, tiles, one plane per sample) and writing through libtiff, with
// every byte of the file passing through the I/O seam.
#include "engine/TiffFormat.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <vector>

#include <tiffio.h>

#include "engine/IoSeam.h"
#include "engine/TavmorManager.h"

namespace {

/// The client data of one libtiff handle: our descriptor and whether any transfer failed.
struct TTiffFd {
    int Fd = -1;
    bool Failed = false;
    /// A read failed: libtiff may carry on with guessed values (it estimates lost strip
    /// tables, for one), so nothing read through this handle can be trusted any more.
    bool ReadFailed = false;
    /// Writing: libtiff hands over each strip (one line) with a seek and a write of its own;
    /// the bytes are gathered here and written in large pieces at explicit offsets, so a split
    /// into hundreds of tiles does not cost two system calls per tile line.
    bool Buffered = false;
    uint64_t Pos = 0; ///< libtiff's file position while Buffered
    uint64_t PendingAt = 0; ///< file offset of Pending's first byte
    std::vector<uint8_t> Pending;
    uint64_t End = 0; ///< size of the file on disk while Buffered (it was created empty)
};

// Gathered output per TIFF file; a band of a split holds one such buffer per column.
constexpr size_t kTiffWriteBuffer = size_t(64) << 10;

/// Writes count bytes at offset, looping over short writes; false (pending error set) at a
/// failure.
bool WriteAt(TTiffFd& f, const uint8_t* bytes, size_t count, uint64_t offset)
{
    size_t done = 0;
    while (done < count) {
        const ssize_t n =
            IoSeam().PWrite(f.Fd, bytes + done, count - done, static_cast<int64_t>(offset + done));
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            f.Failed = true;
            SetIoResult(n < 0 && errno != 0 ? errno : ENOSPC);
            return false;
        }
        done += static_cast<size_t>(n);
    }
    f.End = std::max(f.End, offset + count);
    return true;
}

/// Writes the gathered bytes out; false at a failure (they are dropped then).
bool FlushPending(TTiffFd& f)
{
    if (f.Pending.empty()) {
        return !f.Failed;
    }
    const bool ok = WriteAt(f, f.Pending.data(), f.Pending.size(), f.PendingAt);
    f.Pending.clear();
    return ok;
}

TTiffFd& FdOf(thandle_t h)
{
    return *static_cast<TTiffFd*>(h);
}

tmsize_t ReadProc(thandle_t h, void* buffer, tmsize_t size)
{
    auto& f = FdOf(h);
    auto* out = static_cast<uint8_t*>(buffer);
    if (f.Buffered && !FlushPending(f)) {
        return 0;
    }
    tmsize_t done = 0;
    while (done < size) {
        const ssize_t n = f.Buffered
            ? IoSeam().PRead(f.Fd, out + done, static_cast<size_t>(size - done),
                static_cast<int64_t>(f.Pos + uint64_t(done)))
            : IoSeam().Read(f.Fd, out + done, static_cast<size_t>(size - done));
        if (n < 0) {
            if (errno == EINTR) {
                continue;
            }
            // A short count, never -1: libtiff 4.5 adds the result to the bytes already read
            // before it clears the rest of its buffer, so -1 makes it write past that buffer.
            f.ReadFailed = true;
            SetIoResult(errno != 0 ? errno : EIO);
            return done;
        }
        if (n == 0) {
            break;
        }
        done += n;
    }
    if (f.Buffered) {
        f.Pos += static_cast<uint64_t>(done);
    }
    return done;
}

tmsize_t WriteProc(thandle_t h, void* buffer, tmsize_t size)
{
    auto& f = FdOf(h);
    const auto* in = static_cast<const uint8_t*>(buffer);
    // Only handles opened for writing are buffered; a handle opened for reading never writes.
    if (!f.Buffered || f.Failed) {
        return 0;
    }
    const auto count = static_cast<size_t>(size);
    if (!f.Pending.empty() && f.Pos != f.PendingAt + f.Pending.size()) {
        if (!FlushPending(f)) {
            return 0;
        }
    }
    if (f.Pending.empty() && count >= kTiffWriteBuffer) {
        if (!WriteAt(f, in, count, f.Pos)) {
            return 0;
        }
    } else {
        if (f.Pending.empty()) {
            f.PendingAt = f.Pos;
            f.Pending.reserve(kTiffWriteBuffer);
        }
        f.Pending.insert(f.Pending.end(), in, in + count);
        if (f.Pending.size() >= kTiffWriteBuffer && !FlushPending(f)) {
            return 0;
        }
    }
    f.Pos += count;
    return size;
}

toff_t SeekProc(thandle_t h, toff_t offset, int whence)
{
    auto& f = FdOf(h);
    if (f.Buffered) {
        // libtiff seeks to the end before every new strip: answered from what is known of
        // the file, without a system call.
        const uint64_t end = std::max(f.End, f.PendingAt + f.Pending.size());
        const uint64_t base = whence == SEEK_SET ? 0 : whence == SEEK_CUR ? f.Pos : end;
        f.Pos = base + uint64_t(offset);
        return static_cast<toff_t>(f.Pos);
    }
    const int64_t at = IoSeam().Seek(FdOf(h).Fd, static_cast<int64_t>(offset), whence);
    return at < 0 ? static_cast<toff_t>(-1) : static_cast<toff_t>(at);
}

int CloseProc(thandle_t h)
{
    auto& f = FdOf(h);
    if (f.Fd < 0) {
        return 0;
    }
    const bool flushed = !f.Buffered || FlushPending(f);
    f.Pending.clear();
    f.Pending.shrink_to_fit();
    const int r = IoSeam().Close(f.Fd);
    f.Fd = -1;
    if (r != 0) {
        f.Failed = true;
        SetIoResult(errno != 0 ? errno : EIO);
    }
    return flushed ? r : -1;
}

toff_t SizeProc(thandle_t h)
{
    if (FdOf(h).Buffered) {
        (void)FlushPending(FdOf(h));
    }
    struct stat st { };
    if (fstat(FdOf(h).Fd, &st) != 0) {
        return 0;
    }
    return static_cast<toff_t>(st.st_size);
}

int MapProc(thandle_t, void**, toff_t*)
{
    return 0;
}

void UnmapProc(thandle_t, void*, toff_t) { }

/// Opens path for libtiff in mode ("r", "w" or "w8"; mapping is always off). On success fd
/// belongs to the handle, which closes it in TIFFClose; on failure nothing stays open.
TIFF* OpenTiff(const std::string& path, const char* mode, TTiffFd& fd)
{
    SilenceTiffLibrary();
    const bool reading = mode[0] == 'r';
    const int flags = reading ? O_RDONLY | O_CLOEXEC : O_RDWR | O_CREAT | O_TRUNC | O_CLOEXEC;
    fd.Fd = IoSeam().Open(path.c_str(), flags, 0666);
    fd.Failed = false;
    fd.ReadFailed = false;
    fd.Buffered = !reading;
    fd.Pos = 0;
    fd.End = 0;
    fd.Pending.clear();
    if (fd.Fd < 0) {
        return nullptr;
    }
    const std::string fullMode = std::string(mode) + "m";
    TIFF* tif = TIFFClientOpen(path.c_str(), fullMode.c_str(), &fd, ReadProc, WriteProc, SeekProc,
        CloseProc, SizeProc, MapProc, UnmapProc);
    // The header goes out at once, so that a file that cannot be written fails its open.
    if (tif && !reading && !FlushPending(fd)) {
        TIFFClose(tif);
        return nullptr;
    }
    if (!tif) {
        (void)CloseProc(&fd);
    }
    return tif;
}

/// Reads the layout of the current directory and checks it against what the engine can
/// deliver as interleaved unsigned RGB(A) lines.
TTiffVerdict Examine(TIFF* tif, TTiffLayout& layout)
{
    layout = {};
    uint32_t width = 0;
    uint32_t height = 0;
    if (TIFFGetField(tif, TIFFTAG_IMAGEWIDTH, &width) != 1) {
        width = 0;
    }
    if (TIFFGetField(tif, TIFFTAG_IMAGELENGTH, &height) != 1) {
        height = 0;
    }
    layout.Width = width;
    layout.Height = height;
    if (width == 0 || height == 0) {
        return TTiffVerdict::NoSize;
    }
    uint16_t bits = 0;
    if (TIFFGetField(tif, TIFFTAG_BITSPERSAMPLE, &bits) != 1) {
        bits = 0;
    }
    layout.Bits = bits;
    if (bits != 8 && bits != 16) {
        return TTiffVerdict::Bits;
    }
    uint16_t samples = 0;
    if (TIFFGetField(tif, TIFFTAG_SAMPLESPERPIXEL, &samples) != 1) {
        samples = 0;
    }
    layout.Samples = samples;
    if (samples != 3 && samples != 4) {
        return TTiffVerdict::Channels;
    }
    uint16_t sampleFormat = SAMPLEFORMAT_UINT;
    if (TIFFGetField(tif, TIFFTAG_SAMPLEFORMAT, &sampleFormat) != 1) {
        sampleFormat = SAMPLEFORMAT_UINT;
    }
    if (sampleFormat != SAMPLEFORMAT_UINT) {
        return TTiffVerdict::SampleFormat;
    }
    uint16_t compression = COMPRESSION_NONE;
    if (TIFFGetField(tif, TIFFTAG_COMPRESSION, &compression) != 1) {
        compression = COMPRESSION_NONE;
    }
    uint16_t planar = PLANARCONFIG_CONTIG;
    if (TIFFGetField(tif, TIFFTAG_PLANARCONFIG, &planar) != 1) {
        planar = PLANARCONFIG_CONTIG;
    }
    if (planar != PLANARCONFIG_CONTIG && planar != PLANARCONFIG_SEPARATE) {
        return TTiffVerdict::Photometric;
    }
    layout.Planar = planar;
    uint16_t photometric = 0xFFFF;
    if (TIFFGetField(tif, TIFFTAG_PHOTOMETRIC, &photometric) != 1) {
        photometric = 0xFFFF;
    }
    // YCbCr is only deliverable as RGB when the JPEG decoder converts it for us.
    const bool jpegYCbCr = photometric == PHOTOMETRIC_YCBCR && compression == COMPRESSION_JPEG
        && planar == PLANARCONFIG_CONTIG && samples == 3;
    if (photometric != PHOTOMETRIC_RGB && !jpegYCbCr) {
        return TTiffVerdict::Photometric;
    }
    layout.Compression = compression;
    if (!TIFFIsCODECConfigured(compression)) {
        return TTiffVerdict::Compression;
    }
    if (jpegYCbCr && TIFFSetField(tif, TIFFTAG_JPEGCOLORMODE, JPEGCOLORMODE_RGB) != 1) {
        return TTiffVerdict::Photometric;
    }
    layout.Tiled = TIFFIsTiled(tif) != 0;
    if (layout.Tiled) {
        if (TIFFGetField(tif, TIFFTAG_TILEWIDTH, &layout.TileWidth) != 1
            || TIFFGetField(tif, TIFFTAG_TILELENGTH, &layout.TileLength) != 1
            || layout.TileWidth == 0 || layout.TileLength == 0) {
            return TTiffVerdict::NoSize;
        }
    } else {
        uint32_t rows = 0;
        if (TIFFGetFieldDefaulted(tif, TIFFTAG_ROWSPERSTRIP, &rows) != 1 || rows == 0) {
            rows = height;
        }
        layout.RowsPerStrip = std::min(rows, height);
    }
    return TTiffVerdict::Ok;
}

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
        FTif = OpenTiff(info.FileName, "r", FFd);
        if (!FTif) {
            return false;
        }
        if (Examine(FTif, FLayout) != TTiffVerdict::Ok || FLayout.Width != info.Width
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
        return ReadFailed() ? 0 : got;
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
                    source->Tif = OpenTiff(path, "r", source->Fd);
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

/// Writes interleaved RGB lines, one line per strip, uncompressed or LZW.
class TTiffLineWriter final : public TLineWriter {
public:
    ~TTiffLineWriter() override { (void)Close(); }

    [[nodiscard]] bool Open(const TFileInfo& info, bool lzw, bool bigTiff) override
    {
        (void)Close();
        FTif = OpenTiff(info.FileName, bigTiff ? "w8" : "w", FFd);
        if (!FTif) {
            return false;
        }
        FLineSize = info.ScanLineSize;
        const bool ok = TIFFSetField(FTif, TIFFTAG_IMAGEWIDTH, info.Width) == 1
            && TIFFSetField(FTif, TIFFTAG_IMAGELENGTH, info.Height) == 1
            && TIFFSetField(FTif, TIFFTAG_BITSPERSAMPLE, static_cast<unsigned>(info.Bits)) == 1
            && TIFFSetField(FTif, TIFFTAG_SAMPLESPERPIXEL, static_cast<unsigned>(info.Channels))
                == 1
            && TIFFSetField(FTif, TIFFTAG_ROWSPERSTRIP, 1u) == 1
            && TIFFSetField(FTif, TIFFTAG_COMPRESSION,
                   static_cast<unsigned>(lzw ? COMPRESSION_LZW : COMPRESSION_NONE))
                == 1
            && TIFFSetField(FTif, TIFFTAG_PLANARCONFIG, static_cast<unsigned>(PLANARCONFIG_CONTIG))
                == 1
            && TIFFSetField(FTif, TIFFTAG_PHOTOMETRIC, static_cast<unsigned>(PHOTOMETRIC_RGB)) == 1
            && TIFFSetField(FTif, TIFFTAG_XRESOLUTION, 240.0) == 1
            && TIFFSetField(FTif, TIFFTAG_YRESOLUTION, 240.0) == 1
            && TIFFSetField(FTif, TIFFTAG_RESOLUTIONUNIT, static_cast<unsigned>(RESUNIT_INCH)) == 1;
        if (!ok) {
            (void)Close();
            return false;
        }
        return true;
    }

    int64_t WriteBytes(const void*, size_t) override { return 0; }

    int32_t WriteLine(uint32_t row, const uint8_t* buffer) override
    {
        if (!FTif) {
            return 0;
        }
        // libtiff takes a non-const buffer but does not change it for these compressions.
        if (TIFFWriteScanline(FTif, const_cast<uint8_t*>(buffer), row, 0) != 1) {
            return 0;
        }
        return static_cast<int32_t>(FLineSize);
    }

    [[nodiscard]] bool Close() override
    {
        if (!FTif) {
            return true;
        }
        // The directory is written here; a failure means the file is unusable.
        const bool flushed = TIFFFlush(FTif) == 1;
        TIFFClose(FTif);
        FTif = nullptr;
        return flushed && !FFd.Failed;
    }

private:
    TIFF* FTif = nullptr;
    TTiffFd FFd;
    uint32_t FLineSize = 0;
};

} // namespace

bool NeedsBigTiff(uint64_t pixelBytes, bool force)
{
    // A classic TIFF addresses at most 4 GiB (32-bit offsets). The pixel data alone is
    // measured, so the limit sits below 4 GiB (4,294,967,296) to leave headroom for the
    // directory, the strip offset and byte-count tables (8 bytes per line) and LZW output
    // that can grow past its input. Exactly 4,000,000,000 bytes still fits a classic file.
    constexpr uint64_t kClassicTiffLimit = 4000000000ULL;
    return force || pixelBytes > kClassicTiffLimit;
}

TTiffVerdict ExamineTiffFile(const std::string& path, TTiffLayout& layout)
{
    layout = {};
    TTiffFd fd;
    TIFF* tif = OpenTiff(path, "r", fd);
    if (!tif) {
        return TTiffVerdict::CannotOpen;
    }
    TTiffVerdict verdict = Examine(tif, layout);
    if (fd.ReadFailed) {
        verdict = TTiffVerdict::CannotOpen; // what was read may be libtiff's guess
    }
    TIFFClose(tif);
    return verdict;
}

std::unique_ptr<TLineReader> MakeTiffReader(uint64_t maxBandBytes)
{
    return std::make_unique<TTiffLineReader>(maxBandBytes);
}

std::unique_ptr<TLineWriter> MakeTiffWriter()
{
    return std::make_unique<TTiffLineWriter>();
}
