// The three pyramid layouts viewers read: Deep Zoom (NAME.dzi and NAME_files/), IIIF Image API
// 3.0 static tiles (NAME/ with info.json) and the tiled pyramidal TIFF (NAME.tif): which levels
// are written, how each is cut into tiles, the names of the tiles and the descriptors.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

enum class TPyramidLayoutKind : uint8_t { Dzi, Iiif, Tiff };

/// Tiles along one side of a level: tile i covers [Begin(i), End(i)), its nominal
/// [i * Tile, (i + 1) * Tile) widened by Overlap on each side that has a neighbour, clipped to
/// the side.
struct TTileGrid {
    uint32_t Side = 0;
    uint32_t Tile = 1;
    uint32_t Overlap = 0;

    uint32_t Count() const { return Side / Tile + (Side % Tile != 0 ? 1 : 0); }
    uint32_t Begin(uint32_t i) const;
    uint32_t End(uint32_t i) const;
};

/// One level written: Reduction halvings below the full size, its tiles and their coded size
/// (Padded: every tile is Tile x Tile, filled past the level's edge with its last pixels).
struct TPyramidLevel {
    uint32_t Reduction = 0;
    uint32_t Width = 0;
    uint32_t Height = 0;
    TTileGrid Columns;
    TTileGrid Rows;
    bool Padded = false;
};

/// What the user asked of a layout.
struct TPyramidLayoutSpec {
    TPyramidLayoutKind Kind = TPyramidLayoutKind::Dzi;
    uint32_t Width = 0; ///< of the full image
    uint32_t Height = 0;
    uint32_t TileSize = 254;
    uint32_t Overlap = 1; ///< Deep Zoom only
    std::string Extension = "jpg"; ///< of the tile files: jpg, png or webp
    std::string Name; ///< base name of the output
    std::string IiifId; ///< the id written into info.json; "" = Name
    bool BigTiff = false; ///< TIFF only: the output is a BigTIFF
};

/// The levels, names and descriptors of one pyramid. Paths are relative to the output folder
/// and use '/' between their parts.
class TPyramidLayout {
public:
    explicit TPyramidLayout(const TPyramidLayoutSpec& setup);

    const TPyramidLayoutSpec& Setup() const { return FSpec; }
    /// The levels written, level[i].Reduction == i: down to 1 x 1 for Deep Zoom and IIIF, down to
    /// the first level that fits in one tile for TIFF.
    const std::vector<TPyramidLevel>& Levels() const { return FLevels; }
    /// The entries the output puts in its folder, in the order they are moved into place (the
    /// one a viewer opens last): {"NAME_files", "NAME.dzi"}, {"NAME"} or {"NAME.tif"}.
    const std::vector<std::string>& Entries() const { return FEntries; }
    /// Folders to make before any tile is written (Deep Zoom's level folders), parents first.
    std::vector<std::string> Folders() const;
    /// The path of a tile file (Deep Zoom and IIIF).
    std::string TilePath(uint32_t reduction, uint32_t column, uint32_t row) const;
    /// The folders of TilePath that each tile brings along (IIIF's region/size/rotation),
    /// parents first; none for the other layouts.
    std::vector<std::string> TileFolders(uint32_t reduction, uint32_t column, uint32_t row) const;
    /// The descriptor file (path, text): NAME.dzi or NAME/info.json; an empty path for TIFF.
    std::pair<std::string, std::string> Descriptor() const;

    /// IIIF: the region and size parts of a tile's path, in the API's canonical forms.
    std::string IiifRegion(uint32_t reduction, uint32_t column, uint32_t row) const;
    std::string IiifSize(uint32_t reduction, uint32_t column, uint32_t row) const;
    /// IIIF: the scale factors of the tiles (1, 2, 4, ... up to the level in one tile).
    std::vector<uint64_t> IiifScaleFactors() const;

private:
    TPyramidLayoutSpec FSpec;
    std::vector<TPyramidLevel> FLevels;
    std::vector<std::string> FEntries;
    uint32_t FOneTileLevel = 0; ///< the first level that fits in one tile
};

/// The text as a JSON string literal (quotes, backslash and control characters escaped).
std::string JsonQuoted(const std::string& text);
