// The `tavmor` command line: reads the options, then runs the window's jobs on the files named.
#include <charconv>
#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include <CLI/CLI.hpp>

#include "cli/CliTexts.h"
#include "cli/Commands.h"
#include "engine/FileInfo.h"
#include "engine/Formats.h"
#include "engine/OpenFileLimit.h"

namespace {

/// The options as typed, before they are turned into a request.
struct TTypedOptions {
    std::string Format = "tif";
    std::string RawSize;
    int Bits = 0;
    bool Yes = false;
    bool No = false;
};

/// Reads "WIDTHxHEIGHT" (either case of the x), each side 1 to the engine's largest.
bool ParseRawSize(const std::string& text, uint32_t& width, uint32_t& height)
{
    const size_t x = text.find_first_of("xX");
    if (x == std::string::npos) {
        return false;
    }
    const auto side = [](const char* first, const char* last, uint32_t& value) {
        const auto res = std::from_chars(first, last, value);
        return res.ec == std::errc() && res.ptr == last && value >= 1 && value <= kMaxImageSide;
    };
    const char* begin = text.data();
    return side(begin, begin + x, width) && side(begin + x + 1, begin + text.size(), height);
}

void AddRawOptions(CLI::App* command, TTypedOptions& typed)
{
    command->add_option("--raw-size", typed.RawSize, CliText::HelpRawSize)
        ->type_name("WxH")
        ->check(CLI::Validator(
            [](std::string& value) {
                uint32_t w = 0;
                uint32_t h = 0;
                return ParseRawSize(value, w, h) ? std::string()
                                                 : std::string(CliText::RawSizeFormat);
            },
            ""));
    command->add_option("--bits", typed.Bits, CliText::HelpBits)->check(CLI::IsMember({ 8, 16 }));
}

void AddOutputOptions(CLI::App* command, TCliRequest& request, TTypedOptions& typed)
{
    command->add_option("--format", typed.Format, CliText::HelpFormat)
        ->check(CLI::IsMember(OutputKindNames()));
    command->add_option("--out", request.OutDir, CliText::HelpOut)->type_name("DIR");
    CLI::Option* yes = command->add_flag("--yes", typed.Yes, CliText::HelpYes);
    CLI::Option* no = command->add_flag("--no", typed.No, CliText::HelpNo);
    yes->excludes(no);
    command->add_flag("--quiet", request.Host.Quiet, CliText::HelpQuiet);
}

template <typename T> CLI::Validator InRange(T low, T high)
{
    return CLI::Range(low, high);
}

} // namespace

int main(int argc, char** argv)
{
    // Split and merge keep one file open per tile column.
    (void)RaiseOpenFileLimit();

    TCliRequest request;
    TTypedOptions typed;
    CLI::App app { CliText::Description, CliText::Program };
    app.require_subcommand(1);
    app.set_version_flag("--version", "2.1.0");

    CLI::App* info = app.add_subcommand("info", CliText::HelpInfo);
    info->add_option("FILE", request.Files, CliText::HelpFiles)->required();
    info->add_flag("--json", request.Json, CliText::HelpJson);
    AddRawOptions(info, typed);

    CLI::App* convert = app.add_subcommand("convert", CliText::HelpConvert);
    convert->add_option("FILE", request.Files, CliText::HelpFiles)->required();
    AddOutputOptions(convert, request, typed);
    AddRawOptions(convert, typed);

    CLI::App* crop = app.add_subcommand("crop", CliText::HelpCrop);
    crop->add_option("FILE", request.Files, CliText::HelpFile)->required()->expected(1);
    crop->add_option("--x", request.CropX, CliText::HelpX)
        ->required()
        ->check(InRange<int64_t>(0, 9999999));
    crop->add_option("--y", request.CropY, CliText::HelpY)
        ->required()
        ->check(InRange<int64_t>(0, 9999999));
    crop->add_option("--width", request.CropW, CliText::HelpCropWidth)
        ->required()
        ->check(InRange<int64_t>(1, 9999999));
    crop->add_option("--height", request.CropH, CliText::HelpCropHeight)
        ->required()
        ->check(InRange<int64_t>(1, 9999999));
    AddOutputOptions(crop, request, typed);
    AddRawOptions(crop, typed);

    CLI::App* split = app.add_subcommand("split", CliText::HelpSplit);
    split->add_option("FILE", request.Files, CliText::HelpFiles)->required();
    split->add_option("--tile-width", request.TileWidth, CliText::HelpTileWidth)
        ->required()
        ->check(InRange<int64_t>(256, 1000000));
    split->add_option("--tile-height", request.TileHeight, CliText::HelpTileHeight)
        ->required()
        ->check(InRange<int64_t>(256, 1000000));
    AddOutputOptions(split, request, typed);
    AddRawOptions(split, typed);

    CLI::App* merge = app.add_subcommand("merge", CliText::HelpMerge);
    merge->add_option("TILE", request.Files, CliText::HelpTiles)->required();
    AddOutputOptions(merge, request, typed);

    CLI::App* resize = app.add_subcommand("resize", CliText::HelpResize);
    resize->add_option("FILE", request.Files, CliText::HelpFiles)->required();
    resize->add_option("--width", request.ResizeWidth, CliText::HelpResizeWidth)
        ->required()
        ->check(InRange<int64_t>(512, 999999));
    resize->add_flag("--fast", request.Fast, CliText::HelpFast);
    AddOutputOptions(resize, request, typed);
    AddRawOptions(resize, typed);

    try {
        app.parse(argc, argv);
    } catch (const CLI::ParseError& e) {
        // Help and version end well; every other parse error is a usage error.
        return app.exit(e) == 0 ? kExitOk : kExitUsage;
    }

    const std::map<const CLI::App*, TCommand> commands { { info, TCommand::Info },
        { convert, TCommand::Convert }, { crop, TCommand::Crop }, { split, TCommand::Split },
        { merge, TCommand::Merge }, { resize, TCommand::Resize } };
    for (const auto& [command, kind] : commands) {
        if (command->parsed()) {
            request.Command = kind;
        }
    }
    request.Output = typed.Format;
    request.Host.Overwrite = typed.Yes ? TOverwriteAnswer::Yes
        : typed.No                     ? TOverwriteAnswer::No
                                       : TOverwriteAnswer::Ask;
    if (!typed.RawSize.empty()) {
        (void)ParseRawSize(typed.RawSize, request.Host.RawWidth, request.Host.RawHeight);
    }
    request.Host.RawBits = static_cast<uint8_t>(typed.Bits);
    return RunRequest(request);
}
