// tavmor-genimage: writes deterministic synthetic images (a panorama and simple test patterns)
// as TIFF, KRO or RAW, one line at a time, for the demo, the benchmarks and the fuzz corpus.

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <charconv>
#include <cmath>
#include <csignal>
#include <cstdarg>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <string_view>
#include <sys/statvfs.h>
#include <unistd.h>
#include <vector>

#include <tiffio.h>

namespace {

constexpr const char* kUsage =
    "Usage: tavmor-genimage OUT --width W --height H [--bits 8|16] [--channels 3|4]\n"
    "                       [--format tif|kro|raw] [--compression none|lzw] [--tiled TW,TH]\n"
    "                       [--planar] [--bigtiff] [--pattern panorama|position|noise|flat]\n"
    "                       [--quiet]\n"
    "\n"
    "Writes a synthetic image, one line at a time (memory follows the width, not the height).\n"
    "  --format       tif (one line per strip), kro (RGBA, big-endian header and samples) or\n"
    "                 raw (headerless RGB, 16-bit samples little-endian; put the size in\n"
    "                 OUT yourself, e.g. pano_20000X10000.raw); default: OUT's extension\n"
    "  --channels     3 (RGB, default) or 4 (RGBA; the default and only choice for kro)\n"
    "  --tiled TW,TH  TIFF tiles of TW x TH pixels (multiples of 16) instead of strips\n"
    "  --planar       TIFF with one plane per channel\n"
    "  --bigtiff      write BigTIFF (needed for more than about 4 GB of TIFF data)\n"
    "  --pattern      panorama (default: sky, hills, grid, zone-plate rings, fine texture),\n"
    "                 position (R = x, G = y, B = x xor y, A = x + y, cut to the bit depth),\n"
    "                 noise (a hash per sample) or flat (one colour per channel)\n";

// Classic TIFF offsets are 32-bit; keep clear of 4 GiB so the directory and strip tables fit.
constexpr uint64_t kClassicTiffLimit = 4'000'000'000ULL;
// Room for headers, tags and strip tables when checking free space.
constexpr uint64_t kFreeSpaceMargin = 16ULL << 20;

enum class TFormat { Tif, Kro, Raw };
enum class TPattern { Panorama, Position, Noise, Flat };

struct TOptions {
    std::string Out;
    uint32_t Width = 0;
    uint32_t Height = 0;
    uint32_t Bits = 8;
    uint32_t Channels = 0; // 0: the format's default
    TFormat Format = TFormat::Tif;
    bool FormatGiven = false;
    bool Lzw = false;
    uint32_t TileWidth = 0;
    uint32_t TileHeight = 0;
    bool Planar = false;
    bool BigTiff = false;
    TPattern Pattern = TPattern::Panorama;
    bool Quiet = false;
};

// Set by Ctrl+C; every line loop stops at its next line and the output guard removes the file.
volatile std::sig_atomic_t Interrupted = 0;

void OnInterrupt(int)
{
    Interrupted = 1;
}

// The last libtiff message, shown in our own error text instead of libtiff printing it.
std::string LastTiffMessage;

void KeepTiffMessage(const char* module, const char* fmt, va_list ap)
{
    char text[512];
    vsnprintf(text, sizeof text, fmt, ap);
    LastTiffMessage = module ? std::string(module) + ": " + text : std::string(text);
}

void IgnoreTiffWarning(const char*, const char*, va_list) { }

[[nodiscard]] bool Fail(const std::string& text)
{
    std::fprintf(stderr, "tavmor-genimage: %s\n", text.c_str());
    return false;
}

[[nodiscard]] bool ParseU32(std::string_view text, uint32_t& value)
{
    const char* end = text.data() + text.size();
    auto [ptr, ec] = std::from_chars(text.data(), end, value);
    return ec == std::errc() && ptr == end && !text.empty();
}

/// Reads the command line into options; false (after printing why) when it is not usable.
[[nodiscard]] bool ParseArgs(int argc, char** argv, TOptions& o)
{
    std::vector<std::string_view> args(argv + 1, argv + argc);
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string_view a = args[i];
        auto value = [&](std::string_view& v) {
            if (i + 1 >= args.size())
                return Fail(std::string(a) + " needs a value");
            v = args[++i];
            return true;
        };
        std::string_view v;
        if (a == "--help" || a == "-h") {
            std::fputs(kUsage, stdout);
            std::exit(0);
        } else if (a == "--width" || a == "--height") {
            if (!value(v))
                return false;
            uint32_t& target = a == "--width" ? o.Width : o.Height;
            if (!ParseU32(v, target) || target == 0)
                return Fail(std::string(a) + " must be a whole number from 1 to 4294967295");
        } else if (a == "--bits") {
            if (!value(v))
                return false;
            if (!ParseU32(v, o.Bits) || (o.Bits != 8 && o.Bits != 16))
                return Fail("--bits must be 8 or 16");
        } else if (a == "--channels") {
            if (!value(v))
                return false;
            if (!ParseU32(v, o.Channels) || (o.Channels != 3 && o.Channels != 4))
                return Fail("--channels must be 3 or 4");
        } else if (a == "--format") {
            if (!value(v))
                return false;
            o.FormatGiven = true;
            if (v == "tif")
                o.Format = TFormat::Tif;
            else if (v == "kro")
                o.Format = TFormat::Kro;
            else if (v == "raw")
                o.Format = TFormat::Raw;
            else
                return Fail("--format must be tif, kro or raw");
        } else if (a == "--compression") {
            if (!value(v))
                return false;
            if (v != "none" && v != "lzw")
                return Fail("--compression must be none or lzw");
            o.Lzw = v == "lzw";
        } else if (a == "--tiled") {
            if (!value(v))
                return false;
            const size_t comma = v.find(',');
            if (comma == std::string_view::npos || !ParseU32(v.substr(0, comma), o.TileWidth)
                || !ParseU32(v.substr(comma + 1), o.TileHeight) || o.TileWidth == 0
                || o.TileHeight == 0 || o.TileWidth % 16 != 0 || o.TileHeight % 16 != 0)
                return Fail("--tiled needs TW,TH, both multiples of 16 (e.g. 256,256)");
        } else if (a == "--planar") {
            o.Planar = true;
        } else if (a == "--bigtiff") {
            o.BigTiff = true;
        } else if (a == "--quiet") {
            o.Quiet = true;
        } else if (a == "--pattern") {
            if (!value(v))
                return false;
            if (v == "panorama")
                o.Pattern = TPattern::Panorama;
            else if (v == "position")
                o.Pattern = TPattern::Position;
            else if (v == "noise")
                o.Pattern = TPattern::Noise;
            else if (v == "flat")
                o.Pattern = TPattern::Flat;
            else
                return Fail("--pattern must be panorama, position, noise or flat");
        } else if (a.starts_with("-")) {
            return Fail("unknown option " + std::string(a) + " (see --help)");
        } else if (o.Out.empty()) {
            o.Out = a;
        } else {
            return Fail("only one output file may be given");
        }
    }
    if (o.Out.empty() || o.Width == 0 || o.Height == 0) {
        std::fputs(kUsage, stderr);
        return false;
    }
    if (!o.FormatGiven) {
        // Without --format the extension decides, so "pano_20000X10000.raw" is a RAW file.
        std::string ext = o.Out.substr(std::min(o.Out.size(), o.Out.rfind('.')));
        for (char& c : ext)
            c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        o.Format = ext == ".raw" ? TFormat::Raw : ext == ".kro" ? TFormat::Kro : TFormat::Tif;
    }
    const uint32_t defaultChannels = o.Format == TFormat::Kro ? 4 : 3;
    if (o.Channels == 0)
        o.Channels = defaultChannels;
    if (o.Format == TFormat::Kro && o.Channels != 4)
        return Fail("KRO files carry 4 channels");
    if (o.Format == TFormat::Raw && o.Channels != 3)
        return Fail("RAW files carry 3 channels");
    if (o.Format != TFormat::Tif && (o.Lzw || o.TileWidth || o.Planar || o.BigTiff))
        return Fail("--compression, --tiled, --planar and --bigtiff apply to TIFF only");
    return true;
}

