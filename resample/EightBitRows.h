// Input rows to the 8-bit rows of a pyramid: 16-bit samples scaled to 8 bits, and alpha either
// kept or flattened onto a background colour for codecs without it.
#pragma once

#include <array>
#include <cstdint>

/// What the rows coming in hold and what the 8-bit rows going out must hold.
struct TEightBitRowSpec {
    uint8_t Bits = 8; ///< 8 or 16; 16-bit samples in the machine's byte order
    uint8_t Channels = 3; ///< 3 (RGB) or 4 (RGBA, unassociated alpha)
    bool Flatten = false; ///< RGBA only: composite onto Background and drop the alpha
    std::array<uint8_t, 3> Background { 255, 255, 255 };
};

/// Samples per pixel of the rows ToEightBitRow writes: 4 for RGBA kept, else 3.
uint8_t EightBitChannels(const TEightBitRowSpec& setup);

/// Converts one row of width pixels from source (laid out as setup says) into target (width x
/// EightBitChannels bytes). A 16-bit sample v becomes v / 257 rounded to the nearest integer
/// (a tie cannot occur: 257 is odd); a flattened pixel is (c * a + b * (255 - a)) / 255 from
/// the 8-bit colour c, alpha a and background b, rounded the same way (255 is odd too). Any
/// thread; source and target must not overlap.
void ToEightBitRow(
    const TEightBitRowSpec& setup, const uint8_t* source, uint32_t width, uint8_t* target);
