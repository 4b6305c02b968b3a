// The output name of every input of a call, worked out silently, compared pairwise by a map.
#include "cli/NameClash.h"

#include <map>

#include "engine/EngineDialogs.h"
#include "engine/FileNames.h"
#include "engine/Streaming.h"
#include "engine/TavmorUtils.h"
#include "jobs/Derived.h"
#include "jobs/OutputNames.h"

namespace {

/// Answers the RAW question from the options, silently; declines everything else.
class TQuietDialogs final : public TEngineDialogs {
public:
    explicit TQuietDialogs(const TCliHostOptions& options)
        : FOptions(options)
    {
    }
    void ShowMessage(const std::string&) override { }
    void ShowErrorDialog(const std::string&) override { }
    bool AskYesNo(const std::string&) override { return false; }
    bool AskRawParameters(
        int64_t fileSize, uint32_t width, uint32_t height, uint8_t, TRawParameters& answer) override
    {
        answer.Width = FOptions.RawWidth != 0 ? FOptions.RawWidth : width;
        answer.Height = FOptions.RawHeight != 0 ? FOptions.RawHeight : height;
        answer.Bits = FOptions.RawBits;
        const uint64_t pixels = uint64_t { answer.Width } * answer.Height;
        if (answer.Bits == 0 && pixels != 0 && fileSize > 0) {
            const auto size = static_cast<uint64_t>(fileSize);
            answer.Bits = pixels * 3 == size ? 8 : (pixels * 6 == size ? 16 : 0);
        }
        return true;
    }

private:
    const TCliHostOptions& FOptions;
};

} // namespace

TNameClash FindNameClash(const TCliRequest& request)
{
    TNameClash clash;
    TQuietDialogs dialogs(request.Host);
    TOutputRequest output;
    output.Kind = request.Output;
    output.Folder = request.OutDir;
    std::map<std::string, std::string> writers; ///< output name to the input writing it
    for (const std::string& file : request.Files) {
        TFileInfo in;
        in.FileName = file;
        if (!FileExists(file)) {
            continue;
        }
        ProbeFile(in, dialogs, true);
        if (!in.ImageIsOk) {
            continue;
        }
        std::string name;
        switch (request.Command) {
        case TCommand::Convert:
        case TCommand::Resize:
            // A resize of inputs of one size gives outputs of one size.
            name = RegionOutputName(in, in.Width, in.Height, output);
            break;
        case TCommand::Crop:
            name = RegionOutputName(in, static_cast<uint32_t>(request.CropW),
                static_cast<uint32_t>(request.CropH), output);
            break;
        case TCommand::Split:
            name = FirstTileName(in,
                static_cast<uint32_t>(Derived::ClampTileSide(request.TileWidth, in.Width)),
                static_cast<uint32_t>(Derived::ClampTileSide(request.TileHeight, in.Height)),
                output);
            break;
        case TCommand::Pyramid:
            // Pyramids of one base name in one folder share every name.
            name = OutputFolderFor(file, request.OutDir)
                + (request.Pyramid.Name.empty() ? BaseNameOf(file) : request.Pyramid.Name)
                + " (pyramid)";
            break;
        case TCommand::Info:
        case TCommand::Merge:
            return clash;
        }
        if (name.empty()) {
            continue;
        }
        // A folder still to be made would otherwise pass for the inputs' own folders.
        if (!request.OutDir.empty() && !DirectoryExists(request.OutDir)) {
            name = request.OutDir + "/" + FileNameOf(name);
        }
        const auto [at, fresh] = writers.emplace(name, file);
        // The same file named twice writes its own output twice, which loses nothing.
        if (!fresh && !SameFile(at->second, file)) {
            clash.Found = true;
            clash.First = at->second;
            clash.Second = file;
            clash.Output = name;
            return clash;
        }
    }
    return clash;
}
