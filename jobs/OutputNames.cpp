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

std::string RegionOutputName(
    const TFileInfo& in, uint32_t width, uint32_t height, const TOutputRequest& output)
{
    const TFoundKind found = FindOutputKind(output.Kind);
    if (!found.Format) {
        return {};
    }
    TWriteOptions options;
    static_cast<TTiffWriteOptions&>(options) = output.Tiff;
    options.Compression = found.Kind->Compression;
    const std::string stem =
        OutputStem(OutputFolderFor(in.FileName, output.Folder) + BaseNameOf(in.FileName),
            *found.Format, width, height);
    return CompleteOutputName(stem, *found.Format, width, height, in.Bits, in.Channels, options);
}

std::string FirstTileName(
    const TFileInfo& in, uint32_t tileWidth, uint32_t tileHeight, const TOutputRequest& output)
{
    const TFoundKind found = FindOutputKind(output.Kind);
    if (!found.Format) {
        return {};
    }
    TWriteOptions options;
    static_cast<TTiffWriteOptions&>(options) = output.Tiff;
    options.Compression = found.Kind->Compression;
    const uint32_t width = std::min(tileWidth, in.Width);
    const uint32_t height = std::min(tileHeight, in.Height);
    const std::string stem = TileFileName(
        OutputFolderFor(in.FileName, output.Folder) + BaseNameOf(in.FileName), width, height, 1, 1);
    return CompleteOutputName(stem, *found.Format, width, height, in.Bits, in.Channels, options);
}
