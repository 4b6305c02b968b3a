// The TIFF row of the format table: the BigTIFF rule, the examination of a file and the probe.
#include "engine/TiffFormat.h"

#include <algorithm>

#include "engine/EngineTexts.h"
#include "engine/ImageFiles.h"
#include "engine/ProbeSupport.h"
#include "engine/TiffIo.h"
#include "engine/TiffSizeBound.h"
#include "engine/TiffStriles.h"

namespace {

/// Puts why into *reason when the caller wants one; gives verdict.
TTiffVerdict Refuse(TTiffVerdict verdict, std::string* reason, const std::string& why)
{
    if (reason) {
        *reason = why;
    }
    return verdict;
}

uint64_t RoundUp16(uint64_t v)
{
    return (v + 15) & ~uint64_t { 15 };
}

/// Checks the reader's buffers for a layout against the fixed limits: one band of lines and,
/// for tiles, one decoded tile (down to the image's last row at most) or, for interleaved
/// strips with samples to skip, one undecimated line.
TTiffVerdict CheckBuffers(const TTiffLayout& l, std::string* reason)
{
    const uint64_t sampleBytes = l.Bits / 8u;
    const uint64_t line = uint64_t { l.Width } * l.Channels * sampleBytes;
    const uint64_t planeSample =
        l.Planar == PLANARCONFIG_SEPARATE ? sampleBytes : sampleBytes * l.Samples;
    if (l.Tiled) {
        const uint64_t rows = std::min(l.TileLength, l.Height);
        const uint64_t band = line * rows;
        const uint64_t tile = uint64_t { l.TileWidth } * planeSample * rows;
        // What tiles no wider than the image (rounded to the 16 pixels tiles come in) would need.
        const uint64_t fitted = RoundUp16(l.Width) * planeSample * rows;
        if (band > kMaxTiffBufferBytes) {
            return Refuse(TTiffVerdict::TooLarge, reason,
                "a row of tiles needs " + std::to_string(band) + " bytes");
        }
        if (tile > std::max(fitted, kMaxTiffTileOverhang)) {
            return Refuse(TTiffVerdict::TooLarge, reason,
                "a tile of " + std::to_string(l.TileWidth) + " x " + std::to_string(l.TileLength)
                    + " pixels needs " + std::to_string(tile) + " bytes");
        }
        return TTiffVerdict::Ok;
    }
    const uint64_t fileLine = uint64_t { l.Width } * planeSample;
    if (fileLine > kMaxTiffBufferBytes) {
        return Refuse(TTiffVerdict::TooLarge, reason,
            "a line of the file needs " + std::to_string(fileLine) + " bytes");
    }
    return TTiffVerdict::Ok;
}

} // namespace

/// Reads the layout of the current directory and checks it against what the engine can
/// deliver as interleaved unsigned RGB(A) lines.
TTiffVerdict ExamineTiff(TIFF* tif, TTiffLayout& layout, std::string* reason)
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
        return Refuse(TTiffVerdict::NoSize, reason,
            "ImageWidth " + std::to_string(width) + ", ImageLength " + std::to_string(height));
    }
    uint16_t bits = 0;
    if (TIFFGetField(tif, TIFFTAG_BITSPERSAMPLE, &bits) != 1) {
        bits = 0;
    }
    layout.Bits = bits;
    if (bits != 8 && bits != 16) {
        return Refuse(TTiffVerdict::Bits, reason, "BitsPerSample " + std::to_string(bits));
    }
    uint16_t samples = 0;
    if (TIFFGetField(tif, TIFFTAG_SAMPLESPERPIXEL, &samples) != 1) {
        samples = 0;
    }
    layout.Samples = samples;
    // Samples beyond the third are extra samples; past the fourth they are skipped, whatever
    // the fourth is (alpha or unspecified, the only meanings an extra sample has).
    uint16_t extraCount = 0;
    uint16_t* extra = nullptr;
    if (TIFFGetField(tif, TIFFTAG_EXTRASAMPLES, &extraCount, &extra) != 1 || !extra) {
        extraCount = 0;
    }
    const uint16_t fourth = samples >= 4 && extraCount >= 1 ? extra[0] : EXTRASAMPLE_UNSPECIFIED;
    if (samples < 3 || fourth > EXTRASAMPLE_UNASSALPHA) {
        return Refuse(TTiffVerdict::Channels, reason, "SamplesPerPixel " + std::to_string(samples));
    }
    layout.Channels = std::min<uint16_t>(samples, 4);
    layout.AssociatedAlpha = samples >= 4 && fourth == EXTRASAMPLE_ASSOCALPHA;
    uint16_t sampleFormat = SAMPLEFORMAT_UINT;
    if (TIFFGetField(tif, TIFFTAG_SAMPLEFORMAT, &sampleFormat) != 1) {
        sampleFormat = SAMPLEFORMAT_UINT;
    }
    if (sampleFormat != SAMPLEFORMAT_UINT) {
        return Refuse(
            TTiffVerdict::SampleFormat, reason, "SampleFormat " + std::to_string(sampleFormat));
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
        return Refuse(
            TTiffVerdict::Photometric, reason, "PlanarConfiguration " + std::to_string(planar));
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
        return Refuse(TTiffVerdict::Photometric, reason,
            photometric == 0xFFFF ? std::string("no PhotometricInterpretation")
                                  : "PhotometricInterpretation " + std::to_string(photometric));
    }
    layout.Compression = compression;
    if (!TIFFIsCODECConfigured(compression)) {
        return Refuse(
            TTiffVerdict::Compression, reason, "Compression " + std::to_string(compression));
    }
    if (jpegYCbCr && TIFFSetField(tif, TIFFTAG_JPEGCOLORMODE, JPEGCOLORMODE_RGB) != 1) {
        return Refuse(
            TTiffVerdict::Photometric, reason, "YCbCr that the JPEG codec cannot convert");
    }
    layout.Tiled = TIFFIsTiled(tif) != 0;
    if (layout.Tiled) {
        if (TIFFGetField(tif, TIFFTAG_TILEWIDTH, &layout.TileWidth) != 1
            || TIFFGetField(tif, TIFFTAG_TILELENGTH, &layout.TileLength) != 1
            || layout.TileWidth == 0 || layout.TileLength == 0) {
            return Refuse(TTiffVerdict::NoSize, reason,
                "TileWidth " + std::to_string(layout.TileWidth) + ", TileLength "
                    + std::to_string(layout.TileLength));
        }
    } else {
        uint32_t rows = 0;
        if (TIFFGetFieldDefaulted(tif, TIFFTAG_ROWSPERSTRIP, &rows) != 1 || rows == 0) {
            rows = height;
        }
        layout.RowsPerStrip = std::min(rows, height);
    }
    return CheckBuffers(layout, reason);
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

