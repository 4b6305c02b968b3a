// The rows of a probed input image as a row source.
#pragma once

#include <cstdint>

#include "engine/ImageFiles.h"
#include "jobs/LineSource.h"

/// Reads a probed input through its format's line reader. Open before the first row; the
/// destructor closes the input.
class TImageRowSource final : public TLineSource {
public:
    explicit TImageRowSource(const TFileInfo& info);
    TImageRowSource(const TImageRowSource&) = delete;
    TImageRowSource& operator=(const TImageRowSource&) = delete;

    /// Opens the input. False when it cannot be opened.
    [[nodiscard]] bool Open();
    /// The errno value of the input's first failure (0 when none).
    int Error() const { return FInput.Error(); }

    uint32_t Width() const override { return FInfo.Width; }
    uint32_t Height() const override { return FInfo.Height; }
    uint8_t Bits() const override { return FInfo.Bits; }
    uint8_t Channels() const override { return FInfo.Channels; }
    const uint8_t* NextRow() override;

private:
    TFileInfo FInfo;
    TImageInput FInput;
    uint32_t FNext = 0;
    bool FSwap = false; ///< 16-bit samples arrive in the other byte order
};
