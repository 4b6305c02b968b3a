// Reading and writing the ICC profile, resolution, Orientation, alpha kind and codec facts.
#include "engine/TiffMetadata.h"

#include <cctype>
#include <fcntl.h>

#include <tiffio.h>

#include "engine/IoSeam.h"
#include "engine/TiffIo.h"

std::string CompressionName(uint16_t code)
{
    // libtiff calls code 8 "AdobeDeflate" and 32946 "Deflate"; both are one codec to a user.
    if (code == COMPRESSION_ADOBE_DEFLATE || code == COMPRESSION_DEFLATE) {
        return "deflate";
    }
    const TIFFCodec* codec = TIFFFindCODEC(code);
    if (!codec || !codec->name) {
        return "unknown";
    }
    std::string name = codec->name;
    for (char& c : name) {
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    }
    return name;
}

const char* AlphaKindName(TAlphaKind kind)
{
    switch (kind) {
    case TAlphaKind::None:
        return "none";
    case TAlphaKind::Unassociated:
        return "unassociated";
    case TAlphaKind::Associated:
        return "associated";
    case TAlphaKind::Unspecified:
        break;
    }
    return "unspecified";
}

const char* ResolutionUnitName(TResolutionUnit unit)
{
    switch (unit) {
    case TResolutionUnit::Inch:
        return "inch";
    case TResolutionUnit::Centimeter:
        return "cm";
    case TResolutionUnit::None:
        break;
    }
    return "none";
}

namespace {

TAlphaKind AlphaKindOf(TIFF* tif)
{
    uint16_t count = 0;
    uint16_t* kinds = nullptr;
    if (TIFFGetField(tif, TIFFTAG_EXTRASAMPLES, &count, &kinds) == 1 && count > 0 && kinds) {
        switch (kinds[0]) {
        case EXTRASAMPLE_ASSOCALPHA:
            return TAlphaKind::Associated;
        case EXTRASAMPLE_UNASSALPHA:
            return TAlphaKind::Unassociated;
        default:
            return TAlphaKind::Unspecified;
        }
    }
    uint16_t samples = 0;
    uint16_t photometric = PHOTOMETRIC_RGB;
    (void)TIFFGetFieldDefaulted(tif, TIFFTAG_SAMPLESPERPIXEL, &samples);
    (void)TIFFGetFieldDefaulted(tif, TIFFTAG_PHOTOMETRIC, &photometric);
    // Samples beyond the colour ones without the tag: an extra sample of unknown meaning.
    const uint16_t colours =
        photometric == PHOTOMETRIC_MINISBLACK || photometric == PHOTOMETRIC_MINISWHITE ? 1 : 3;
    return samples > colours ? TAlphaKind::Unspecified : TAlphaKind::None;
}

} // namespace

TTiffMetadata ReadTiffMetadata(TIFF* tif)
{
    TTiffMetadata m;
    uint16_t compression = COMPRESSION_NONE;
    if (TIFFGetField(tif, TIFFTAG_COMPRESSION, &compression) != 1) {
        compression = COMPRESSION_NONE;
    }
    m.CompressionCode = compression;
    m.Compression = CompressionName(compression);
    uint16_t predictor = PREDICTOR_NONE;
    // The tag belongs to the codecs that have a predictor; other files have none.
    if (TIFFGetField(tif, TIFFTAG_PREDICTOR, &predictor) == 1 && predictor >= 1 && predictor <= 3) {
        m.Predictor = predictor;
    }
    m.Alpha = AlphaKindOf(tif);
    uint32_t iccBytes = 0;
    void* icc = nullptr;
    if (TIFFGetField(tif, TIFFTAG_ICCPROFILE, &iccBytes, &icc) == 1 && icc && iccBytes > 0) {
        const auto* bytes = static_cast<const uint8_t*>(icc);
        m.IccProfile.assign(bytes, bytes + iccBytes);
    }
    float x = 0;
    float y = 0;
    if (TIFFGetField(tif, TIFFTAG_XRESOLUTION, &x) == 1
        && TIFFGetField(tif, TIFFTAG_YRESOLUTION, &y) == 1 && x > 0 && y > 0) {
        uint16_t unit = RESUNIT_INCH; // the TIFF default when the tag is absent
        if (TIFFGetField(tif, TIFFTAG_RESOLUTIONUNIT, &unit) != 1
            || (unit != RESUNIT_NONE && unit != RESUNIT_INCH && unit != RESUNIT_CENTIMETER)) {
            unit = RESUNIT_INCH;
        }
        m.Resolution = TTiffResolution { x, y, static_cast<TResolutionUnit>(unit) };
    }
    uint16_t orientation = ORIENTATION_TOPLEFT;
    if (TIFFGetField(tif, TIFFTAG_ORIENTATION, &orientation) == 1 && orientation >= 1
        && orientation <= 8) {
        m.Orientation = orientation;
    }
    return m;
}

bool ReadTiffMetadataFile(const std::string& path, TTiffMetadata& metadata)
{
    metadata = {};
    TTiffFd io;
    TIFF* tif = OpenTiffRead(path, io);
    bool ok = tif != nullptr;
    if (tif) {
        metadata = ReadTiffMetadata(tif);
        ok = !io.ReadFailed;
        TIFFClose(tif);
    }
    if (!ok) {
        metadata = {};
    }
    return ok;
}

bool WriteTiffMetadata(TIFF* tif, const TTiffMetadata& metadata)
{
    if (!metadata.IccProfile.empty()
        && TIFFSetField(tif, TIFFTAG_ICCPROFILE, static_cast<uint32_t>(metadata.IccProfile.size()),
               metadata.IccProfile.data())
            != 1) {
        return false;
    }
    if (metadata.Resolution) {
        const TTiffResolution& r = *metadata.Resolution;
        if (TIFFSetField(tif, TIFFTAG_XRESOLUTION, double(r.X)) != 1
            || TIFFSetField(tif, TIFFTAG_YRESOLUTION, double(r.Y)) != 1
            || TIFFSetField(tif, TIFFTAG_RESOLUTIONUNIT, static_cast<unsigned>(r.Unit)) != 1) {
            return false;
        }
    }
    if (metadata.Orientation != ORIENTATION_TOPLEFT
        && TIFFSetField(tif, TIFFTAG_ORIENTATION, static_cast<unsigned>(metadata.Orientation))
            != 1) {
        return false;
    }
    return true;
}

bool WriteUnassociatedAlpha(TIFF* tif)
{
    const uint16_t kinds[] = { EXTRASAMPLE_UNASSALPHA };
    return TIFFSetField(tif, TIFFTAG_EXTRASAMPLES, 1, kinds) == 1;
}
