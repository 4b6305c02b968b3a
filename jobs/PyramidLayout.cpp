// Levels, tile names and descriptors of the Deep Zoom, IIIF and pyramidal TIFF layouts.
#include "jobs/PyramidLayout.h"

#include <algorithm>

#include "resample/HalvingLevels.h"

namespace {

std::string Text(uint64_t v)
{
    return std::to_string(v);
}

} // namespace

uint32_t TTileGrid::Begin(uint32_t i) const
{
    const uint64_t nominal = uint64_t(i) * Tile;
    return static_cast<uint32_t>(nominal > Overlap ? nominal - Overlap : 0);
}

uint32_t TTileGrid::End(uint32_t i) const
{
    const uint64_t nominal = (uint64_t(i) + 1) * Tile + Overlap;
    return static_cast<uint32_t>(std::min<uint64_t>(nominal, Side));
}

std::string JsonQuoted(const std::string& text)
{
    static constexpr char kHex[] = "0123456789abcdef";
    std::string out = "\"";
    for (const char ch : text) {
        const auto c = static_cast<unsigned char>(ch);
        if (c == '"' || c == '\\') {
            out += '\\';
            out += ch;
        } else if (c < 0x20) {
            out += "\\u00";
            out += kHex[c >> 4];
            out += kHex[c & 0xf];
        } else {
            out += ch;
        }
    }
    return out + "\"";
}

TPyramidLayout::TPyramidLayout(const TPyramidLayoutSpec& setup)
    : FSpec(setup)
{
    const uint32_t tile = std::max<uint32_t>(setup.TileSize, 1);
    FSpec.TileSize = tile;
    if (setup.Kind != TPyramidLayoutKind::Dzi) {
        FSpec.Overlap = 0;
    }
    const uint32_t toOnePixel = HalvingsToOnePixel(setup.Width, setup.Height);
    while (FOneTileLevel < toOnePixel
        && (LevelSide(setup.Width, FOneTileLevel) > tile
            || LevelSide(setup.Height, FOneTileLevel) > tile)) {
        ++FOneTileLevel;
    }
    const uint32_t last = setup.Kind == TPyramidLayoutKind::Tiff ? FOneTileLevel : toOnePixel;
    for (uint32_t k = 0; k <= last; ++k) {
        TPyramidLevel level;
        level.Reduction = k;
        level.Width = LevelSide(setup.Width, k);
        level.Height = LevelSide(setup.Height, k);
        level.Columns = { level.Width, tile, FSpec.Overlap };
        level.Rows = { level.Height, tile, FSpec.Overlap };
        level.Padded = setup.Kind == TPyramidLayoutKind::Tiff;
        FLevels.push_back(level);
    }
    switch (setup.Kind) {
    case TPyramidLayoutKind::Dzi:
        FEntries = { setup.Name + "_files", setup.Name + ".dzi" };
        break;
    case TPyramidLayoutKind::Iiif:
        FEntries = { setup.Name };
        break;
    case TPyramidLayoutKind::Tiff:
        FEntries = { setup.Name + (setup.BigTiff ? ".big.tif" : ".tif") };
        break;
    }
}

std::vector<std::string> TPyramidLayout::Folders() const
{
    std::vector<std::string> folders { FEntries.front() };
    if (FSpec.Kind == TPyramidLayoutKind::Dzi) {
        const uint32_t top = static_cast<uint32_t>(FLevels.size()) - 1;
        for (const TPyramidLevel& level : FLevels) {
            folders.push_back(FEntries.front() + "/" + Text(top - level.Reduction));
        }
    } else if (FSpec.Kind == TPyramidLayoutKind::Tiff) {
        folders.clear();
    }
    return folders;
}

std::string TPyramidLayout::TilePath(uint32_t reduction, uint32_t column, uint32_t row) const
{
    if (FSpec.Kind == TPyramidLayoutKind::Dzi) {
        const uint32_t top = static_cast<uint32_t>(FLevels.size()) - 1;
        return FEntries.front() + "/" + Text(top - reduction) + "/" + Text(column) + "_" + Text(row)
            + "." + FSpec.Extension;
    }
    if (FSpec.Kind == TPyramidLayoutKind::Iiif) {
        return TileFolders(reduction, column, row).back() + "/default." + FSpec.Extension;
    }
    return {};
}

