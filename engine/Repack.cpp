// Pixel repacking between line buffers: channel count (alpha dropped or made opaque) and the
// byte order of 16-bit samples.
#include "engine/Repack.h"

#include <cstring>
#include <utility>

namespace {

/// Converts count pixels of From channels into To channels; Wide means 16-bit samples and
/// Swap reverses their two bytes. A missing alpha becomes fully opaque.
template <unsigned From, unsigned To, bool Wide, bool Swap>
void RepackPixels(const uint8_t* source, uint8_t* target, uint32_t count)
{
    constexpr unsigned kSampleBytes = Wide ? 2 : 1;
    constexpr unsigned kColours = 3;
    for (uint32_t i = 0; i < count; ++i) {
        const uint8_t* s = source + size_t(i) * From * kSampleBytes;
        uint8_t* t = target + size_t(i) * To * kSampleBytes;
        constexpr unsigned kCopied = From < To ? From : To;
        if constexpr (Swap) {
            for (unsigned c = 0; c < kCopied; ++c) {
                t[2 * c] = s[2 * c + 1];
                t[2 * c + 1] = s[2 * c];
            }
        } else {
            std::memcpy(t, s, kCopied * kSampleBytes);
        }
        if constexpr (To > From) {
            static_assert(To == 4 && From == kColours);
            std::memset(t + kColours * kSampleBytes, 0xFF, kSampleBytes); // 255 or 65535
        }
    }
}

template <bool Wide, bool Swap>
void RepackChannels(
    unsigned from, unsigned to, const uint8_t* source, uint8_t* target, uint32_t count)
{
    if (from == 3 && to == 3) {
        RepackPixels<3, 3, Wide, Swap>(source, target, count);
    } else if (from == 3 && to == 4) {
        RepackPixels<3, 4, Wide, Swap>(source, target, count);
    } else if (from == 4 && to == 3) {
        RepackPixels<4, 3, Wide, Swap>(source, target, count);
    } else if (from == 4 && to == 4) {
        RepackPixels<4, 4, Wide, Swap>(source, target, count);
    }
}

/// Turns count pixels of associated alpha (colours premultiplied) into straight alpha in place:
/// each colour becomes round(colour * max / alpha), halves rounded up, at most max; where alpha
/// is 0 the colour is 0. Exact for alpha 0 and max (the colours stay as they are then).
template <typename TSample> void StraightenAlpha(uint8_t* line, uint32_t count)
{
    constexpr uint64_t kMax = TSample(~TSample(0));
    for (uint32_t i = 0; i < count; ++i) {
        uint8_t* pixel = line + size_t(i) * 4 * sizeof(TSample);
        TSample samples[4];
        std::memcpy(samples, pixel, sizeof samples);
        const uint64_t alpha = samples[3];
        if (alpha == kMax) {
            continue;
        }
        for (unsigned c = 0; c < 3; ++c) {
            const uint64_t v = alpha == 0 ? 0 : (samples[c] * kMax + alpha / 2) / alpha;
            samples[c] = static_cast<TSample>(v > kMax ? kMax : v);
        }
        std::memcpy(pixel, samples, sizeof samples);
    }
}

/// Makes the alpha of count RGBA pixels at target straight, in the target's byte order.
void StraightenTarget(uint8_t* target, uint32_t count, unsigned sampleBytes, bool targetIsLsb)
{
    if (sampleBytes == 1) {
        StraightenAlpha<uint8_t>(target, count);
        return;
    }
    // 16-bit samples are worked on in host order (little-endian), swapped around if needed.
    const bool swap = !targetIsLsb;
    auto swapAll = [&] {
        for (size_t b = 0; b < size_t(count) * 8; b += 2) {
            std::swap(target[b], target[b + 1]);
        }
    };
    if (swap) {
        swapAll();
    }
    StraightenAlpha<uint16_t>(target, count);
    if (swap) {
        swapAll();
    }
}

} // namespace

void RepackLine(const TFileInfo& Source, uint32_t SourceX, const TFileInfo& Target,
    uint32_t TargetX, uint32_t Count)
{
    const unsigned from = Source.Channels;
    const unsigned to = Target.Channels;
    if (Count == 0 || !Source.ScanLine || !Target.ScanLine || (from != 3 && from != 4)
        || (to != 3 && to != 4) || (Source.Bits != 8 && Source.Bits != 16)) {
        return;
    }
    // The target's depth is the source's: the engine never changes the bit depth.
    const unsigned sampleBytes = Source.Bits / 8u;
    const uint8_t* source = Source.ScanLine + size_t(SourceX) * from * sampleBytes;
    uint8_t* target = Target.ScanLine + size_t(TargetX) * to * sampleBytes;
    const bool swap = sampleBytes == 2 && Source.IsLsb != Target.IsLsb;
    if (from == to && !swap) {
        std::memmove(target, source, size_t(Count) * from * sampleBytes);
    } else if (sampleBytes == 1) {
        RepackChannels<false, false>(from, to, source, target, Count);
    } else if (swap) {
        RepackChannels<true, true>(from, to, source, target, Count);
    } else {
        RepackChannels<true, false>(from, to, source, target, Count);
    }
    // Where alpha is kept, it is straight: colours of associated alpha are divided by it.
    // Where it is dropped, the colours stay as stored.
    if (Source.AssociatedAlpha && from == 4 && to == 4 && !Target.AssociatedAlpha) {
        StraightenTarget(target, Count, sampleBytes, Target.IsLsb);
    }
}
