// The crafted damaged and hostile files, each made from a well-formed layout and one damage.
#include "support/CraftedFiles.h"

#include <functional>
#include <stdexcept>

#include "support/TiffCraft.h"

namespace CraftedFiles {

namespace {

using namespace TiffCraft;
using TestImages::TPixels;

/// The pixels a reader delivers for samples of a layout: the first four samples of each.
TPixels Delivered(const TLayout& l, const std::vector<uint32_t>& samples)
{
    TPixels image;
    image.Width = l.Width;
    image.Height = l.Height;
    image.Bits = static_cast<uint8_t>(l.Bits);
    image.Channels = static_cast<uint8_t>(l.Samples < 4 ? l.Samples : 4);
    for (size_t pixel = 0; pixel < size_t(l.Width) * l.Height; ++pixel) {
        for (uint32_t c = 0; c < image.Channels; ++c) {
            image.Samples.push_back(samples[pixel * l.Samples + c]);
        }
    }
    return image;
}

/// A crafted TIFF: the layout's pattern written well-formed, then damaged; readable when the
/// damage leaves the pixels deliverable.
TCrafted Tiff(const std::string& name, const TLayout& layout,
    const std::function<void(TTiffFile&)>& damage, bool readable)
{
    const std::vector<uint32_t> samples = PatternSamples(layout);
    TTiffFile file = Build(layout, samples);
    if (damage) {
        damage(file);
    }
    TCrafted crafted { name, name + ".tif", file.Bytes(), std::nullopt, false };
    if (readable) {
        crafted.Image = Delivered(layout, samples);
    }
    return crafted;
}

/// A crafted TIFF whose bytes are cut after `keep` bytes.
TCrafted Truncated(TCrafted crafted, size_t keep)
{
    crafted.Bytes.resize(keep);
    crafted.Image.reset();
    return crafted;
}

/// RGBA with associated alpha: straight colours premultiplied, rounded to nearest, over alpha
/// values that include 0 and the maximum.
TCrafted AssociatedAlpha(const std::string& name, uint16_t bits, uint16_t planar)
{
    TLayout l { .Width = 7, .Height = 3, .Bits = bits, .Samples = 4, .Planar = planar };
    l.RowsPerStrip = 2;
    l.ExtraCount = 1;
    l.Extra[0] = 1;
    const uint32_t max = bits == 8 ? 0xFF : 0xFFFF;
    const uint32_t alphas[] = { 0, max, max / 2, 1, max - 1, max / 3, max / 5 * 4 };
    std::vector<uint32_t> samples = PatternSamples(l);
    for (size_t pixel = 0; pixel < size_t(l.Width) * l.Height; ++pixel) {
        const uint32_t a = alphas[pixel % 7];
        for (size_t c = 0; c < 3; ++c) {
            uint32_t& v = samples[pixel * 4 + c];
            v = static_cast<uint32_t>((uint64_t { v } * a + max / 2) / max);
        }
        samples[pixel * 4 + 3] = a;
    }
    TCrafted crafted { name, name + ".tif", Build(l, samples).Bytes(), Delivered(l, samples),
        true };
    return crafted;
}

TCrafted Kro(const std::string& name, uint32_t width, uint32_t height, uint8_t bits,
    size_t linesKept, size_t extraBytes)
{
    const TPixels image = TestImages::PatternImage(width, height, bits, 4);
    std::vector<uint8_t> bytes = TestImages::KroHeader(width, height, bits, 4);
    const size_t lineBytes = size_t(width) * 4 * (bits / 8);
    for (size_t i = 0; i < size_t(width) * height * 4; ++i) {
        const uint32_t v = image.Samples[i];
        if (bits == 16) {
            bytes.push_back(static_cast<uint8_t>(v >> 8));
        }
        bytes.push_back(static_cast<uint8_t>(v));
    }
    bytes.resize(20 + lineBytes * linesKept + extraBytes, 0x5A);
    TCrafted crafted { name, name + ".kro", bytes, std::nullopt, false };
    if (linesKept >= height) {
        crafted.Image = image;
    }
    return crafted;
}

std::vector<uint64_t> Only(const std::vector<uint64_t>& values, size_t count)
{
    return { values.begin(), values.begin() + static_cast<ptrdiff_t>(count) };
}

std::vector<TCrafted> Make()
{
    const TLayout planar { .Width = 8, .Height = 6, .Samples = 3, .Planar = 2, .RowsPerStrip = 6 };
    const TLayout planarStrips { .Width = 8, .Height = 6, .Planar = 2, .RowsPerStrip = 2 };
    const TLayout contig { .Width = 8, .Height = 6, .RowsPerStrip = 2 };
    const TLayout tiled { .Width = 40, .Height = 20, .TileWidth = 16, .TileLength = 16 };
    const uint32_t kRowsOverflow = 0x80000001u; // 2^31 + 1
    std::vector<TCrafted> files;
    auto add = [&files](TCrafted crafted) { files.push_back(std::move(crafted)); };

    // Well-formed files of each layout, which every reader must deliver exactly.
    add(Tiff("well-formed-strips", contig, nullptr, true));
    add(Tiff("well-formed-planar-strips", planarStrips, nullptr, true));
    add(Tiff("well-formed-tiles", tiled, nullptr, true));
    TLayout bigDeflatedTiles = tiled;
    bigDeflatedTiles.Planar = 2;
    bigDeflatedTiles.Bits = 16;
    bigDeflatedTiles.Deflate = true;
    bigDeflatedTiles.BigTiff = true;
    add(Tiff("well-formed-bigtiff-planar-deflated-tiles", bigDeflatedTiles, nullptr, true));

    // Strips of the second and third planes missing from the tables, or empty, or short.
    add(Tiff(
        "planar-missing-strips", planar,
        [](TTiffFile& f) {
            f.Set(kStripOffsets, kLong, Only(f.Values(kStripOffsets), 1));
            f.Set(kStripByteCounts, kLong, Only(f.Values(kStripByteCounts), 1));
        },
        false));
    add(Tiff(
        "planar-missing-strips-and-counts", planar,
        [](TTiffFile& f) {
            f.Set(kStripOffsets, kLong, Only(f.Values(kStripOffsets), 1));
            f.Remove(kStripByteCounts);
        },
        false));
    add(Tiff(
        "planar-empty-strips", planar,
        [](TTiffFile& f) {
            std::vector<uint64_t> counts = f.Values(kStripByteCounts);
            counts[1] = counts[2] = 0;
            f.Set(kStripByteCounts, kLong, counts);
        },
        false));
    add(Tiff(
        "planar-short-strip", planarStrips,
        [](TTiffFile& f) {
            std::vector<uint64_t> counts = f.Values(kStripByteCounts);
            counts[7] -= 1; // the second band of the third plane
            f.Set(kStripByteCounts, kLong, counts);
        },
        false));
    add(Tiff(
        "planar-strip-past-end", planarStrips,
        [](TTiffFile& f) {
            std::vector<uint64_t> offsets = f.Values(kStripOffsets);
            offsets[5] = 100000;
            f.Set(kStripOffsets, kLong, offsets);
        },
        false));
    // RowsPerStrip of 2^31 + 1: one strip per plane holds the whole image, as the tables say.
    TLayout overflow = planar;
    overflow.RowsPerStrip = kRowsOverflow;
    add(Tiff("planar-rows-per-strip-overflow", overflow, nullptr, true));
    // The same RowsPerStrip over tables of one-row strips: the first strip of each plane holds
    // one row where the whole plane is due.
    TLayout rowStrips = planar;
    rowStrips.RowsPerStrip = 1;
    add(Tiff(
        "planar-rows-per-strip-overflow-row-strips", rowStrips,
        [](TTiffFile& f) { f.Set(kRowsPerStrip, kLong, { 0x80000001u }); }, false));
    TLayout contigOverflow = contig;
    contigOverflow.RowsPerStrip = kRowsOverflow;
    add(Tiff("rows-per-strip-overflow", contigOverflow, nullptr, true));

    add(Tiff(
        "strip-past-end", contig,
        [](TTiffFile& f) {
            std::vector<uint64_t> offsets = f.Values(kStripOffsets);
            offsets.back() = 1u << 30;
            f.Set(kStripOffsets, kLong, offsets);
        },
        false));
    // A byte count running far past the end: libtiff sets such tables aside and computes the
    // counts from the image's size, which here finds every strip whole.
    add(Tiff(
        "strip-count-past-end", contig,
        [](TTiffFile& f) {
            std::vector<uint64_t> counts = f.Values(kStripByteCounts);
            counts[1] = 0xFFFFFFF0u;
            f.Set(kStripByteCounts, kLong, counts);
        },
        true));
    add(Tiff(
        "empty-strip", contig,
        [](TTiffFile& f) {
            std::vector<uint64_t> counts = f.Values(kStripByteCounts);
            counts[1] = 0;
            f.Set(kStripByteCounts, kLong, counts);
        },
        false));
    TLayout bigContig = contig;
    bigContig.BigTiff = true;
    add(Tiff(
        "bigtiff-strip-past-end", bigContig,
        [](TTiffFile& f) {
            std::vector<uint64_t> offsets = f.Values(kStripOffsets);
            offsets[2] = uint64_t { 1 } << 40;
            f.Set(kStripOffsets, kLong8, offsets);
        },
        false));
    TLayout deflated = contig;
    deflated.Deflate = true;
    add(Tiff(
        "undecodable-strip", deflated,
        [](TTiffFile& f) {
            // The second strip's offset moved onto bytes that are no deflate stream: the
            // directory's own entries.
            std::vector<uint64_t> offsets = f.Values(kStripOffsets);
            offsets[1] = offsets[0] + 1;
            f.Set(kStripOffsets, kLong, offsets);
        },
        false));

    add(Tiff(
        "missing-tiles", tiled,
        [](TTiffFile& f) {
            f.Set(kTileOffsets, kLong, Only(f.Values(kTileOffsets), 2));
            f.Set(kTileByteCounts, kLong, Only(f.Values(kTileByteCounts), 2));
        },
        false));
    TLayout planarTiled = tiled;
    planarTiled.Planar = 2;
    add(Tiff(
        "planar-empty-tile", planarTiled,
        [](TTiffFile& f) {
            std::vector<uint64_t> counts = f.Values(kTileByteCounts);
            counts[14] = 0; // the third plane's third tile
            f.Set(kTileByteCounts, kLong, counts);
        },
        false));
    // 70 x 50 pixels in tiles said to be 65536 x 65536: one tile, stored uncompressed and
    // short (as found: the data of small tiles), or deflated and complete, which decodes
    // exactly without a buffer of the whole tile.
    const TLayout smallTiles { .Width = 70, .Height = 50, .TileWidth = 16, .TileLength = 16 };
    auto claimTiles = [](uint32_t width, uint32_t length) {
        return [width, length](TTiffFile& f) {
            f.Set(kTileWidth, kLong, { width });
            f.Set(kTileLength, kLong, { length });
            const uint64_t first = f.Values(kTileOffsets).front();
            const uint64_t across = (70 + uint64_t { width } - 1) / width;
            f.Set(kTileOffsets, kLong, std::vector<uint64_t>(across, first));
            f.Set(kTileByteCounts, kLong, std::vector<uint64_t>(across, 15000));
        };
    };
    add(Tiff("huge-tiles", smallTiles, claimTiles(65536, 65536), false));
    const TLayout hugeDeflated {
        .Width = 70, .Height = 50, .TileWidth = 65536, .TileLength = 65536, .Deflate = true
    };
    add(Tiff("huge-deflated-tiles", hugeDeflated, nullptr, true));
    const TLayout tallTiles {
        .Width = 70, .Height = 50, .TileWidth = 16, .TileLength = 2130706445
    };
    add(Tiff("huge-tile-length", tallTiles, nullptr, false));
    add(Tiff("tile-width-beyond-limits", smallTiles, claimTiles(1u << 30, 16), false));
    // A tall image whose strip tables are one entry long: libtiff must not allocate a table
    // per line for it.
    {
        TTiffFile f(false);
        f.Append(std::vector<uint8_t>(300, 7));
        f.Set(kImageWidth, kLong, { 1 });
        f.Set(kImageLength, kLong, { 100000000 });
        f.Set(kBitsPerSample, kShort, { 8, 8, 8 });
        f.Set(kCompression, kShort, { 1 });
        f.Set(kPhotometric, kShort, { 2 });
        f.Set(kSamplesPerPixel, kShort, { 3 });
        f.Set(kRowsPerStrip, kLong, { 1 });
        f.Set(kStripOffsets, kLong, { 8 });
        f.Set(kStripByteCounts, kLong, { 3 });
        add({ "tall-image-one-strip", "tall-image-one-strip.tif", f.Bytes(), std::nullopt, false });
    }

    // Files libtiff cannot open: each refusal should carry libtiff's own words.
    add({ "not-a-tiff", "not-a-tiff.tif",
        std::vector<uint8_t>({ 'J', 'u', 's', 't', ' ', 't', 'e', 'x', 't', '\n' }), std::nullopt,
        false });
    add({ "empty-file", "empty-file.tif", {}, std::nullopt, false });
    {
        TCrafted whole = Tiff("truncated-directory", contig, nullptr, false);
        add(Truncated(whole, whole.Bytes.size() - 40));
    }
    add(Tiff(
        "rows-per-strip-zero", contig, [](TTiffFile& f) { f.Set(kRowsPerStrip, kLong, { 0 }); },
        false));
    add(Tiff(
        "bits-disagree", contig,
        [](TTiffFile& f) {
            f.Set(kBitsPerSample, kShort, { 8, 16, 8 });
        },
        false));
    add(Tiff(
        "planar-config-3", contig, [](TTiffFile& f) { f.Set(kPlanarConfig, kShort, { 3 }); },
        false));
    add(Tiff(
        "no-strip-offsets", contig, [](TTiffFile& f) { f.Remove(kStripOffsets); }, false));

    // Associated alpha, and samples beyond the fourth.
    add(AssociatedAlpha("associated-alpha-8", 8, 1));
    add(AssociatedAlpha("associated-alpha-16", 16, 1));
    add(AssociatedAlpha("associated-alpha-planar-16", 16, 2));
    const TLayout fiveSamples {
        .Width = 5, .Height = 4, .Samples = 5, .RowsPerStrip = 3, .ExtraCount = 2, .Extra = { 2, 0 }
    };
    add(Tiff("rgb-and-two-extra-samples", fiveSamples, nullptr, true));
    TLayout fivePlanar = fiveSamples;
    fivePlanar.Planar = 2;
    fivePlanar.Bits = 16;
    add(Tiff("rgb-and-two-extra-samples-planar", fivePlanar, nullptr, true));
    TLayout fiveTiled = fiveSamples;
    fiveTiled.TileWidth = 16;
    fiveTiled.TileLength = 16;
    fiveTiled.Extra[0] = 0;
    add(Tiff("rgb-and-two-unspecified-samples-tiled", fiveTiled, nullptr, true));
    {
        TCrafted c = AssociatedAlpha("associated-alpha-and-extra-sample", 8, 1);
        // Rebuilt with a fifth sample after the associated alpha.
        TLayout l { .Width = 7, .Height = 3, .Samples = 5, .RowsPerStrip = 2 };
        l.ExtraCount = 2;
        l.Extra[0] = 1;
        l.Extra[1] = 2;
        std::vector<uint32_t> samples;
        for (size_t pixel = 0; pixel < 21; ++pixel) {
            for (size_t s = 0; s < 4; ++s) {
                samples.push_back(c.Image->Samples[pixel * 4 + s]);
            }
            samples.push_back(static_cast<uint32_t>(pixel * 9));
        }
        c.Bytes = Build(l, samples).Bytes();
        add(c);
    }

    // KRO files shorter and longer than their header says.
    add(Kro("kro-short", 4, 6, 8, 4, 8));
    add(Kro("kro-header-only", 3, 2, 16, 0, 0));
    add(Kro("kro-longer", 4, 3, 16, 3, 5));
    return files;
}

} // namespace

const std::vector<TCrafted>& All()
{
    static const std::vector<TCrafted> files = Make();
    return files;
}

const TCrafted& Named(const std::string& name)
{
    for (const TCrafted& c : All()) {
        if (c.Name == name) {
            return c;
        }
    }
    throw std::out_of_range("no crafted file " + name);
}

} // namespace CraftedFiles
