// Generated test images, their writers and readers, and the self-cleaning temporary folder.
#include "support/TestImages.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>

#include <tiffio.h>

#include "engine/TavmorUtils.h"

namespace TestImages {

namespace {

void Silence(const char*, const char*, va_list) { }

void SilenceTiff()
{
    TIFFSetWarningHandler(Silence);
    TIFFSetErrorHandler(Silence);
}

uint32_t PatternSample(uint32_t x, uint32_t y, uint32_t c, uint8_t bits)
{
    uint32_t v8 = 0;
    switch (c) {
    case 0:
        v8 = x & 0xFF;
        break;
    case 1:
        v8 = y & 0xFF;
        break;
    case 2:
        v8 = (x * 3 + y * 5 + 7) & 0xFF;
        break;
    case 3:
        v8 = 0x40 + ((x + 3 * y) & 0x3F);
        break;
    default:
        v8 = (x + y + c * 17) & 0xFF;
        break;
    }
    if (bits == 8) {
        return v8;
    }
    const uint32_t v16 = (v8 << 8) | ((c + 1) << 4) | (y & 0x0F);
    return bits == 16 ? v16 : (v16 << 16) | v16;
}

uint32_t OpaqueFor(uint8_t bits)
{
    return bits == 8 ? 0xFFu : bits == 16 ? 0xFFFFu : 0xFFFFFFFFu;
}

/// Samples of one line (or one plane of a line when plane >= 0) in the file's byte order of
/// the host, as libtiff wants them.
std::vector<uint8_t> HostLine(
    const TPixels& image, uint32_t y, uint32_t x0, uint32_t count, int plane, uint32_t lineSamples)
{
    const uint32_t sampleBytes = image.Bits / 8u;
    std::vector<uint8_t> line(size_t(lineSamples) * sampleBytes, 0);
    size_t at = 0;
    for (uint32_t x = x0; x < x0 + count; ++x) {
        for (uint32_t c = 0; c < image.Channels; ++c) {
            if (plane >= 0 && c != uint32_t(plane)) {
                continue;
            }
            const uint32_t v = image.At(x, y, c);
            std::memcpy(line.data() + at, &v, sampleBytes); // little-endian host
            at += sampleBytes;
        }
    }
    return line;
}

} // namespace

TTempDir::TTempDir()
{
    std::string pattern = (std::filesystem::temp_directory_path() / "tavmor-test-XXXXXX").string();
    if (!mkdtemp(pattern.data())) {
        ADD_FAILURE() << "cannot create a temporary folder";
    }
    FPath = pattern + "/";
}

TTempDir::~TTempDir()
{
    std::error_code ignored;
    std::filesystem::remove_all(FPath, ignored);
}

std::vector<std::string> TTempDir::Names() const
{
    std::vector<std::string> names;
    std::error_code ec;
    for (const auto& entry : std::filesystem::directory_iterator(FPath, ec)) {
        names.push_back(entry.path().filename().string());
    }
    std::sort(names.begin(), names.end());
    return names;
}

TPixels PatternImage(uint32_t width, uint32_t height, uint8_t bits, uint8_t channels)
{
    TPixels image { width, height, bits, channels, {} };
    image.Samples.reserve(size_t(width) * height * channels);
    for (uint32_t y = 0; y < height; ++y) {
        for (uint32_t x = 0; x < width; ++x) {
            for (uint32_t c = 0; c < channels; ++c) {
                image.Samples.push_back(PatternSample(x, y, c, bits));
            }
        }
    }
    return image;
}

TPixels WithChannels(const TPixels& image, uint8_t channels)
{
    TPixels out { image.Width, image.Height, image.Bits, channels, {} };
    out.Samples.reserve(size_t(image.Width) * image.Height * channels);
    for (uint32_t y = 0; y < image.Height; ++y) {
        for (uint32_t x = 0; x < image.Width; ++x) {
            for (uint32_t c = 0; c < channels; ++c) {
                out.Samples.push_back(
                    c < image.Channels ? image.At(x, y, c) : OpaqueFor(image.Bits));
            }
        }
    }
    return out;
}

TPixels CropOf(const TPixels& image, uint32_t x, uint32_t y, uint32_t width, uint32_t height)
{
    TPixels out { width, height, image.Bits, image.Channels, {} };
    for (uint32_t r = y; r < y + height; ++r) {
        for (uint32_t p = x; p < x + width; ++p) {
            for (uint32_t c = 0; c < image.Channels; ++c) {
                out.Samples.push_back(image.At(p, r, c));
            }
        }
    }
    return out;
}

::testing::AssertionResult SamePixels(const TPixels& expected, const TPixels& actual)
{
    if (expected.Width != actual.Width || expected.Height != actual.Height
        || expected.Bits != actual.Bits || expected.Channels != actual.Channels) {
        return ::testing::AssertionFailure()
            << "expected " << expected.Width << "x" << expected.Height << " " << int(expected.Bits)
            << " bits " << int(expected.Channels) << " channels, got " << actual.Width << "x"
            << actual.Height << " " << int(actual.Bits) << " bits " << int(actual.Channels)
            << " channels";
    }
    if (expected.Samples.size() != actual.Samples.size()) {
        return ::testing::AssertionFailure() << "sample counts differ";
    }
    for (size_t i = 0; i < expected.Samples.size(); ++i) {
        if (expected.Samples[i] != actual.Samples[i]) {
            const size_t pixel = i / expected.Channels;
            return ::testing::AssertionFailure()
                << "first difference at x=" << pixel % expected.Width
                << " y=" << pixel / expected.Width << " channel " << i % expected.Channels
                << ": expected " << expected.Samples[i] << ", got " << actual.Samples[i];
        }
    }
    return ::testing::AssertionSuccess();
}

bool WriteTiff(const std::string& path, const TPixels& image, const TTiffOptions& options)
{
    SilenceTiff();
    std::string mode = options.BigTiff ? "w8" : "w";
    mode += options.BigEndian ? "b" : "l";
    TIFF* tif = TIFFOpen(path.c_str(), mode.c_str());
    if (!tif) {
        return false;
    }
    const bool planar = options.Kind == TTiffKind::Planar || options.Kind == TTiffKind::PlanarTiled;
    const bool tiled = options.Kind == TTiffKind::Tiled || options.Kind == TTiffKind::PlanarTiled;
    bool ok = TIFFSetField(tif, TIFFTAG_IMAGEWIDTH, image.Width) == 1
        && TIFFSetField(tif, TIFFTAG_IMAGELENGTH, image.Height) == 1
        && TIFFSetField(tif, TIFFTAG_BITSPERSAMPLE, unsigned(image.Bits)) == 1
        && TIFFSetField(tif, TIFFTAG_SAMPLESPERPIXEL, unsigned(image.Channels)) == 1
        && TIFFSetField(tif, TIFFTAG_COMPRESSION, unsigned(options.Compression)) == 1
        && TIFFSetField(tif, TIFFTAG_PHOTOMETRIC, unsigned(options.Photometric)) == 1
        && TIFFSetField(tif, TIFFTAG_PLANARCONFIG,
               unsigned(planar ? PLANARCONFIG_SEPARATE : PLANARCONFIG_CONTIG))
            == 1;
    if (ok && options.SampleFormat != 0) {
        ok = TIFFSetField(tif, TIFFTAG_SAMPLEFORMAT, unsigned(options.SampleFormat)) == 1;
    }
    if (ok && image.Channels == 4 && options.Photometric == PHOTOMETRIC_RGB) {
        const uint16_t extra[] = { EXTRASAMPLE_UNASSALPHA };
        ok = TIFFSetField(tif, TIFFTAG_EXTRASAMPLES, 1, extra) == 1;
    }
    if (ok && options.Photometric == PHOTOMETRIC_SEPARATED) {
        ok = TIFFSetField(tif, TIFFTAG_INKSET, unsigned(INKSET_CMYK)) == 1;
    }
    if (ok && tiled) {
        ok = TIFFSetField(tif, TIFFTAG_TILEWIDTH, options.TileSize) == 1
            && TIFFSetField(tif, TIFFTAG_TILELENGTH, options.TileSize) == 1;
    } else if (ok) {
        ok = TIFFSetField(tif, TIFFTAG_ROWSPERSTRIP, options.RowsPerStrip) == 1;
    }
    const int planes = planar ? image.Channels : 1;
    const uint32_t sampleBytes = image.Bits / 8u;
    for (int plane = 0; ok && plane < planes; ++plane) {
        const int only = planar ? plane : -1;
        const uint32_t perPixel = planar ? 1 : image.Channels;
        if (!tiled) {
            for (uint32_t y = 0; ok && y < image.Height; ++y) {
                std::vector<uint8_t> line =
                    HostLine(image, y, 0, image.Width, only, image.Width * perPixel);
                ok = TIFFWriteScanline(tif, line.data(), y, uint16_t(plane)) == 1;
            }
            continue;
        }
        const uint32_t t = options.TileSize;
        for (uint32_t y0 = 0; ok && y0 < image.Height; y0 += t) {
            for (uint32_t x0 = 0; ok && x0 < image.Width; x0 += t) {
                std::vector<uint8_t> tile(size_t(t) * t * perPixel * sampleBytes, 0);
                const uint32_t cols = std::min(t, image.Width - x0);
                for (uint32_t y = y0; y < std::min(y0 + t, image.Height); ++y) {
                    std::vector<uint8_t> part = HostLine(image, y, x0, cols, only, cols * perPixel);
                    std::memcpy(tile.data() + size_t(y - y0) * t * perPixel * sampleBytes,
                        part.data(), part.size());
                }
                ok = TIFFWriteTile(tif, tile.data(), x0, y0, 0, uint16_t(plane)) >= 0;
            }
        }
    }
    TIFFClose(tif);
    return ok;
}

std::vector<uint8_t> KroHeader(
    uint32_t width, uint32_t height, uint32_t bits, uint32_t channels, uint8_t version)
{
    std::vector<uint8_t> h = { 'K', 'R', 'O', version };
    for (uint32_t v : { width, height, bits, channels }) {
        h.push_back(uint8_t(v >> 24));
        h.push_back(uint8_t(v >> 16));
        h.push_back(uint8_t(v >> 8));
        h.push_back(uint8_t(v));
    }
    return h;
}

bool WriteKro(const std::string& path, const TPixels& image)
{
    std::vector<uint8_t> bytes = KroHeader(image.Width, image.Height, image.Bits, image.Channels);
    for (uint32_t v : image.Samples) {
        if (image.Bits == 16) {
            bytes.push_back(uint8_t(v >> 8));
        }
        bytes.push_back(uint8_t(v));
    }
    return WriteBytes(path, bytes);
}

bool WriteRaw(const std::string& path, const TPixels& image)
{
    std::vector<uint8_t> bytes;
    for (uint32_t v : image.Samples) {
        bytes.push_back(uint8_t(v));
        if (image.Bits == 16) {
            bytes.push_back(uint8_t(v >> 8));
        }
    }
    return WriteBytes(path, bytes);
}

bool WriteBytes(const std::string& path, const std::vector<uint8_t>& bytes)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
    return bool(out);
}