/// A cheap, well-mixed 32-bit hash of a position: the source of every "random" value here.
inline uint32_t Hash(uint32_t x, uint32_t y)
{
    uint32_t h = x * 0x9E3779B1u ^ (y + 0x7F4A7C15u) * 0x85EBCA77u;
    h ^= h >> 15;
    h *= 0x2C1B3C6Du;
    h ^= h >> 12;
    h *= 0x297A2D39u;
    h ^= h >> 15;
    return h;
}

inline uint16_t Clamp16(int32_t v)
{
    return static_cast<uint16_t>(std::clamp(v, 0, 65535));
}

/// Produces the pattern line by line as four samples per pixel (R, G, B, A), already cut to
/// the bit depth (0..255 for 8 bits). Keeps only per-column tables, so memory follows the width.
class TPatternSource {
public:
    TPatternSource(TPattern pattern, uint32_t width, uint32_t height, uint32_t bits)
        : Pattern(pattern)
        , Width(width)
        , Height(height)
        , Shift(bits == 8 ? 8 : 0)
        , Mask(bits == 8 ? 0xFFu : 0xFFFFu)
    {
        if (Pattern == TPattern::Panorama)
            BuildPanoramaTables();
    }

    /// Fills rgba (4 × Width samples) with line y.
    void Line(uint32_t y, uint16_t* rgba) const
    {
        switch (Pattern) {
        case TPattern::Panorama:
            PanoramaLine(y, rgba);
            break;
        case TPattern::Position:
            for (uint32_t x = 0; x < Width; ++x, rgba += 4) {
                rgba[0] = static_cast<uint16_t>(x & Mask);
                rgba[1] = static_cast<uint16_t>(y & Mask);
                rgba[2] = static_cast<uint16_t>((x ^ y) & Mask);
                rgba[3] = static_cast<uint16_t>((x + y) & Mask);
            }
            break;
        case TPattern::Noise:
            for (uint32_t x = 0; x < Width; ++x, rgba += 4) {
                const uint32_t a = Hash(x, y), b = Hash(x + 0x51ED270Bu, y);
                rgba[0] = static_cast<uint16_t>(a & Mask);
                rgba[1] = static_cast<uint16_t>((a >> 16) & Mask);
                rgba[2] = static_cast<uint16_t>(b & Mask);
                rgba[3] = static_cast<uint16_t>((b >> 16) & Mask);
            }
            break;
        case TPattern::Flat:
            for (uint32_t x = 0; x < Width; ++x, rgba += 4) {
                rgba[0] = static_cast<uint16_t>(0x4080u >> Shift);
                rgba[1] = static_cast<uint16_t>(0x8040u >> Shift);
                rgba[2] = static_cast<uint16_t>(0xC020u >> Shift);
                rgba[3] = static_cast<uint16_t>(0xFFFFu >> Shift);
            }
            break;
        }
    }

private:
    // The panorama: a sky gradient over two ridges of hills drawn from sums of sines, a grid
    // of lines every GridStep pixels, and rings on a lattice of RingStep. The rings form zone
    // plates (band width shrinks with the radius) so that a resampler meets every frequency,
    // and a per-pixel hash texture keeps LZW and the filters honest.
    void BuildPanoramaTables()
    {
        const uint32_t shorter = std::min(Width, Height);
        GridStep = std::max<uint32_t>(8, shorter >= 8000 ? 1000 : shorter / 8);
        RingStep = std::max<uint32_t>(16, shorter / 2);
        RingRadius2 = static_cast<uint64_t>(RingStep) * RingStep / 100 * 16; // radius 0.4 step
        // Ring index = d² / (2·RingStep): bands of width RingStep / r pixels at radius r.
        RingScale = (1ULL << 32) / (2ULL * RingStep);
        FarRidge.resize(Width);
        NearRidge.resize(Width);
        const double h = Height;
        const double twoPi = 6.283185307179586;
        for (uint32_t x = 0; x < Width; ++x) {
            const double t = static_cast<double>(x) / std::max<uint32_t>(Width, 1);
            const double far = 0.42 + 0.06 * std::sin(twoPi * (t * 2.3 + 0.1))
                + 0.03 * std::sin(twoPi * (t * 7.7 + 0.4)) + 0.01 * std::sin(twoPi * t * 41.0);
            const double nearR = 0.62 + 0.08 * std::sin(twoPi * (t * 1.7 + 0.6))
                + 0.04 * std::sin(twoPi * (t * 5.3 + 0.2)) + 0.015 * std::sin(twoPi * t * 23.0)
                + 0.004 * std::sin(twoPi * t * 131.0);
            FarRidge[x] = static_cast<int64_t>(far * h);
            NearRidge[x] = static_cast<int64_t>(nearR * h);
        }
    }

