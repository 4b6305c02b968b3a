// Depth and alpha conversion of the rows that enter a pyramid.
#include "resample/EightBitRows.h"

#include <cstring>

namespace {

/// round(v / 257): v / 257 is never a half, so adding 128 before the floor division rounds.
inline uint8_t To8(uint16_t v)
{
    return static_cast<uint8_t>((uint32_t(v) + 128u) / 257u);
}

/// round((c * a + b * (255 - a)) / 255); the sum over 255 is never a half.
inline uint8_t Over(uint32_t c, uint32_t a, uint32_t b)
{
    return static_cast<uint8_t>((c * a + b * (255u - a) + 127u) / 255u);
}

template <typename TSample> inline uint8_t Sample8(const TSample* s, size_t i)
{
    if constexpr (sizeof(TSample) == 1) {
        return s[i];
    } else {
        return To8(s[i]);
    }
}

template <typename TSample>
void Convert(const TEightBitRowSpec& setup, const TSample* source, uint32_t width, uint8_t* target)
{
    if (setup.Channels == 4 && setup.Flatten) {
        const uint32_t r = setup.Background[0];
        const uint32_t g = setup.Background[1];
        const uint32_t b = setup.Background[2];
        for (uint32_t x = 0; x < width; ++x) {
            const TSample* s = source + size_t(x) * 4;
            uint8_t* t = target + size_t(x) * 3;
            const uint32_t a = Sample8(s, 3);
            t[0] = Over(Sample8(s, 0), a, r);
            t[1] = Over(Sample8(s, 1), a, g);
            t[2] = Over(Sample8(s, 2), a, b);
        }
        return;
    }
    const size_t count = size_t(width) * setup.Channels;
    if constexpr (sizeof(TSample) == 1) {
        std::memcpy(target, source, count);
    } else {
        for (size_t i = 0; i < count; ++i) {
            target[i] = To8(source[i]);
        }
    }
}

} // namespace

uint8_t EightBitChannels(const TEightBitRowSpec& setup)
{
    return setup.Channels == 4 && !setup.Flatten ? 4 : 3;
}

void ToEightBitRow(
    const TEightBitRowSpec& setup, const uint8_t* source, uint32_t width, uint8_t* target)
{
    if (setup.Bits == 16) {
        Convert(setup, reinterpret_cast<const uint16_t*>(source), width, target);
    } else {
        Convert(setup, source, width, target);
    }
}
