// The parts of the RAW and tile file-name grammar that the resize worker reads and writes.
#pragma once

#include <cstdint>
#include <string>

// Kept apart from the engine's helpers of the same names: resample/ depends on nothing but the
// standard library, and jobs/ links both.
namespace TileNames {

/// Base name (no folder, extension, tile or size part) and extension (no dot, case kept,
/// "big.tif" for BigTIFF names) of a full name. Only the file-name part is examined.
void SplitFileName(const std::string& fullName, std::string& base, std::string& extension);
/// Width and height from the size part ("photo_1000X500.raw"); 0 × 0 when absent.
void RawSizeFromName(const std::string& fullName, uint32_t& width, uint32_t& height);
/// Column and row from the tile part after the last "_" ("p_x3y2.raw"); 0, 0 when absent.
void TileIndexFromName(const std::string& fullName, uint32_t& column, uint32_t& row);
/// The folder part of a path, up to and including its last "/" ("" when none).
std::string FolderOf(const std::string& path);
/// Decimal integer with an optional sign; 0 when the text is not one or does not fit.
int32_t StrToIntSafe(const std::string& text);

} // namespace TileNames