TTiffVerdict ExamineTiffFile(const std::string& path, TTiffLayout& layout, std::string& reason)
{
    layout = {};
    reason.clear();
    TTiffFd fd;
    TIFF* tif = OpenTiffRead(path, fd);
    if (!tif) {
        reason = TiffFailureText(fd);
        return TTiffVerdict::CannotOpen;
    }
    TTiffVerdict verdict = ExamineTiff(tif, layout, &reason);
    if (fd.ReadFailed) {
        // What was read may be libtiff's guess.
        verdict = TTiffVerdict::CannotOpen;
        reason = TiffFailureText(fd);
    }
    TIFFClose(tif);
    return verdict;
}

namespace {

void ProbeTiff(TFileInfo& info, TEngineDialogs& dialogs, bool)
{
    BeginProbe(info, FileType::TIF, "TIF");
    TTiffLayout layout;
    std::string reason;
    const TTiffVerdict verdict = ExamineTiffFile(info.FileName, layout, reason);
    if (verdict != TTiffVerdict::CannotOpen) {
        // Like the tags themselves: what was read stays visible, valid or not.
        info.Width = layout.Width;
        info.Height = layout.Height;
        info.Bits = static_cast<uint8_t>(layout.Bits);
        info.Channels = static_cast<uint8_t>(
            layout.Channels != 0 ? layout.Channels : std::min<uint16_t>(layout.Samples, 255));
        info.AssociatedAlpha = layout.AssociatedAlpha;
        info.SkippedSamples = layout.Samples > layout.Channels && layout.Channels != 0
            ? static_cast<uint16_t>(layout.Samples - layout.Channels)
            : 0;
    }
    if (verdict != TTiffVerdict::Ok) {
        dialogs.NoteDetail(info.FileName, reason);
    }
    switch (verdict) {
    case TTiffVerdict::TooLarge:
        dialogs.ShowMessage(EngineText::DimensionsExceedLimits);
        return;
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

/// Opens the file again and checks its strips or tiles against the geometry and its size.
bool CheckWholeTiff(const TFileInfo& info, std::string& reason)
{
    reason.clear();
    TTiffFd fd;
    TIFF* tif = OpenTiffRead(info.FileName, fd);
    if (!tif) {
        reason = TiffFailureText(fd);
        return false;
    }
    TTiffLayout layout;
    if (ExamineTiff(tif, layout, &reason) == TTiffVerdict::Ok) {
        reason = CheckStriles(tif, layout, TiffFileSize(tif));
    }
    if (reason.empty() && (fd.ReadFailed || fd.Error != 0)) {
        reason = TiffFailureText(fd);
        if (reason.empty()) {
            reason = ErrorText(EIO);
        }
    }
    TIFFClose(tif);
    return reason.empty();
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
        .CheckWholeRead = CheckWholeTiff,
    };
    return kRow;
}
