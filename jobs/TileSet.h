// Checks a selection of tile files for merging: supported types, tile positions and grid size.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "engine/FileNames.h"
#include "engine/Formats.h"

/// The outcome of checking a tile selection.
struct TTileSetCheck {
    bool Ok = false; ///< true when the number of names fits the grid their positions give
    int32_t Columns = 0; ///< largest column found in the names (the merge grid's X); set when Ok
    int32_t Rows = 0; ///< largest row found in the names (the merge grid's Y); set when Ok
    /// When Ok, the count and " files selected" for the input field and the status line;
    /// otherwise the exact message to show.
    std::string Message;
};

/// Checks a tile selection (full paths, in selection order): one type for all, and as many
/// names as the grid of the largest column and row found holds. Repeated or missing positions
/// are not looked for; the merge itself finds each tile by its position.
[[nodiscard]] TTileSetCheck CheckTileSet(const std::vector<std::string>& names);
