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
#include "engine/TiffIo.h"

namespace {

/// Moves size bytes between the spool and memory at offset, over short transfers.
template <typename TBytes, typename TCall>
bool Transfer(TBytes* data, size_t size, uint64_t at, TCall call)
{
    while (size > 0) {
        const ssize_t n = call(data, size, static_cast<int64_t>(at));
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            return false;
        }
        data += n;
        size -= static_cast<size_t>(n);
        at += static_cast<uint64_t>(n);
    }
    return true;
}

bool WriteAll(int fd, const uint8_t* data, size_t size, uint64_t at)
{
    return Transfer(data, size, at,
        [fd](const uint8_t* d, size_t n, int64_t o) { return IoSeam().PWrite(fd, d, n, o); });
}

bool ReadAll(int fd, uint8_t* data, size_t size, uint64_t at)
{
    return Transfer(data, size, at,
        [fd](uint8_t* d, size_t n, int64_t o) { return IoSeam().PRead(fd, d, n, o); });
}

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

TPyramidTiffWriter::TPyramidTiffWriter() = default;

TPyramidTiffWriter::~TPyramidTiffWriter()
{
    Discard();
}

bool TPyramidTiffWriter::Open(const std::string& path, const TPyramidTiffSpec& setup)
{
    Discard();
    SilenceTiffLibrary();
    if (setup.Pages.empty() || setup.TileSize == 0 || setup.TileSize % 16 != 0) {
        return false;
    }
    FSpec = setup;
    FFd = IoSeam().Open(path.c_str(), O_RDWR | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    if (FFd < 0) {
        return false;
    }
    FState = std::make_unique<TTiffFd>();
    FTif = OpenTiffWrite(FFd, path, setup.BigTiff, *FState);
    if (!FTif) {
        Discard();
        return false;
    }
    if (setup.Pages.size() > 1) {
        FSpool = OpenSpool(DirectoryOf(path));
        if (FSpool < 0) {
            Discard();
            return false;
        }
    }
    FSpoolEnd = 0;
    FSpooled.assign(setup.Pages.size(), {});
    for (size_t p = 1; p < setup.Pages.size(); ++p) {
        FSpooled[p].resize(size_t(TilesAcross(setup.Pages[p].Width, setup.TileSize))
            * TilesAcross(setup.Pages[p].Height, setup.TileSize));
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
        if (ok && !FSpec.JpegTables.empty()) {
            // libtiff keeps its own copy of the tables.
            ok = TIFFSetField(FTif, TIFFTAG_JPEGTABLES,
                     static_cast<uint32_t>(FSpec.JpegTables.size()), FSpec.JpegTables.data())
                == 1;
        }
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
            && !FState->Failed;
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
    return !FState->Failed;
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
    ok = ok && !FState->Failed && IoSeam().Close(FFd) == 0;
    FFd = -1;
    Discard();
    return ok;
}

void TPyramidTiffWriter::Discard()
{
    if (FTif) {
        TIFFClose(FTif);
        FTif = nullptr;
    }
    if (FFd >= 0) {
        (void)IoSeam().Close(FFd);
        FFd = -1;
    }
    FState.reset();
    if (FSpool >= 0) {
        (void)IoSeam().Close(FSpool);
        FSpool = -1;
    }
    FSpooled.clear();
}
