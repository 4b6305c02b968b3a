// The `tavmor` command line: reads the options, then runs the jobs on the files named.
#include <charconv>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <map>
#include <string>
#include <vector>

#include <tiffio.h>

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
    std::vector<CLI::Option*> FormatOptions; ///< --format of every command
};

const char* const kCommandNames[] = { "info", "convert", "crop", "split", "merge", "resize" };

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

void AddOutputOptions(CLI::App* command, TCliRequest& request, TTypedOptions& typed, bool oneOutput)
{
    typed.FormatOptions.push_back(command->add_option("--format", typed.Format, CliText::HelpFormat)
                                      ->check(CLI::IsMember(OutputKindNames())));
    CLI::Option* out =
        command->add_option("--out", request.OutDir, CliText::HelpOut)->type_name("DIR");
    if (oneOutput) {
        command->add_option("-o,--output", request.OutName, CliText::HelpOutName)
            ->type_name("PATH")
            ->excludes(out);
    }
    CLI::Option* yes = command->add_flag("--yes", typed.Yes, CliText::HelpYes);
    CLI::Option* no = command->add_flag("--no", typed.No, CliText::HelpNo);
    yes->excludes(no);
    command->add_flag("--quiet", request.Host.Quiet, CliText::HelpQuiet);
}

template <typename T> CLI::Validator InRange(T low, T high)
{
    return CLI::Range(low, high);
}

/// "tavmor foo": a word where a command belongs that names none.
bool UnknownCommand(int argc, char** argv)
{
    for (int i = 1; i < argc; ++i) {
        if (argv[i][0] == '-') {
            continue;
        }
        for (const char* name : kCommandNames) {
            if (std::strcmp(argv[i], name) == 0) {
                return false;
            }
        }
        std::fprintf(stderr, "%s: %s'%s'%s\n", CliText::Program, CliText::UnknownCommand, argv[i],
            CliText::Commands);
        return true;
    }
    return false;
}

} // namespace

int main(int argc, char** argv)
{
    // Split and merge keep one file open per tile column.
    (void)RaiseOpenFileLimit();

    if (UnknownCommand(argc, argv)) {
        return kExitUsage;
    }

    TCliRequest request;
    TTypedOptions typed;
    CLI::App app { CliText::Description, CliText::Program };
    app.require_subcommand(1);
    app.footer(CliText::ExamplesMain);
    bool version = false;
    app.add_flag("--version", version, CliText::HelpVersion);

    CLI::App* info = app.add_subcommand("info", CliText::HelpInfo);
    info->footer(CliText::ExamplesInfo);
    info->add_option("FILE", request.Files, CliText::HelpFiles)->required();
    info->add_flag("--json", request.Json, CliText::HelpJson);
    AddRawOptions(info, typed);

    CLI::App* convert = app.add_subcommand("convert", CliText::HelpConvert);
    convert->footer(CliText::ExamplesConvert);
    convert->add_option("FILE", request.Files, CliText::HelpFiles)->required();
    AddOutputOptions(convert, request, typed, true);
    AddRawOptions(convert, typed);

    CLI::App* crop = app.add_subcommand("crop", CliText::HelpCrop);
    crop->footer(CliText::ExamplesCrop);
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
    AddOutputOptions(crop, request, typed, true);
    AddRawOptions(crop, typed);

    CLI::App* split = app.add_subcommand("split", CliText::HelpSplit);
    split->footer(CliText::ExamplesSplit);
    split->add_option("FILE", request.Files, CliText::HelpFiles)->required();
    split->add_option("--tile-width", request.TileWidth, CliText::HelpTileWidth)
        ->required()
        ->check(InRange<int64_t>(256, 1000000));
    split->add_option("--tile-height", request.TileHeight, CliText::HelpTileHeight)
        ->required()
        ->check(InRange<int64_t>(256, 1000000));
    AddOutputOptions(split, request, typed, false);
    AddRawOptions(split, typed);

    CLI::App* merge = app.add_subcommand("merge", CliText::HelpMerge);
    merge->footer(CliText::ExamplesMerge);
    merge->add_option("TILE", request.Files, CliText::HelpTiles)->required();
    AddOutputOptions(merge, request, typed, true);

    CLI::App* resize = app.add_subcommand("resize", CliText::HelpResize);
    resize->footer(CliText::ExamplesResize);
    resize->add_option("FILE", request.Files, CliText::HelpFiles)->required();
    resize->add_option("--width", request.ResizeWidth, CliText::HelpResizeWidth)
        ->required()
        ->check(InRange<int64_t>(512, 999999));
    resize->add_flag("--fast", request.Fast, CliText::HelpFast);
    AddOutputOptions(resize, request, typed, true);
    AddRawOptions(resize, typed);

    // --version needs no command; everything else does.
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--version") == 0) {
            const std::string libtiff = TIFFGetVersion();
            std::printf("%s %s\n%s\n", CliText::Program, CliText::Version,
                libtiff.substr(0, libtiff.find('\n')).c_str());
            return kExitOk;
        }
    }
    try {
        app.parse(argc, argv);
    } catch (const CLI::ParseError& e) {
        // Help ends well; every other parse error is a usage error.
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
    if (!request.OutName.empty()) {
        if (request.Command != TCommand::Merge && request.Files.size() != 1) {
            std::fprintf(stderr, "%s: %s\n", CliText::Program, CliText::OneOutputOnly);
            return kExitUsage;
        }
        bool formatGiven = false;
        for (const CLI::Option* option : typed.FormatOptions) {
            formatGiven = formatGiven || option->count() > 0;
        }
        // Without --format the name's extension says the format.
        if (!formatGiven) {
            const TFormat* format = FormatForPath(request.OutName);
            if (!format || format->OutputKinds.empty()) {
                std::fprintf(stderr, "%s: %s: %s\n", CliText::Program, request.OutName.c_str(),
                    CliText::UnknownOutputExtension);
                return kExitUsage;
            }
            request.Output = format->OutputKinds.front().Name;
        }
    }
    request.Host.Overwrite = typed.Yes ? TOverwriteAnswer::Yes
        : typed.No                     ? TOverwriteAnswer::No
                                       : TOverwriteAnswer::Ask;
    if (!typed.RawSize.empty()) {
        (void)ParseRawSize(typed.RawSize, request.Host.RawWidth, request.Host.RawHeight);
    }
    request.Host.RawBits = static_cast<uint8_t>(typed.Bits);
    return RunRequest(request);
}
