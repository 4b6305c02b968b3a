// The 2 x 2 reduction behind the pyramid's levels, rounded half to even in integers.
#include "resample/HalvingLevels.h"

#include <algorithm>
#include <cstring>

namespace {

/// p / q rounded to the nearest integer, halves to the even neighbour (q > 0).
inline uint32_t DivideHalfEven(uint32_t p, uint32_t q)
{
    const uint32_t whole = p / q;
    const uint32_t twice = 2 * (p - whole * q);
    return whole + ((twice > q || (twice == q && (whole & 1u) != 0)) ? 1u : 0u);
}

/// Sum of four over 4, halves to even: adding 1 plus the quotient's lowest bit rounds up
/// exactly the remainders 3, and 2 when the quotient is odd.
inline uint8_t AverageOf4(uint32_t s)
{
    return static_cast<uint8_t>((s + 1u + ((s >> 2) & 1u)) >> 2);
}

/// Sum of two over 2, halves to even.
inline uint8_t AverageOf2(uint32_t s)
{
    return static_cast<uint8_t>((s + ((s >> 1) & 1u)) >> 1);
}

/// Colour channels without alpha: a plain average of the 4 (or 2, or 1) pixels.
template <unsigned C>
void HalvePlain(const uint8_t* top, const uint8_t* bottom, uint32_t width, uint8_t* out)
{
    const uint32_t pairs = width / 2;
    if (bottom) {
        // In pieces that stay in the cache, three loops the compiler vectorises or keeps short:
        // the column sums of the two rows; each column sum plus the next pixel's, which at the
        // first pixel of a pair is the pair's sum of four, rounded there; then the first pixel
        // of every pair taken out with one 4-byte copy each (the extra byte is overwritten by
        // the next pixel's copy, the last pixel copies its own C).
        constexpr uint32_t kPiece = 512;
        constexpr size_t kSpan = 2 * kPiece * C;
        uint16_t sums[kSpan + C];
        uint8_t rounded[kSpan + 4];
        for (uint32_t first = 0; first < pairs; first += kPiece) {
            const uint32_t count = std::min(kPiece, pairs - first);
            const size_t n = size_t(count) * 2 * C;
            const size_t offset = size_t(first) * 2 * C;
            const uint8_t* a = top + offset;
            const uint8_t* b = bottom + offset;
            for (size_t i = 0; i < n; ++i) {
                sums[i] = static_cast<uint16_t>(a[i] + b[i]);
            }
            for (size_t i = n; i < n + C; ++i) {
                sums[i] = 0;
            }
            for (size_t i = 0; i < n; ++i) {
                rounded[i] = AverageOf4(uint32_t(sums[i]) + sums[i + C]);
            }
            uint8_t* o = out + size_t(first) * C;
            for (uint32_t x = 0; x + 1 < count; ++x) {
                std::memcpy(o + size_t(x) * C, rounded + size_t(x) * 2 * C, 4);
            }
            std::memcpy(o + size_t(count - 1) * C, rounded + size_t(count - 1) * 2 * C, C);
        }
    } else {
        for (uint32_t x = 0; x < pairs; ++x) {
            const uint8_t* a = top + size_t(x) * 2 * C;
            for (unsigned c = 0; c < C; ++c) {
                out[size_t(x) * C + c] = AverageOf2(uint32_t(a[c]) + a[C + c]);
            }
        }
    }
    if (width % 2 != 0) {
        const uint8_t* a = top + size_t(pairs) * 2 * C;
        const uint8_t* b = bottom ? bottom + size_t(pairs) * 2 * C : nullptr;
        for (unsigned c = 0; c < C; ++c) {
            out[size_t(pairs) * C + c] = b ? AverageOf2(uint32_t(a[c]) + b[c]) : a[c];
        }
    }
}

/// RGBA: the colour weighted by alpha, the alpha plain, over the n pixels given.
void HalveWeighted(const uint8_t* const* pixels, unsigned n, uint8_t* out)
{
    uint32_t alpha = 0;
    uint32_t plain[3] = {};
    uint32_t weighted[3] = {};
    for (unsigned i = 0; i < n; ++i) {
        const uint8_t* p = pixels[i];
        alpha += p[3];
        for (unsigned c = 0; c < 3; ++c) {
            plain[c] += p[c];
            weighted[c] += uint32_t(p[c]) * p[3];
        }
    }
    for (unsigned c = 0; c < 3; ++c) {
        out[c] = static_cast<uint8_t>(
            alpha != 0 ? DivideHalfEven(weighted[c], alpha) : DivideHalfEven(plain[c], n));
    }
    out[3] = static_cast<uint8_t>(DivideHalfEven(alpha, n));
}

void HalveRgba(const uint8_t* top, const uint8_t* bottom, uint32_t width, uint8_t* out)
{
    const uint32_t outWidth = width / 2 + width % 2;
    for (uint32_t x = 0; x < outWidth; ++x) {
        const size_t left = size_t(x) * 8;
        const bool right = 2 * x + 1 < width;
        const uint8_t* pixels[4];
        unsigned n = 0;
        pixels[n++] = top + left;
        if (right) {
            pixels[n++] = top + left + 4;
        }
        if (bottom) {
            pixels[n++] = bottom + left;
            if (right) {
                pixels[n++] = bottom + left + 4;
            }
        }
        HalveWeighted(pixels, n, out + size_t(x) * 4);
    }
}

} // namespace

uint32_t LevelSide(uint32_t side, uint32_t level)
{
    for (uint32_t i = 0; i < level && side > 1; ++i) {
        side = side / 2 + side % 2;
    }
    return side;
}

uint32_t HalvingsToOnePixel(uint32_t width, uint32_t height)
{
    uint32_t side = width > height ? width : height;
    uint32_t count = 0;
    while (side > 1) {
        side = side / 2 + side % 2;
        ++count;
    }
    return count;
}

void HalveRows(
    const uint8_t* top, const uint8_t* bottom, uint32_t width, uint8_t channels, uint8_t* out)
{
    if (channels == 4) {
        HalveRgba(top, bottom, width, out);
    } else {
        HalvePlain<3>(top, bottom, width, out);
    }
}

THalvingLevels::THalvingLevels(
    uint32_t width, uint32_t height, uint8_t channels, uint32_t reductions)
    : FChannels(channels)
{
    FLevels.resize(size_t(reductions) + 1);
    for (uint32_t k = 0; k <= reductions; ++k) {
        TLevel& level = FLevels[k];
        level.Width = LevelSide(width, k);
        level.Height = LevelSide(height, k);
        if (k < reductions) {
            level.Pending.resize(size_t(level.Width) * channels);
            level.Reduced.resize(size_t(LevelSide(width, k + 1)) * channels);
        }
    }
}

void THalvingLevels::AddRow(const uint8_t* row, const TRowSink& sink)
{
    AddAt(0, row, sink);
}

void THalvingLevels::AddAt(uint32_t k, const uint8_t* row, const TRowSink& sink)
{
    TLevel& level = FLevels[k];
    const uint32_t y = level.NextY++;
    sink(k, y, row);
    if (k + 1 >= FLevels.size()) {
        return;
    }
    const bool last = y + 1 == level.Height;
    if (y % 2 == 0 && !last) {
        std::memcpy(level.Pending.data(), row, level.Pending.size());
        return;
    }
    if (y % 2 == 0) {
        HalveRows(row, nullptr, level.Width, FChannels, level.Reduced.data());
    } else {
        HalveRows(level.Pending.data(), row, level.Width, FChannels, level.Reduced.data());
    }
    AddAt(k + 1, level.Reduced.data(), sink);
}
