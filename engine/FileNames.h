// The file-name grammar of RAW files and tiles: names that carry an image's size
// ("photo_1000X500.raw") and a tile's size, column and row ("photo_1000X1000_x2y1.tif"), built
// and taken apart in this one place for the engine, the resize worker and the jobs alike.
#pragma once

#include <cstdint>
#include <string>
#include <unordered_map>
#include <vector>

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
/// A tile's name without extension: stem + size part + "_x" + column + "y" + row.
std::string TileFileName(
    const std::string& stem, uint32_t width, uint32_t height, uint32_t column, uint32_t row);
/// Column and row of a tile name for the resize worker ("p_x3y2.raw"); 0 when absent.
void TileIndexFromName(const std::string& fullName, uint32_t& column, uint32_t& row);

/// Reads the tile position "_X<column>Y<row>." from a tile file name (either case of X and Y);
/// a folder in front of the name is ignored. Returns false when the name has no "_X" with at
/// least seven characters after its "_"; otherwise sets x and y, a part that is not a whole
/// number giving 0. The name's last character is never read as part of a number.
[[nodiscard]] bool ParseTileIndex(const std::string& name, int32_t& x, int32_t& y);

/// The tile (column, row) of a merge: the first name of Files, in order, whose upper-cased
/// form contains "_X" + column + "Y" + row + "." + the upper-cased extension of the first
/// file; "" when none does.
std::string FindTileFile(const std::vector<std::string>& Files, uint32_t column, uint32_t row);

/// Finds the tiles of a merge as FindTileFile does, after one pass over the list, so that
/// looking up every tile of a large grid costs one pass instead of one pass per tile. Files
/// must outlive the finder and stay unchanged.
class TTileFinder {
public:
    explicit TTileFinder(const std::vector<std::string>& Files);
    /// The same name as FindTileFile(Files, column, row).
    std::string Find(uint32_t column, uint32_t row) const;

private:
    const std::vector<std::string>& Names;
    /// Column digits + "Y" + row digits of each tile key found, to the first file holding it.
    std::unordered_map<std::string, size_t> FirstWithKey;
};

/// The folder part of a path, up to and including its last separator ("" when none).
std::string DirectoryOf(const std::string& path);
/// The file-name part of a path (after the last separator).
std::string FileNameOf(const std::string& path);
/// The extension with its dot, upper-cased ("photo.tif" gives ".TIF"; "" when none).
std::string UpperExtensionOf(const std::string& path);
/// Upper-cased copy of an ASCII text.
std::string UpperCase(std::string text);