    void PanoramaLine(uint32_t y, uint16_t* rgba) const
    {
        // Rows and ridges are 64-bit: heights reach 2^32 - 1, and depth * 16 must not overflow.
        const int64_t iy = y;
        // Sky colour of this row: deep blue at the top to pale near the horizon.
        const int64_t t = static_cast<int64_t>(y) * 65535 / Height;
        const int32_t skyR = static_cast<int32_t>(9000 + t * 40000 / 65535);
        const int32_t skyG = static_cast<int32_t>(20000 + t * 35000 / 65535);
        const int32_t skyB = static_cast<int32_t>(42000 + t * 20000 / 65535);
        const bool gridRow = y % GridStep < 2;
        const int64_t dy = static_cast<int64_t>(y % RingStep) - RingStep / 2;
        const uint64_t dy2 = static_cast<uint64_t>(dy * dy);
        const bool ringRows = dy2 < RingRadius2;
        static constexpr int32_t kRingColours[6][3] = { { 62000, 9000, 9000 },
            { 62000, 52000, 6000 }, { 8000, 52000, 12000 }, { 6000, 50000, 60000 },
            { 10000, 14000, 60000 }, { 52000, 10000, 56000 } };

        uint32_t rx = 0; // x % RingStep, kept incrementally
        for (uint32_t x = 0; x < Width; ++x, rgba += 4) {
            const uint32_t h = Hash(x, y);
            const int32_t noise = static_cast<int32_t>(h & 0x3FF) - 512; // about ±2 in 8 bits
            int32_t r, g, b;
            int32_t a = 65535;
            if (iy < FarRidge[x]) {
                r = skyR + noise;
                g = skyG + noise;
                b = skyB + noise;
            } else if (iy < NearRidge[x]) {
                // Far hills: blue-grey, darker with depth below the ridge, fine speckle.
                const int32_t depth =
                    static_cast<int32_t>(std::min<int64_t>((iy - FarRidge[x]) * 16, 12000));
                const int32_t speckle = static_cast<int32_t>((h >> 10) & 0xFFF) - 2048;
                r = 26000 - depth + speckle;
                g = 30000 - depth + speckle;
                b = 38000 - depth + speckle;
            } else {
                // Near hills: green fields in slanted stripes with a strong texture.
                const int32_t depth =
                    static_cast<int32_t>(std::min<int64_t>((iy - NearRidge[x]) * 8, 14000));
                const int32_t stripe = ((x + 2 * y) >> 4) & 1 ? 5000 : 0;
                const int32_t grain = static_cast<int32_t>((h >> 10) & 0x1FFF) - 4096;
                r = 12000 + depth / 2 + stripe + grain;
                g = 30000 - depth + stripe + grain;
                b = 8000 + grain / 2;
            }
            if (ringRows) {
                const int64_t dx = static_cast<int64_t>(rx) - RingStep / 2;
                const uint64_t d2 = static_cast<uint64_t>(dx * dx) + dy2;
                if (d2 < RingRadius2) {
                    const uint64_t ring = (d2 * RingScale) >> 32;
                    if (ring & 1) {
                        const int32_t* c = kRingColours[(ring >> 1) % 6];
                        r = c[0];
                        g = c[1];
                        b = c[2];
                    }
                    a = 65535 - static_cast<int32_t>(ring % 4) * 12000;
                }
            }
            if (gridRow || x % GridStep < 2) {
                r = g = b = 60000;
            }
            rgba[0] = static_cast<uint16_t>(Clamp16(r) >> Shift);
            rgba[1] = static_cast<uint16_t>(Clamp16(g) >> Shift);
            rgba[2] = static_cast<uint16_t>(Clamp16(b) >> Shift);
            rgba[3] = static_cast<uint16_t>(static_cast<uint32_t>(a) >> Shift);
            if (++rx == RingStep)
                rx = 0;
        }
    }