std::vector<std::string> NamesIn(const std::string& folder)
{
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(folder)) {
        names.push_back(entry.path().filename().string());
    }
    std::sort(names.begin(), names.end());
    return names;
}

std::vector<uint8_t> ReadBytes(const std::string& path)
{
    std::ifstream in(path, std::ios::binary | std::ios::ate);
    if (!in) {
        return {};
    }
    std::vector<uint8_t> bytes(size_t(in.tellg()));
    in.seekg(0);
    in.read(reinterpret_cast<char*>(bytes.data()), std::streamsize(bytes.size()));
    return in ? bytes : std::vector<uint8_t> {};
}

namespace {
uint64_t Get(const std::vector<uint8_t>& b, size_t at, size_t n)
{
    uint64_t v = 0;
    for (size_t i = 0; i < n && at + i < b.size(); ++i) {
        v |= uint64_t(b[at + i]) << (8 * i);
    }
    return v;
}
} // namespace

bool PatchTiffShortTag(const std::string& path, uint16_t tag, uint16_t value)
{
    std::vector<uint8_t> b = ReadBytes(path);
    if (b.size() < 8 || b[0] != 'I' || Get(b, 2, 2) != 42) {
        return false;
    }
    const size_t ifd = size_t(Get(b, 4, 4));
    const size_t count = size_t(Get(b, ifd, 2));
    for (size_t i = 0; i < count; ++i) {
        const size_t e = ifd + 2 + i * 12;
        if (Get(b, e, 2) == tag && Get(b, e + 2, 2) == 3 && Get(b, e + 4, 4) == 1) {
            b[e + 8] = uint8_t(value);
            b[e + 9] = uint8_t(value >> 8);
            return WriteBytes(path, b);
        }
    }
    return false;
}

