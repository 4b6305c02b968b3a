// The rows of the engine's current input (TTavmor's InInfo) as a row source.
#pragma once

#include <cstdint>
#include <vector>

#include "jobs/RowSource.h"

class TTavmor;

/// Reads the input the engine has probed through its line reader. Open before the first row;
/// the destructor closes the input.
class TEngineRowSource final : public TRowSource {
public:
    explicit TEngineRowSource(TTavmor& engine);
    ~TEngineRowSource() override;
    TEngineRowSource(const TEngineRowSource&) = delete;
    TEngineRowSource& operator=(const TEngineRowSource&) = delete;

    /// Opens the engine's input (InInfo.FileName). False when it cannot be opened.
    [[nodiscard]] bool Open();

    uint32_t Width() const override;
    uint32_t Height() const override;
    uint8_t Bits() const override;
    uint8_t Channels() const override;
    const uint8_t* NextRow() override;

private:
    TTavmor& FEngine;
    uint32_t FNext = 0;
    bool FSwap = false; ///< 16-bit samples arrive in the other byte order
};