    TPattern Pattern;
    uint32_t Width;
    uint32_t Height;
    uint32_t Shift;
    uint32_t Mask;
    uint32_t GridStep = 1;
    uint32_t RingStep = 1;
    uint64_t RingRadius2 = 0;
    uint64_t RingScale = 0;
    std::vector<int64_t> FarRidge;
    std::vector<int64_t> NearRidge;
};

/// Packs four-sample pixels into the file's sample layout: `channels` samples per pixel, one
/// byte each for 8 bits, two bytes in the chosen order for 16 bits.
void PackLine(const uint16_t* rgba, uint32_t width, uint32_t channels, uint32_t bits,
    bool bigEndian, uint8_t* out)
{
    if (bits == 8) {
        for (uint32_t x = 0; x < width; ++x, rgba += 4)
            for (uint32_t c = 0; c < channels; ++c)
                *out++ = static_cast<uint8_t>(rgba[c]);
        return;
    }
    for (uint32_t x = 0; x < width; ++x, rgba += 4)
        for (uint32_t c = 0; c < channels; ++c) {
            const uint16_t v = rgba[c];
            *out++ = static_cast<uint8_t>(bigEndian ? v >> 8 : v & 0xFF);
            *out++ = static_cast<uint8_t>(bigEndian ? v & 0xFF : v >> 8);
        }
}

