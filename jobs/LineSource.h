// The rows of an input image, top to bottom, as the pyramid job reads them.
#pragma once

#include <cstdint>

/// Delivers the rows of one image in order. One thread.
class TLineSource {
public:
    virtual ~TLineSource() = default;
    virtual uint32_t Width() const = 0;
    virtual uint32_t Height() const = 0;
    /// Bits per sample: 8 or 16.
    virtual uint8_t Bits() const = 0;
    /// Samples per pixel: 3 (RGB) or 4 (RGBA).
    virtual uint8_t Channels() const = 0;
    /// The next row: Width() x Channels() samples, 16-bit ones in the machine's byte order,
    /// valid until the next call. Null when it cannot be read (or all rows have been).
    virtual const uint8_t* NextRow() = 0;
};
