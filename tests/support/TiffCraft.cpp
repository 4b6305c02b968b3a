// The tests' own TIFF writer: a directory of any entries over appended data blocks, and
// well-formed strip and tile layouts to start damaged files from.
#include "support/TiffCraft.h"

#include <algorithm>
#include <stdexcept>
#include <zlib.h>

namespace TiffCraft {

namespace {

void Put(std::vector<uint8_t>& out, uint64_t value, size_t bytes)
{
    for (size_t i = 0; i < bytes; ++i) {
        out.push_back(static_cast<uint8_t>(value >> (8 * i)));
    }
}

void PutAt(std::vector<uint8_t>& out, size_t at, uint64_t value, size_t bytes)
{
    for (size_t i = 0; i < bytes; ++i) {
        out[at + i] = static_cast<uint8_t>(value >> (8 * i));
    }
}

size_t TypeSize(uint16_t type)
{
    switch (type) {
    case kShort:
        return 2;
    case kLong:
        return 4;
    case kLong8:
        return 8;
    default:
        return 1;
    }
}

uint64_t HowMany(uint64_t total, uint64_t part)
{
    return (total + part - 1) / part;
}

std::vector<uint8_t> Deflated(const std::vector<uint8_t>& bytes)
{
    uLongf size = compressBound(static_cast<uLong>(bytes.size()));
    std::vector<uint8_t> out(size);
    if (compress2(out.data(), &size, bytes.data(), static_cast<uLong>(bytes.size()), 6) != Z_OK) {
        throw std::runtime_error("deflate failed");
    }
    out.resize(size);
    return out;
}

} // namespace

TTiffFile::TTiffFile(bool bigTiff)
    : FBig(bigTiff)
{
}

uint64_t TTiffFile::Append(const std::vector<uint8_t>& bytes)
{
    const uint64_t at = (FBig ? 16 : 8) + FData.size();
    FData.insert(FData.end(), bytes.begin(), bytes.end());
    return at;
}

void TTiffFile::Set(uint16_t tag, uint16_t type, std::vector<uint64_t> values)
{
    Remove(tag);
    FEntries.push_back({ tag, type, std::move(values) });
    std::sort(FEntries.begin(), FEntries.end(),
        [](const TEntry& a, const TEntry& b) { return a.Tag < b.Tag; });
}

void TTiffFile::Remove(uint16_t tag)
{
    std::erase_if(FEntries, [tag](const TEntry& e) { return e.Tag == tag; });
}

std::vector<uint64_t> TTiffFile::Values(uint16_t tag) const
{
    for (const TEntry& e : FEntries) {
        if (e.Tag == tag) {
            return e.Values;
        }
    }
    return {};
}

std::vector<uint8_t> TTiffFile::Bytes() const
{
    const size_t headerSize = FBig ? 16 : 8;
    const size_t countSize = FBig ? 8 : 2;
    const size_t entrySize = FBig ? 20 : 12;
    const size_t inlineSize = FBig ? 8 : 4;
    std::vector<uint8_t> out { 'I', 'I' };
    Put(out, FBig ? 43 : 42, 2);
    if (FBig) {
        Put(out, 8, 2);
        Put(out, 0, 2);
    }
    // The directory starts on a word boundary after the data.
    const uint64_t ifd = (headerSize + FData.size() + 1) & ~uint64_t { 1 };
    Put(out, ifd, FBig ? 8 : 4);
    out.insert(out.end(), FData.begin(), FData.end());
    out.resize(ifd, 0);
    Put(out, FEntries.size(), countSize);
    const size_t entriesAt = out.size();
    out.resize(entriesAt + FEntries.size() * entrySize + inlineSize, 0); // + next directory: none
    for (size_t i = 0; i < FEntries.size(); ++i) {
        const TEntry& e = FEntries[i];
        const size_t at = entriesAt + i * entrySize;
        PutAt(out, at, e.Tag, 2);
        PutAt(out, at + 2, e.Type, 2);
        PutAt(out, at + 4, e.Values.size(), FBig ? 8 : 4);
        const size_t valueAt = at + (FBig ? 12 : 8);
        const size_t size = TypeSize(e.Type);
        std::vector<uint8_t> values;
        for (uint64_t v : e.Values) {
            Put(values, v, size);
        }
        if (values.size() <= inlineSize) {
            std::copy(values.begin(), values.end(), out.begin() + static_cast<ptrdiff_t>(valueAt));
        } else {
            if (out.size() % 2 != 0) {
                out.push_back(0);
            }
            PutAt(out, valueAt, out.size(), inlineSize);
            out.insert(out.end(), values.begin(), values.end());
        }
    }
    return out;
}

std::vector<uint32_t> PatternSamples(const TLayout& layout)
{
    std::vector<uint32_t> samples;
    samples.reserve(size_t(layout.Width) * layout.Height * layout.Samples);
    for (uint32_t y = 0; y < layout.Height; ++y) {
        for (uint32_t x = 0; x < layout.Width; ++x) {
            for (uint32_t c = 0; c < layout.Samples; ++c) {
                const uint32_t v8 = (x * 7 + y * 13 + c * 61 + 1) & 0xFF;
                samples.push_back(layout.Bits == 8 ? v8 : (v8 << 8) | ((c * 5 + x + y) & 0xFF));
            }
        }
    }
    return samples;
}

std::vector<uint8_t> SampleBytes(const std::vector<uint32_t>& samples, uint16_t bits)
{
    std::vector<uint8_t> out;
    out.reserve(samples.size() * (bits / 8u));
    for (uint32_t v : samples) {
        Put(out, v, bits / 8u);
    }
    return out;
}

TTiffFile Build(const TLayout& l, const std::vector<uint32_t>& samples)
{
    TTiffFile file(l.BigTiff);
    const bool tiled = l.TileWidth != 0 && l.TileLength != 0;
    const bool planar = l.Planar == 2;
    const uint32_t planes = planar ? l.Samples : 1;
    const uint32_t perPixel = planar ? 1 : l.Samples; // samples per pixel in one plane
    const uint32_t stripRows =
        l.RowsPerStrip == 0 ? l.Height : std::min<uint32_t>(l.RowsPerStrip, l.Height);
    const uint32_t strileWidth = tiled ? l.TileWidth : l.Width;
    const uint32_t strileRows = tiled ? l.TileLength : stripRows;
    const uint64_t across = tiled ? HowMany(l.Width, l.TileWidth) : 1;
    const uint64_t down = HowMany(l.Height, strileRows);
    std::vector<uint64_t> offsets;
    std::vector<uint64_t> counts;
    for (uint32_t p = 0; p < planes; ++p) {
        for (uint64_t row = 0; row < down; ++row) {
            for (uint64_t col = 0; col < across; ++col) {
                const uint64_t top = row * strileRows;
                const uint64_t left = col * strileWidth;
                uint64_t rows = strileRows;
                if (!tiled
                    || uint64_t { strileWidth } * strileRows * perPixel * l.Bits / 8
                        > (uint64_t { 1 } << 20)) {
                    rows = std::min<uint64_t>(rows, l.Height - top);
                }
                std::vector<uint32_t> values(size_t(rows) * strileWidth * perPixel, 0);
                for (uint64_t y = 0; y < rows && top + y < l.Height; ++y) {
                    for (uint64_t x = 0; x < strileWidth && left + x < l.Width; ++x) {
                        const size_t pixel = (size_t(top + y) * l.Width + size_t(left + x));
                        for (uint32_t c = 0; c < perPixel; ++c) {
                            const uint32_t channel = planar ? p : c;
                            values[(size_t(y) * strileWidth + size_t(x)) * perPixel + c] =
                                samples[pixel * l.Samples + channel];
                        }
                    }
                }
                std::vector<uint8_t> bytes = SampleBytes(values, l.Bits);
                if (l.Deflate) {
                    bytes = Deflated(bytes);
                }
                offsets.push_back(file.Append(bytes));
                counts.push_back(bytes.size());
            }
        }
    }
    const uint16_t wordType = l.BigTiff ? kLong8 : kLong;
    file.Set(kImageWidth, kLong, { l.Width });
    file.Set(kImageLength, kLong, { l.Height });
    file.Set(kBitsPerSample, kShort, std::vector<uint64_t>(l.Samples, l.Bits));
    file.Set(kCompression, kShort, { l.Deflate ? 8u : 1u });
    file.Set(kPhotometric, kShort, { 2 });
    file.Set(kSamplesPerPixel, kShort, { l.Samples });
    file.Set(kPlanarConfig, kShort, { l.Planar });
    if (l.ExtraCount != 0) {
        file.Set(kExtraSamples, kShort, { l.Extra, l.Extra + l.ExtraCount });
    }
    if (tiled) {
        file.Set(kTileWidth, kLong, { l.TileWidth });
        file.Set(kTileLength, kLong, { l.TileLength });
        file.Set(kTileOffsets, wordType, offsets);
        file.Set(kTileByteCounts, wordType, counts);
    } else {
        if (l.RowsPerStrip != 0) {
            file.Set(kRowsPerStrip, kLong, { l.RowsPerStrip });
        }
        file.Set(kStripOffsets, wordType, offsets);
        file.Set(kStripByteCounts, wordType, counts);
    }
    return file;
}

} // namespace TiffCraft