/// One channel of a line, for planar TIFF: samples in the machine's order.
void PackPlane(const uint16_t* rgba, uint32_t width, uint32_t channel, uint32_t bits, uint8_t* out)
{
    if (bits == 8) {
        for (uint32_t x = 0; x < width; ++x)
            out[x] = static_cast<uint8_t>(rgba[4 * x + channel]);
        return;
    }
    for (uint32_t x = 0; x < width; ++x) {
        const uint16_t v = rgba[4 * x + channel];
        std::memcpy(out + 2 * static_cast<size_t>(x), &v, 2);
    }
}

/// Deletes the output unless Commit was called, so a failed run leaves nothing half-written.
class TOutputGuard {
public:
    explicit TOutputGuard(std::string path)
        : Path(std::move(path))
    {
    }
    ~TOutputGuard()
    {
        // Only regular files: writing to /dev/full or /dev/null must not remove the device.
        std::error_code ec;
        if (!Committed && std::filesystem::is_regular_file(Path, ec))
            std::filesystem::remove(Path, ec);
    }
    TOutputGuard(const TOutputGuard&) = delete;
    TOutputGuard& operator=(const TOutputGuard&) = delete;
    void Commit() { Committed = true; }

private:
    std::string Path;
    bool Committed = false;
};

/// Shows a percentage on a terminal, about every 1 % of the lines.
class TProgress {
public:
    TProgress(uint32_t total, bool quiet)
        : Total(total)
        , Step(std::max<uint32_t>(1, total / 100))
        , Shown(!quiet && isatty(STDERR_FILENO))
    {
    }
    void Line(uint32_t done)
    {
        if (Shown && done % Step == 0)
            std::fprintf(stderr, "\r%3u%%", static_cast<unsigned>(uint64_t(done) * 100 / Total));
    }
    ~TProgress()
    {
        if (Shown)
            std::fputs("\r    \r", stderr);
    }

private:
    uint32_t Total;
    uint32_t Step;
    bool Shown;
};