std::vector<uint16_t> TiffTagsOf(const std::string& path)
{
    const std::vector<uint8_t> b = ReadBytes(path);
    std::vector<uint16_t> tags;
    if (b.size() < 16 || b[0] != 'I') {
        return tags;
    }
    const bool big = Get(b, 2, 2) == 43;
    const size_t ifd = size_t(big ? Get(b, 8, 8) : Get(b, 4, 4));
    const size_t count = size_t(big ? Get(b, ifd, 8) : Get(b, ifd, 2));
    const size_t first = ifd + (big ? 8 : 2);
    const size_t entry = big ? 20 : 12;
    for (size_t i = 0; i < count && first + i * entry + 2 <= b.size(); ++i) {
        tags.push_back(uint16_t(Get(b, first + i * entry, 2)));
    }
    return tags;
}

namespace {

std::optional<TPixels> ReadTiff(const std::string& path)
{
    SilenceTiff();
    TIFF* tif = TIFFOpen(path.c_str(), "r");
    if (!tif) {
        return std::nullopt;
    }
    uint32_t w = 0;
    uint32_t h = 0;
    uint16_t bits = 0;
    uint16_t spp = 0;
    uint16_t planar = PLANARCONFIG_CONTIG;
    TIFFGetField(tif, TIFFTAG_IMAGEWIDTH, &w);
    TIFFGetField(tif, TIFFTAG_IMAGELENGTH, &h);
    TIFFGetField(tif, TIFFTAG_BITSPERSAMPLE, &bits);
    TIFFGetField(tif, TIFFTAG_SAMPLESPERPIXEL, &spp);
    TIFFGetFieldDefaulted(tif, TIFFTAG_PLANARCONFIG, &planar);
    std::optional<TPixels> result;
    if (!TIFFIsTiled(tif) && planar == PLANARCONFIG_CONTIG && (bits == 8 || bits == 16)) {
        TPixels image { w, h, uint8_t(bits), uint8_t(spp), {} };
        std::vector<uint8_t> line(size_t(TIFFScanlineSize64(tif)));
        bool ok = true;
        for (uint32_t y = 0; ok && y < h; ++y) {
            ok = TIFFReadScanline(tif, line.data(), y, 0) == 1;
            for (size_t i = 0; ok && i < size_t(w) * spp; ++i) {
                image.Samples.push_back(bits == 8 ? line[i] : uint32_t(Get(line, i * 2, 2)));
            }
        }
        if (ok) {
            result = std::move(image);
        }
    }
    TIFFClose(tif);
    return result;
}

} // namespace

