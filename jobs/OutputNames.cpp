// The output folder and the names outputs will take.
#include "jobs/OutputNames.h"

#include <algorithm>

#include "engine/Formats.h"
#include "engine/TavmorUtils.h"

std::string OutputFolderFor(const std::string& fileName, const std::string& chosen)
{
    std::string folder =
        (!chosen.empty() && DirectoryExists(chosen)) ? chosen : DirectoryOf(fileName);
    if (folder.empty()) {
        // A name without a folder lives in the working folder; a lone separator would be
        // the root of the file system.
        return std::string { '.', kPathSeparator };
    }
    if (folder.back() != kPathSeparator) {
        folder += kPathSeparator;
    }
    return folder;
}

TWriteOptions WriteOptionsOf(const TOutputRequest& output)
{
    TWriteOptions options;
    static_cast<TTiffWriteOptions&>(options) = output.Tiff;
    const TFoundKind found = FindOutputKind(output.Kind);
    options.Compression = found.Kind ? found.Kind->Compression : TCompression::None;
    return options;
}

namespace {

/// The complete name of an output of width x height whose name before the extension is what
/// nameOf makes of the folder and base name; "" when the kind is unknown.
template <typename TNameOf>
std::string OutputNameOf(const TFileInfo& in, uint32_t width, uint32_t height,
    const TOutputRequest& output, TNameOf nameOf)
{
    const TFoundKind found = FindOutputKind(output.Kind);
    if (!found.Format) {
        return {};
    }
    const std::string stem = nameOf(
        OutputFolderFor(in.FileName, output.Folder) + BaseNameOf(in.FileName), *found.Format);
    return CompleteOutputName(
        stem, *found.Format, width, height, in.Bits, in.Channels, WriteOptionsOf(output));
}

} // namespace

std::string RegionOutputName(
    const TFileInfo& in, uint32_t width, uint32_t height, const TOutputRequest& output)
{
    if (!output.Name.empty()) {
        return FindOutputKind(output.Kind).Format ? output.Name : std::string();
    }
    return OutputNameOf(
        in, width, height, output, [&](const std::string& path, const TFormat& format) {
            return OutputStem(path, format, width, height);
        });
}

std::string FirstTileName(
    const TFileInfo& in, uint32_t tileWidth, uint32_t tileHeight, const TOutputRequest& output)
{
    const uint32_t width = std::min(tileWidth, in.Width);
    const uint32_t height = std::min(tileHeight, in.Height);
    return OutputNameOf(in, width, height, output, [&](const std::string& path, const TFormat&) {
        return TileFileName(path, width, height, 1, 1);
    });
}
