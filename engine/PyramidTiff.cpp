// The tiled pyramidal TIFF writer over libtiff, with raw (already encoded) tiles.
#include "engine/PyramidTiff.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <tiffio.h>

#include "engine/IoSeam.h"
#include "engine/TavmorManager.h"
#include "engine/TavmorUtils.h"

namespace {

// Output is gathered into pieces of this size: libtiff writes every tile with a seek and a
// write of its own, and a tile is a few KiB.
constexpr size_t kWriteBuffer = size_t(1) << 20;

using TFile = TPyramidTiffWriter::TFile;

TFile& FileOf(thandle_t h)
{
    return *static_cast<TFile*>(h);
}

bool WriteAll(int fd, const uint8_t* data, size_t size, uint64_t at)
{
    while (size > 0) {
        const ssize_t n = IoSeam().PWrite(fd, data, size, static_cast<int64_t>(at));
        if (n <= 0) {
            SetIoResult(n < 0 && errno != 0 ? errno : EIO);
            return false;
        }
        data += n;
        size -= static_cast<size_t>(n);
        at += static_cast<uint64_t>(n);
    }
    return true;
}

bool ReadAll(int fd, uint8_t* data, size_t size, uint64_t at)
{
    while (size > 0) {
        const ssize_t n = IoSeam().PRead(fd, data, size, static_cast<int64_t>(at));
        if (n <= 0) {
            SetIoResult(n < 0 && errno != 0 ? errno : EIO);
            return false;
        }
        data += n;
        size -= static_cast<size_t>(n);
        at += static_cast<uint64_t>(n);
    }
    return true;
}

bool FlushPending(TFile& f)
{
    if (f.Pending.empty()) {
        return !f.Failed;
    }
    const bool ok = WriteAll(f.Fd, f.Pending.data(), f.Pending.size(), f.PendingAt);
    f.End = std::max(f.End, f.PendingAt + f.Pending.size());
    f.Pending.clear();
    f.Failed = f.Failed || !ok;
    return !f.Failed;
}

tmsize_t ReadProc(thandle_t h, void* buffer, tmsize_t size)
{
    TFile& f = FileOf(h);
    // libtiff reads back the chain of directories to link a new one.
    if (!FlushPending(f) || size < 0) {
        return -1;
    }
    const ssize_t n =
        IoSeam().PRead(f.Fd, buffer, static_cast<size_t>(size), static_cast<int64_t>(f.Pos));
    if (n < 0) {
        return -1;
    }
    f.Pos += static_cast<uint64_t>(n);
    return n;
}

tmsize_t WriteProc(thandle_t h, void* buffer, tmsize_t size)
{
    TFile& f = FileOf(h);
    if (f.Failed || size < 0) {
        return -1;
    }
    const auto* in = static_cast<const uint8_t*>(buffer);
    const auto count = static_cast<size_t>(size);
    if (!f.Pending.empty() && f.Pos != f.PendingAt + f.Pending.size() && !FlushPending(f)) {
        return -1;
    }
    if (f.Pending.empty()) {
        f.PendingAt = f.Pos;
    }
    f.Pending.insert(f.Pending.end(), in, in + count);
    f.Pos += count;
    if (f.Pending.size() >= kWriteBuffer && !FlushPending(f)) {
        return -1;
    }
    return size;
}

toff_t SeekProc(thandle_t h, toff_t offset, int whence)
{
    TFile& f = FileOf(h);
    // Answered from what is known of the file, without a system call.
    const uint64_t end = std::max(f.End, f.PendingAt + f.Pending.size());
    const uint64_t base = whence == SEEK_SET ? 0 : whence == SEEK_CUR ? f.Pos : end;
    f.Pos = base + uint64_t(offset);
    return static_cast<toff_t>(f.Pos);
}

int CloseProc(thandle_t h)
{
    TFile& f = FileOf(h);
    if (f.Fd < 0) {
        return 0;
    }
    const bool flushed = FlushPending(f);
    f.Pending.clear();
    f.Pending.shrink_to_fit();
    const int r = IoSeam().Close(f.Fd);
    f.Fd = -1;
    if (r != 0 || !flushed) {
        f.Failed = true;
        return -1;
    }
    return 0;
}

toff_t SizeProc(thandle_t h)
{
    const TFile& f = FileOf(h);
    return static_cast<toff_t>(std::max(f.End, f.PendingAt + f.Pending.size()));
}

int MapProc(thandle_t, void**, toff_t*)
{
    return 0;
}

void UnmapProc(thandle_t, void*, toff_t) { }

/// An unnamed file in folder for the spool; a named one unlinked at once where the file
/// system lacks unnamed files. -1 when neither can be made.
int OpenSpool(const std::string& folder)
{
    const std::string where = folder.empty() ? std::string(".") : folder;
    int fd = IoSeam().Open(where.c_str(), O_TMPFILE | O_RDWR | O_CLOEXEC, 0600);
    if (fd >= 0) {
        return fd;
    }
    std::string name = where + "/.tavmor-spool-XXXXXX";
    fd = mkostemp(name.data(), O_CLOEXEC);
    if (fd >= 0) {
        (void)unlink(name.c_str());
    }
    return fd;
}

uint32_t TilesAcross(uint32_t side, uint32_t tile)
{
    return side / tile + (side % tile != 0 ? 1 : 0);
}

} // namespace

