// Checks a selection of tile files for merging: supported types, tile positions and grid size.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

/// The outcome of checking a tile selection.
struct TTileSetCheck {
    bool Ok = false; ///< true when the number of names fits the grid their positions give
    int32_t Columns = 0; ///< largest column found in the names (the merge grid's X); set when Ok
    int32_t Rows = 0; ///< largest row found in the names (the merge grid's Y); set when Ok
    /// When Ok, the count and " files selected" for the input field and the status line;
    /// otherwise the exact message to show.
    std::string Message;
};

/// True for the extensions an input may have; `upperExt` is upper-cased with its dot (".TIF").
[[nodiscard]] bool IsSupportedExt(const std::string& upperExt);

/// True when the path's extension, upper-cased, is a supported one.
[[nodiscard]] bool HasSupportedExt(const std::string& path);

/// Reads the tile position "_X<column>Y<row>." from a tile file name (either case of X and Y);
/// a folder in front of the name is ignored. Returns false when the name has no "_X" with at
/// least seven characters after its "_"; otherwise sets x and y, a part that is not a whole
/// number giving 0. The name's last character is never read as part of a number.
[[nodiscard]] bool ParseTileIndex(const std::string& name, int32_t& x, int32_t& y);

/// Checks a tile selection (full paths, in selection order): one type for all, and as many
/// names as the grid of the largest column and row found holds. Repeated or missing positions
/// are not looked for; the merge itself finds each tile by its position.
[[nodiscard]] TTileSetCheck CheckTileSet(const std::vector<std::string>& names);