uint64_t FreeBytesFor(const std::string& path)
{
    const size_t slash = path.rfind('/');
    const std::string folder = slash == std::string::npos ? "." : path.substr(0, slash + 1);
    struct statvfs s { };
    if (statvfs(folder.c_str(), &s) != 0)
        return UINT64_MAX; // unknown: let the writes report a full disk
    return static_cast<uint64_t>(s.f_bavail) * s.f_frsize;
}

/// KRO or RAW: a sequential file of packed lines (KRO after its 20-byte big-endian header).
[[nodiscard]] bool WriteSequential(const TOptions& o, const TPatternSource& source)
{
    const bool kro = o.Format == TFormat::Kro;
    std::FILE* f = std::fopen(o.Out.c_str(), "wb");
    if (!f)
        return Fail("cannot create " + o.Out + ": " + std::strerror(errno));
    TOutputGuard guard(o.Out);
    std::vector<char> fileBuffer(4 << 20);
    std::setvbuf(f, fileBuffer.data(), _IOFBF, fileBuffer.size());
    bool ok = true;
    if (kro) {
        uint8_t header[20] = { 'K', 'R', 'O', 1 };
        const uint32_t fields[4] = { o.Width, o.Height, o.Bits, o.Channels };
        for (int i = 0; i < 4; ++i)
            for (int k = 0; k < 4; ++k)
                header[4 + 4 * i + k] = static_cast<uint8_t>(fields[i] >> (24 - 8 * k));
        ok = std::fwrite(header, 1, sizeof header, f) == sizeof header;
    }
    const size_t lineBytes = static_cast<size_t>(o.Width) * o.Channels * (o.Bits / 8);
    std::vector<uint16_t> rgba(static_cast<size_t>(o.Width) * 4);
    std::vector<uint8_t> line(lineBytes);
    TProgress progress(o.Height, o.Quiet);
    for (uint32_t y = 0; ok && !Interrupted && y < o.Height; ++y) {
        source.Line(y, rgba.data());
        PackLine(rgba.data(), o.Width, o.Channels, o.Bits, kro, line.data());
        ok = std::fwrite(line.data(), 1, lineBytes, f) == lineBytes;
        progress.Line(y + 1);
    }
    const int savedErrno = errno;
    if (Interrupted) {
        std::fclose(f);
        return false;
    }
    if (std::fclose(f) != 0 || !ok)
        return Fail("cannot write " + o.Out + ": " + std::strerror(ok ? errno : savedErrno));
    guard.Commit();
    return true;
}