std::optional<TPixels> ReadImage(const std::string& path, uint8_t rawBits)
{
    const std::string ext = UpperExtensionOf(path);
    if (ext == ".TIF" || ext == ".TIFF") {
        return ReadTiff(path);
    }
    const std::vector<uint8_t> b = ReadBytes(path);
    if (ext == ".KRO") {
        if (b.size() < 20 || b[0] != 'K' || b[1] != 'R' || b[2] != 'O') {
            return std::nullopt;
        }
        auto be = [&](size_t at) {
            return uint32_t(b[at]) << 24 | uint32_t(b[at + 1]) << 16 | uint32_t(b[at + 2]) << 8
                | b[at + 3];
        };
        TPixels image { be(4), be(8), uint8_t(be(12)), uint8_t(be(16)), {} };
        const size_t count = size_t(image.Width) * image.Height * image.Channels;
        const size_t sampleBytes = image.Bits / 8u;
        if (b.size() != 20 + count * sampleBytes) {
            return std::nullopt;
        }
        for (size_t i = 0; i < count; ++i) {
            const size_t at = 20 + i * sampleBytes;
            image.Samples.push_back(sampleBytes == 1 ? b[at] : (uint32_t(b[at]) << 8 | b[at + 1]));
        }
        return image;
    }
    if (ext == ".RAW" || ext == ".RGB") {
        uint32_t w = 0;
        uint32_t h = 0;
        RawSizeFromName(path, w, h);
        const size_t pixels = size_t(w) * h;
        uint8_t bits = rawBits;
        if (bits == 0) {
            bits = b.size() == pixels * 3 ? 8 : b.size() == pixels * 6 ? 16 : 0;
        }
        if (pixels == 0 || bits == 0 || b.size() != pixels * 3 * (bits / 8u)) {
            return std::nullopt;
        }
        TPixels image { w, h, bits, 3, {} };
        for (size_t i = 0; i < pixels * 3; ++i) {
            image.Samples.push_back(bits == 8 ? b[i] : uint32_t(Get(b, i * 2, 2)));
        }
        return image;
    }
    return std::nullopt;
}

} // namespace TestImages
