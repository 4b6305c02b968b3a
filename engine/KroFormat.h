// The KRO layout: a 20-byte big-endian header (letters "KRO", version 1, width, height, bits,
// channels) followed by interleaved RGBA lines, 16-bit samples most significant byte first.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <string>

#include "engine/Formats.h"

inline constexpr size_t kKroHeaderSize = 20;
using TKroHeaderBytes = std::array<uint8_t, kKroHeaderSize>;

/// The fields of a KRO header as host values.
struct TKroHeader {
    uint32_t Width = 0;
    uint32_t Height = 0;
    uint32_t Bits = 0;
    uint32_t Channels = 0;
};

/// The 20 bytes of a KRO header.
TKroHeaderBytes EncodeKroHeader(const TKroHeader& header);
/// Takes 20 header bytes apart; false when the letters or the version byte are wrong (the
/// fields are then left unchanged).
[[nodiscard]] bool DecodeKroHeader(const TKroHeaderBytes& bytes, TKroHeader& header);
/// Reads the header at the start of a file; false when fewer than 20 bytes arrive or the
/// letters or version are wrong.
[[nodiscard]] bool ReadKroHeader(const std::string& path, TKroHeader& header);
/// The same, with the reason (for a user) when it fails.
[[nodiscard]] bool ReadKroHeader(const std::string& path, TKroHeader& header, std::string& reason);

/// The KRO row of the format table.
const TFormat& KroFormatRow();