/// TIFF through libtiff: strips of one line, or tiles; contiguous or one plane per channel.
[[nodiscard]] bool WriteTiff(const TOptions& o, const TPatternSource& source)
{
    TIFF* tif = TIFFOpen(o.Out.c_str(), o.BigTiff ? "w8" : "w");
    if (!tif)
        return Fail("cannot create " + o.Out + ": " + LastTiffMessage);
    TOutputGuard guard(o.Out);
    const bool tiled = o.TileWidth != 0;
    const uint16_t samples = static_cast<uint16_t>(o.Channels);
    TIFFSetField(tif, TIFFTAG_IMAGEWIDTH, o.Width);
    TIFFSetField(tif, TIFFTAG_IMAGELENGTH, o.Height);
    TIFFSetField(tif, TIFFTAG_BITSPERSAMPLE, static_cast<uint16_t>(o.Bits));
    TIFFSetField(tif, TIFFTAG_SAMPLESPERPIXEL, samples);
    if (tiled) {
        TIFFSetField(tif, TIFFTAG_TILEWIDTH, o.TileWidth);
        TIFFSetField(tif, TIFFTAG_TILELENGTH, o.TileHeight);
    } else {
        TIFFSetField(tif, TIFFTAG_ROWSPERSTRIP, 1u);
    }
    TIFFSetField(tif, TIFFTAG_COMPRESSION, o.Lzw ? COMPRESSION_LZW : COMPRESSION_NONE);
    TIFFSetField(tif, TIFFTAG_PLANARCONFIG, o.Planar ? PLANARCONFIG_SEPARATE : PLANARCONFIG_CONTIG);
    TIFFSetField(tif, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_RGB);
    if (samples == 4) {
        const uint16_t extra[1] = { EXTRASAMPLE_UNASSALPHA };
        TIFFSetField(tif, TIFFTAG_EXTRASAMPLES, 1, extra);
    }
    TIFFSetField(tif, TIFFTAG_XRESOLUTION, 240.0f);
    TIFFSetField(tif, TIFFTAG_YRESOLUTION, 240.0f);
    TIFFSetField(tif, TIFFTAG_RESOLUTIONUNIT, RESUNIT_INCH);

    const uint32_t bytesPerSample = o.Bits / 8;
    const size_t lineBytes = static_cast<size_t>(o.Width) * samples * bytesPerSample;
    const size_t planeBytes = static_cast<size_t>(o.Width) * bytesPerSample;
    std::vector<uint16_t> rgba(static_cast<size_t>(o.Width) * 4);
    TProgress progress(o.Height, o.Quiet);
    bool ok = true;
    if (!tiled) {
        std::vector<uint8_t> line(o.Planar ? planeBytes : lineBytes);
        for (uint32_t y = 0; ok && !Interrupted && y < o.Height; ++y) {
            source.Line(y, rgba.data());
            if (o.Planar) {
                // One line per strip, so each plane's line is its own strip and the planes can
                // be written line by line without holding a whole plane.
                for (uint16_t s = 0; ok && s < samples; ++s) {
                    PackPlane(rgba.data(), o.Width, s, o.Bits, line.data());
                    ok = TIFFWriteScanline(tif, line.data(), y, s) == 1;
                }
            } else {
                PackLine(rgba.data(), o.Width, samples, o.Bits, false, line.data());
                ok = TIFFWriteScanline(tif, line.data(), y, 0) == 1;
            }
            progress.Line(y + 1);
        }
    } else {
        // A band of TileHeight lines is the least a tile row needs; memory follows the width.
        const uint32_t planes = o.Planar ? samples : 1;
        const uint32_t pixelBytes = o.Planar ? bytesPerSample : samples * bytesPerSample;
        const size_t bandLine = static_cast<size_t>(o.Width) * pixelBytes;
        const size_t tileLine = static_cast<size_t>(o.TileWidth) * pixelBytes;
        std::vector<uint8_t> band(bandLine * o.TileHeight * planes);
        std::vector<uint8_t> tile(tileLine * o.TileHeight);
        for (uint32_t y0 = 0; ok && !Interrupted && y0 < o.Height; y0 += o.TileHeight) {
            const uint32_t rows = std::min(o.TileHeight, o.Height - y0);
            for (uint32_t r = 0; r < rows; ++r) {
                source.Line(y0 + r, rgba.data());
                for (uint32_t p = 0; p < planes; ++p) {
                    uint8_t* dst = band.data() + (p * size_t(o.TileHeight) + r) * bandLine;
                    if (o.Planar)
                        PackPlane(rgba.data(), o.Width, p, o.Bits, dst);
                    else
                        PackLine(rgba.data(), o.Width, samples, o.Bits, false, dst);
                }
                progress.Line(y0 + r + 1);
            }
            for (uint32_t p = 0; ok && p < planes; ++p)
                for (uint32_t x0 = 0; ok && x0 < o.Width; x0 += o.TileWidth) {
                    // Edge tiles are padded with zeros, as TIFF readers expect.
                    std::fill(tile.begin(), tile.end(), uint8_t(0));
                    const size_t used =
                        static_cast<size_t>(std::min(o.TileWidth, o.Width - x0)) * pixelBytes;
                    for (uint32_t r = 0; r < rows; ++r)
                        std::memcpy(tile.data() + r * tileLine,
                            band.data() + (p * size_t(o.TileHeight) + r) * bandLine
                                + static_cast<size_t>(x0) * pixelBytes,
                            used);
                    ok = TIFFWriteTile(tif, tile.data(), x0, y0, 0, static_cast<uint16_t>(p)) >= 0;
                }
        }
    }
    // Close even after a failure: it frees the handle; the guard then removes the file.
    if (ok)
        ok = TIFFFlush(tif) == 1;
    TIFFClose(tif);
    if (Interrupted)
        return false;
    if (!ok)
        return Fail("cannot write " + o.Out + ": " + LastTiffMessage);
    guard.Commit();
    return true;
}

} // namespace

