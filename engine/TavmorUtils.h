// The small file-system, size and number helpers; the file-name grammar comes with them.
#pragma once

#include <cstdint>
#include <string>

#include "engine/FileNames.h"

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

/// True when the path names an existing regular file (or a link to one).
bool FileExists(const std::string& path);
/// True when the path names an existing directory.
bool DirectoryExists(const std::string& path);
/// True when both paths name one existing file (same device and inode).
bool SameFile(const std::string& a, const std::string& b);
/// Deletes a file; false when it could not be deleted.
bool DeleteFileAt(const std::string& path);
