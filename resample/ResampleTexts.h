// Diagnostic texts of the in-memory image routines and the resize worker; never shown to users.
#pragma once

namespace ResampleText {
inline constexpr const char* BadImageSize = "Image width and height must be greater than 0";
inline constexpr const char* UnknownFormat = "Unknown pixel format";
inline constexpr const char* ImageTooLarge = "Image too large for this machine";
inline constexpr const char* OutOfMemory = "Not enough memory for the image";
inline constexpr const char* CannotOpen = "Cannot open file ";
inline constexpr const char* CannotCreate = "Cannot create file ";
inline constexpr const char* ShortFile = "File shorter than its image: ";
inline constexpr const char* WriteFailed = "Cannot write file ";
inline constexpr const char* UnknownFilter = "Unknown resize filter";
inline constexpr const char* BadNewSize = "New width and height must be greater than 0";
inline constexpr const char* BadDivider = "Divider gives no usable size";
inline constexpr const char* TileLengthMismatch =
    "Tile length matches neither 8 nor 16 bits for the size in its name: ";
inline constexpr const char* UnknownError = "Unknown failure";
inline constexpr const char* NoSink = "No destination for the rows";
inline constexpr const char* NotOpen = "Row resize not open";
inline constexpr const char* TooManyRows = "More source rows than the tile has";
inline constexpr const char* MissingRow = "A needed source row is missing";
inline constexpr const char* RowRefused = "Destination row refused";
inline constexpr const char* SourceFailed = "Source row could not be read";
} // namespace ResampleText