int main(int argc, char** argv)
{
    TOptions o;
    if (!ParseArgs(argc, argv, o))
        return 2;
    TIFFSetErrorHandler(KeepTiffMessage);
    TIFFSetWarningHandler(IgnoreTiffWarning);
    std::signal(SIGINT, OnInterrupt);
    std::signal(SIGTERM, OnInterrupt);

    const uint64_t pixelBytes =
        static_cast<uint64_t>(o.Width) * o.Height * o.Channels * (o.Bits / 8);
    if (o.Format == TFormat::Tif && !o.BigTiff && !o.Lzw && pixelBytes > kClassicTiffLimit) {
        std::fprintf(stderr,
            "tavmor-genimage: %llu bytes of pixels do not fit a classic TIFF; add "
            "--bigtiff\n",
            static_cast<unsigned long long>(pixelBytes));
        return 1;
    }
    // Uncompressed sizes are known in advance: refuse rather than fill the disk.
    if (!o.Lzw && pixelBytes + kFreeSpaceMargin > FreeBytesFor(o.Out)) {
        std::fprintf(stderr, "tavmor-genimage: not enough free space for %llu bytes\n",
            static_cast<unsigned long long>(pixelBytes));
        return 1;
    }

    const TPatternSource source(o.Pattern, o.Width, o.Height, o.Bits);
    const bool ok = o.Format == TFormat::Tif ? WriteTiff(o, source) : WriteSequential(o, source);
    if (Interrupted) {
        std::fputs("tavmor-genimage: interrupted; nothing written\n", stderr);
        return 130;
    }
    if (!ok)
        return 1;
    if (!o.Quiet) {
        static constexpr const char* kFormatNames[] = { "TIFF", "KRO", "RAW" };
        std::string kind = kFormatNames[static_cast<int>(o.Format)];
        if (o.Format == TFormat::Tif)
            kind += std::string(o.BigTiff ? " (BigTIFF" : " (classic") + (o.Lzw ? ", LZW" : "")
                + (o.TileWidth ? ", tiled" : "") + (o.Planar ? ", planar" : "") + ")";
        std::error_code ec;
        const auto size = static_cast<long long>(std::filesystem::file_size(o.Out, ec));
        std::printf("%s: %u x %u, %u-bit, %u channels, %s, %lld bytes\n", o.Out.c_str(), o.Width,
            o.Height, o.Bits, o.Channels, kind.c_str(), size);
    }
    return 0;
}
