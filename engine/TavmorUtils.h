// File-name grammar of RAW files and tiles, and the small size and number helpers.
#pragma once

#include <cstdint>
#include <string>

/// The platform's path separator; folders handed to the engine end with it.
inline constexpr char kPathSeparator = '/';

struct TSplitName {
    std::string Base; ///< file name without folder, extension, tile part and size part
    std::string Extension; ///< without the dot, case kept; "big.tif" for BigTIFF names
};

/// Takes a full name apart into its base name and extension (tile and size parts dropped).
TSplitName SplitFileName(const std::string& fullName);
/// The base name of SplitFileName.
std::string BaseNameOf(const std::string& fullName);
/// Width and height carried in a RAW or tile name ("photo_1000X500.raw"); 0 when absent.
void RawSizeFromName(const std::string& fullName, uint32_t& width, uint32_t& height);
/// The size part of a RAW name: "_" + width + "X" + height ("_1000X500").
std::string RawSizeSuffix(uint64_t width, uint64_t height);
/// Column and row of a tile name for the resize worker ("p_x3y2.raw"); 0 when absent.
void TileIndexFromName(const std::string& fullName, uint32_t& column, uint32_t& row);
/// Size in bytes without opening the file; -1 when it does not exist.
int64_t FileSizeOf(const std::string& path);
/// Bytes available to this user on the volume that holds the folder; 0 when unknown.
int64_t FreeSpaceOf(const std::string& folder);
/// The four bytes of v in reverse order.
uint32_t SwapEndian32(uint32_t v);
/// Decimal integer with an optional sign; 0 when the text is not one (or does not fit).
int32_t StrToIntSafe(const std::string& text);
/// Digits grouped by three with "." ("1.234.567").
std::string FormatThousands(int64_t v);
/// Pixel count with a unit word ("12.35 Megapixels"); decimalSeparator is the locale's.
std::string FormatPixelCount(int64_t v, char decimalSeparator = '.');

/// The folder part of a path, up to and including its last separator ("" when none).
std::string DirectoryOf(const std::string& path);
/// The file-name part of a path (after the last separator).
std::string FileNameOf(const std::string& path);
/// The extension with its dot, upper-cased ("photo.tif" gives ".TIF"; "" when none).
std::string UpperExtensionOf(const std::string& path);
/// Upper-cased copy of an ASCII text.
std::string UpperCase(std::string text);
/// True when the path names an existing regular file (or a link to one).
bool FileExists(const std::string& path);
/// True when the path names an existing directory.
bool DirectoryExists(const std::string& path);
/// True when both paths name one existing file (same device and inode).
bool SameFile(const std::string& a, const std::string& b);
/// Deletes a file; false when it could not be deleted.
bool DeleteFileAt(const std::string& path);