TPyramidTiffWriter::~TPyramidTiffWriter()
{
    Discard();
}

bool TPyramidTiffWriter::Open(const std::string& path, const TPyramidTiffSpec& spec)
{
    Discard();
    SilenceTiffLibrary();
    if (spec.Pages.empty() || spec.TileSize == 0 || spec.TileSize % 16 != 0) {
        return false;
    }
    FSpec = spec;
    FFile = TFile {};
    FFile.Fd = IoSeam().Open(path.c_str(), O_RDWR | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    if (FFile.Fd < 0) {
        return false;
    }
    FTif = TIFFClientOpen(path.c_str(), spec.BigTiff ? "w8m" : "wm", &FFile, ReadProc, WriteProc,
        SeekProc, CloseProc, SizeProc, MapProc, UnmapProc);
    if (!FTif) {
        (void)CloseProc(&FFile);
        return false;
    }
    if (spec.Pages.size() > 1) {
        FSpool = OpenSpool(DirectoryOf(path));
        if (FSpool < 0) {
            Discard();
            return false;
        }
    }
    FSpoolEnd = 0;
    FSpooled.assign(spec.Pages.size(), {});
    for (size_t p = 1; p < spec.Pages.size(); ++p) {
        FSpooled[p].resize(size_t(TilesAcross(spec.Pages[p].Width, spec.TileSize))
            * TilesAcross(spec.Pages[p].Height, spec.TileSize));
    }
    if (!StartPage(0)) {
        Discard();
        return false;
    }
    return true;
}

bool TPyramidTiffWriter::StartPage(uint32_t page)
{
    const TPyramidTiffSpec::TPage& size = FSpec.Pages[page];
    const bool jpeg = FSpec.Codec == TTileCodec::Jpeg;
    bool ok =
        TIFFSetField(FTif, TIFFTAG_SUBFILETYPE, page == 0 ? 0u : unsigned(FILETYPE_REDUCEDIMAGE))
            == 1
        && TIFFSetField(FTif, TIFFTAG_IMAGEWIDTH, size.Width) == 1
        && TIFFSetField(FTif, TIFFTAG_IMAGELENGTH, size.Height) == 1
        && TIFFSetField(FTif, TIFFTAG_BITSPERSAMPLE, 8u) == 1
        && TIFFSetField(FTif, TIFFTAG_SAMPLESPERPIXEL, unsigned(FSpec.Channels)) == 1
        && TIFFSetField(FTif, TIFFTAG_TILEWIDTH, FSpec.TileSize) == 1
        && TIFFSetField(FTif, TIFFTAG_TILELENGTH, FSpec.TileSize) == 1
        && TIFFSetField(FTif, TIFFTAG_PLANARCONFIG, unsigned(PLANARCONFIG_CONTIG)) == 1
        && TIFFSetField(FTif, TIFFTAG_COMPRESSION,
               unsigned(jpeg ? COMPRESSION_JPEG : COMPRESSION_ADOBE_DEFLATE))
            == 1;
    if (ok && jpeg) {
        // The tiles are ordinary JPEG streams from RGB: YCbCr with 2 x 2 chroma subsampling.
        ok = TIFFSetField(FTif, TIFFTAG_PHOTOMETRIC, unsigned(PHOTOMETRIC_YCBCR)) == 1
            && TIFFSetField(FTif, TIFFTAG_YCBCRSUBSAMPLING, 2u, 2u) == 1;
    } else if (ok) {
        ok = TIFFSetField(FTif, TIFFTAG_PHOTOMETRIC, unsigned(PHOTOMETRIC_RGB)) == 1
            && TIFFSetField(FTif, TIFFTAG_PREDICTOR, unsigned(PREDICTOR_HORIZONTAL)) == 1;
        if (ok && FSpec.Channels == 4) {
            const uint16_t extra[1] = { EXTRASAMPLE_UNASSALPHA };
            ok = TIFFSetField(FTif, TIFFTAG_EXTRASAMPLES, 1u, extra) == 1;
        }
    }
    return ok;
}

bool TPyramidTiffWriter::WriteTile(
    uint32_t page, uint32_t column, uint32_t row, const std::vector<uint8_t>& bytes)
{
    if (!FTif || page >= FSpec.Pages.size() || bytes.empty()) {
        return false;
    }
    const TPyramidTiffSpec::TPage& size = FSpec.Pages[page];
    const uint32_t across = TilesAcross(size.Width, FSpec.TileSize);
    if (column >= across || row >= TilesAcross(size.Height, FSpec.TileSize)) {
        return false;
    }
    const uint32_t index = row * across + column;
    if (page == 0) {
        // libtiff takes a non-const buffer for raw data but only writes it out.
        auto* data = const_cast<uint8_t*>(bytes.data());
        return TIFFWriteRawTile(FTif, index, data, static_cast<tmsize_t>(bytes.size()))
            == static_cast<tmsize_t>(bytes.size())
            && !FFile.Failed;
    }
    if (!WriteAll(FSpool, bytes.data(), bytes.size(), FSpoolEnd)) {
        return false;
    }
    FSpooled[page][index] = { FSpoolEnd, static_cast<uint32_t>(bytes.size()) };
    FSpoolEnd += bytes.size();
    return true;
}

bool TPyramidTiffWriter::CopySpooledPage(uint32_t page)
{
    std::vector<uint8_t> tile;
    const std::vector<TSpooled>& tiles = FSpooled[page];
    for (size_t i = 0; i < tiles.size(); ++i) {
        if (tiles[i].Size == 0) {
            return false; // a tile never came
        }
        tile.resize(tiles[i].Size);
        if (!ReadAll(FSpool, tile.data(), tile.size(), tiles[i].Offset)
            || TIFFWriteRawTile(
                   FTif, static_cast<uint32_t>(i), tile.data(), static_cast<tmsize_t>(tile.size()))
                != static_cast<tmsize_t>(tile.size())) {
            return false;
        }
    }
    return !FFile.Failed;
}

bool TPyramidTiffWriter::Close()
{
    if (!FTif) {
        return false;
    }
    bool ok = TIFFWriteDirectory(FTif) == 1;
    for (uint32_t page = 1; ok && page < FSpec.Pages.size(); ++page) {
        ok = StartPage(page) && CopySpooledPage(page) && TIFFWriteDirectory(FTif) == 1;
    }
    TIFFClose(FTif);
    FTif = nullptr;
    ok = ok && !FFile.Failed;
    Discard();
    return ok;
}

void TPyramidTiffWriter::Discard()
{
    if (FTif) {
        TIFFClose(FTif);
        FTif = nullptr;
    }
    if (FFile.Fd >= 0) {
        (void)CloseProc(&FFile);
    }
    if (FSpool >= 0) {
        (void)IoSeam().Close(FSpool);
        FSpool = -1;
    }
    FSpooled.clear();
}