std::vector<std::string> TPyramidLayout::TileFolders(
    uint32_t reduction, uint32_t column, uint32_t row) const
{
    if (FSpec.Kind != TPyramidLayoutKind::Iiif) {
        return {};
    }
    const std::string region = FEntries.front() + "/" + IiifRegion(reduction, column, row);
    const std::string size = region + "/" + IiifSize(reduction, column, row);
    return { region, size, size + "/0" };
}

std::string TPyramidLayout::IiifRegion(uint32_t reduction, uint32_t column, uint32_t row) const
{
    // The region in full-resolution pixels: the tile's span at this level, scaled up.
    const uint64_t scale = uint64_t(1) << reduction;
    const uint64_t span = uint64_t(FSpec.TileSize) * scale;
    const uint64_t x = column * span;
    const uint64_t y = row * span;
    const uint64_t w = std::min<uint64_t>(span, FSpec.Width - x);
    const uint64_t h = std::min<uint64_t>(span, FSpec.Height - y);
    if (x == 0 && y == 0 && w == FSpec.Width && h == FSpec.Height) {
        return "full";
    }
    return Text(x) + "," + Text(y) + "," + Text(w) + "," + Text(h);
}

std::string TPyramidLayout::IiifSize(uint32_t reduction, uint32_t column, uint32_t row) const
{
    const TPyramidLevel& level = FLevels[reduction];
    const uint32_t w = level.Columns.End(column) - level.Columns.Begin(column);
    const uint32_t h = level.Rows.End(row) - level.Rows.Begin(row);
    if (w == FSpec.Width && h == FSpec.Height) {
        return "max";
    }
    return Text(w) + "," + Text(h);
}

std::vector<uint64_t> TPyramidLayout::IiifScaleFactors() const
{
    std::vector<uint64_t> factors;
    for (uint32_t k = 0; k <= FOneTileLevel; ++k) {
        factors.push_back(uint64_t(1) << k);
    }
    return factors;
}

std::pair<std::string, std::string> TPyramidLayout::Descriptor() const
{
    if (FSpec.Kind == TPyramidLayoutKind::Dzi) {
        const std::string text = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
                                 "<Image xmlns=\"http://schemas.microsoft.com/deepzoom/2008\""
                                 " Format=\""
            + FSpec.Extension + "\" Overlap=\"" + Text(FSpec.Overlap) + "\" TileSize=\""
            + Text(FSpec.TileSize) + "\">\n  <Size Width=\"" + Text(FSpec.Width) + "\" Height=\""
            + Text(FSpec.Height) + "\"/>\n</Image>\n";
        return { FEntries.back(), text };
    }
    if (FSpec.Kind == TPyramidLayoutKind::Tiff) {
        return {};
    }
    std::string factors;
    for (const uint64_t f : IiifScaleFactors()) {
        factors += (factors.empty() ? "" : ", ") + Text(f);
    }
    // Every level that fits in one tile is also offered whole, smallest first.
    std::string sizes;
    for (size_t k = FLevels.size(); k-- > FOneTileLevel;) {
        sizes += std::string(sizes.empty() ? "" : ",\n") + "    { \"width\": "
            + Text(FLevels[k].Width) + ", \"height\": " + Text(FLevels[k].Height) + " }";
    }
    const std::string id = FSpec.IiifId.empty() ? FSpec.Name : FSpec.IiifId;
    std::string text = "{\n  \"@context\": \"http://iiif.io/api/image/3/context.json\",\n"
                       "  \"id\": "
        + JsonQuoted(id)
        + ",\n  \"type\": \"ImageService3\",\n  \"protocol\": \"http://iiif.io/api/image\",\n"
          "  \"profile\": \"level0\",\n  \"width\": "
        + Text(FSpec.Width) + ",\n  \"height\": " + Text(FSpec.Height)
        + ",\n  \"tiles\": [\n    { \"width\": " + Text(FSpec.TileSize)
        + ", \"height\": " + Text(FSpec.TileSize) + ", \"scaleFactors\": [" + factors
        + "] }\n  ],\n  \"sizes\": [\n" + sizes + "\n  ]";
    if (FSpec.Extension != "jpg") {
        // Level 0 promises jpg only: other formats are announced as extra and preferred.
        text += ",\n  \"extraFormats\": [\"" + FSpec.Extension + "\"],\n  \"preferredFormats\": [\""
            + FSpec.Extension + "\"]";
    }
    return { FEntries.front() + "/info.json", text + "\n}\n" };
}
