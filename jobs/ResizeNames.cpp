// The names of the Resize job's images, from the file-name grammar.
#include "jobs/ResizeNames.h"

#include "engine/FileNames.h"
#include "engine/RawFormat.h"

namespace ResizeNames {

namespace {

/// A tile's shrunk version: the worker writes it beside the tile, with the new size and the
/// tile's position (when it has a column).
std::string ShrunkName(const std::string& source, uint32_t newWidth, uint32_t newHeight)
{
    const TSplitName parts = SplitFileName(source);
    uint32_t column = 0;
    uint32_t row = 0;
    TileIndexFromName(source, column, row);
    std::string name = DirectoryOf(source) + parts.Base + RawSizeSuffix(newWidth, newHeight);
    if (column != 0) {
        name += "_x" + std::to_string(column) + "y" + std::to_string(row);
    }
    return name + "." + parts.Extension;
}

} // namespace

std::string IntermediateStem(const std::string& folder, const std::string& input,
    uint32_t firstWidth, uint32_t firstHeight, uint32_t newFirstWidth, uint32_t newFirstHeight,
    uint32_t width, uint32_t height)
{
    const TFormat& raw = RawFormatRow();
    const std::string tile =
        TileFileName(folder + BaseNameOf(input), firstWidth, firstHeight, 1, 1) + raw.Extension;
    const std::string shrunk = ShrunkName(tile, newFirstWidth, newFirstHeight);
    return OutputStem(folder + SplitFileName(shrunk).Base, raw, width, height);
}

std::string WorkingCopy(
    const std::string& folder, const std::string& input, uint32_t width, uint32_t height)
{
    const TFormat& raw = RawFormatRow();
    return OutputStem(folder + BaseNameOf(input), raw, width, height) + raw.Extension;
}

std::string WorkerResult(const std::string& source, uint32_t newWidth, uint32_t newHeight)
{
    return ShrunkName(source, newWidth, newHeight);
}

std::string OutputStemFor(const std::string& folder, const std::string& image,
    const TFormat& format, uint32_t width, uint32_t height)
{
    return OutputStem(folder + BaseNameOf(image), format, width, height);
}

} // namespace ResizeNames
