// The TIFF row of the format table: the BigTIFF rule, the examination of a file and the probe.
#include "engine/TiffFormat.h"

#include <algorithm>

#include "engine/EngineTexts.h"
#include "engine/ProbeSupport.h"
#include "engine/TiffIo.h"
#include "engine/TiffSizeBound.h"

/// Reads the layout of the current directory and checks it against what the engine can
/// deliver as interleaved unsigned RGB(A) lines.
TTiffVerdict ExamineTiff(TIFF* tif, TTiffLayout& layout)
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
    TIFF* tif = OpenTiffRead(path, fd);
    if (!tif) {
        return TTiffVerdict::CannotOpen;
    }
    TTiffVerdict verdict = ExamineTiff(tif, layout);
    if (fd.ReadFailed) {
        verdict = TTiffVerdict::CannotOpen; // what was read may be libtiff's guess
    }
    TIFFClose(tif);
    return verdict;
}

namespace {

void ProbeTiff(TFileInfo& info, TEngineDialogs& dialogs, bool)
{
    BeginProbe(info, FileType::TIF, "TIF");
    TTiffLayout layout;
    const TTiffVerdict verdict = ExamineTiffFile(info.FileName, layout);
    if (verdict != TTiffVerdict::CannotOpen) {
        // Like the tags themselves: what was read stays visible, valid or not.
        info.Width = layout.Width;
        info.Height = layout.Height;
        info.Bits = static_cast<uint8_t>(layout.Bits);
        info.Channels = static_cast<uint8_t>(layout.Samples);
    }
    switch (verdict) {
    case TTiffVerdict::CannotOpen:
    case TTiffVerdict::NoSize:
        dialogs.ShowMessage(EngineText::HeightOrWidth0);
        return;
    case TTiffVerdict::Bits:
        dialogs.ShowMessage(EngineText::BitsMust8Or16);
        return;
    case TTiffVerdict::Channels:
        dialogs.ShowMessage(EngineText::ChannelsMust3Or4);
        return;
    case TTiffVerdict::SampleFormat:
        dialogs.ShowMessage(EngineText::TiffSampleFormat);
        return;
    case TTiffVerdict::Photometric:
        dialogs.ShowMessage(EngineText::TiffNotRgb);
        return;
    case TTiffVerdict::Compression:
        dialogs.ShowMessage(EngineText::TiffCompression);
        return;
    case TTiffVerdict::Ok:
        break;
    }
    info.BytesPerPixel = static_cast<uint8_t>(info.Channels * (info.Bits / 8));
    info.IsLsb = true;
    AcceptWithinLimits(info, dialogs);
}

bool NeedsBigTiffFor(
    uint32_t width, uint32_t height, uint8_t bytesPerPixel, const TWriteOptions& options)
{
    TTiffOutputSize size;
    size.Width = width;
    size.Height = height;
    size.BytesPerPixel = bytesPerPixel;
    size.Compression = options.Compression;
    size.RowsPerStrip = options.RowsPerStrip;
    size.TagBytes = options.KeepMetadata ? options.Metadata.IccProfile.size() : 0;
    return NeedsBigTiffOutput(size, options.ForceBigTiff);
}

const char* TiffOptionsProblem(const TWriteOptions& options, uint8_t bits, uint64_t lineBytes)
{
    return TiffOptionsReason(CheckTiffWriteOptions(options, bits, lineBytes));
}

uint8_t TiffChannelsFor(uint8_t inputChannels, const TWriteOptions& options)
{
    return TiffOutputChannels(inputChannels, options);
}

} // namespace

const TFormat& TiffFormatRow()
{
    static const TFormat kRow {
        .Type = FileType::TIF,
        .Desc = "TIF",
        .Extensions = { ".TIF", ".TIFF" },
        .Probe = ProbeTiff,
        .LinesByNumber = true,
        .OutChannels = 3,
        .OutputChannels = TiffChannelsFor,
        .OutIsLsb = true,
        .SizeInName = false,
        .Extension = ".tif",
        .NeedsLargeLayout = NeedsBigTiffFor,
        .LargeExtension = ".big.tif",
        .OptionsProblem = TiffOptionsProblem,
        .MakeReader = [] { return MakeTiffReader(); },
        .MakeWriter = MakeTiffWriter,
        .OutputKinds = { { "tif", "TIFF", TCompression::None },
            { "tif-lzw", "TIFF (LZW)", TCompression::Lzw },
            { "tif-deflate", "TIFF (Deflate)", TCompression::Deflate },
            // Older libtiff builds and many viewers cannot read it.
            { "tif-zstd", "TIFF (ZSTD)", TCompression::Zstd } },
    };
    return kRow;
}
