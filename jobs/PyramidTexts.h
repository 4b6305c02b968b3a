// Every text the pyramid job shows, byte for byte.
#pragma once

namespace PyramidText {
inline constexpr const char* TileEncodingError = "Error encoding a tile";
// Followed by the destination folder
inline constexpr const char* CannotCreateOutput = "Cannot create the output in ";
// Refusals of settings that do not go together
inline constexpr const char* TiffSuffix = "The tiff layout takes .jpg or .png tiles";
inline constexpr const char* TiffTileSize =
    "The tile size of the tiff layout must be a multiple of 16";
inline constexpr const char* OverlapTooLarge = "The overlap must be smaller than the tile size";
inline constexpr const char* BadName = "The output name must not be empty or hold a /";
} // namespace PyramidText
