// The `tavmor` command line: reads the options, then runs the jobs on the files named.
#include <array>
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
#include "engine/TiffWriteOptions.h"
#include "jobs/PyramidTexts.h"

namespace {

/// The options as typed, before they are turned into a request.
struct TTypedOptions {
    std::string Format = "tif";
    std::string RawSize;
    int Bits = 0;
    bool Yes = false;
    bool No = false;
    std::vector<CLI::Option*> FormatOptions; ///< --format of every command
    std::vector<CLI::Option*> TiffOptions; ///< --predictor, --level, --strip-rows
    std::string Layout = "dzi";
    std::string Background;
};

const char* const kCommandNames[] = { "info", "convert", "crop", "split", "merge", "resize",
    "pyramid" };

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

/// Reads "R,G,B", each 0 to 255.
bool ParseColour(const std::string& text, std::array<uint8_t, 3>& colour)
{
    const char* p = text.data();
    const char* end = p + text.size();
    for (size_t i = 0; i < colour.size(); ++i) {
        unsigned value = 0;
        const auto res = std::from_chars(p, end, value);
        if (res.ec != std::errc() || value > 255
            || (i < 2 && (res.ptr == end || *res.ptr != ','))) {
            return false;
        }
        colour[i] = static_cast<uint8_t>(value);
        p = res.ptr + (i < 2 ? 1 : 0);
    }
    return p == end;
}

/// The --out, --yes, --no and --quiet of a command without --format (the pyramid).
void AddFolderOptions(CLI::App* command, TCliRequest& request, TTypedOptions& typed)
{
    command->add_option("--out", request.OutDir, CliText::HelpOut)->type_name("DIR");
    CLI::Option* yes = command->add_flag("--yes", typed.Yes, CliText::HelpYes);
    CLI::Option* no = command->add_flag("--no", typed.No, CliText::HelpNo);
    yes->excludes(no);
    command->add_flag("--quiet", request.Host.Quiet, CliText::HelpQuiet);
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
    TTiffWriteOptions& tiff = request.Tiff;
    typed.TiffOptions.push_back(
        command->add_flag("--predictor", tiff.Predictor, CliText::HelpPredictor));
    typed.TiffOptions.push_back(command->add_option("--level", tiff.Level, CliText::HelpLevel)
                                    ->type_name("N")
                                    ->check(CLI::Range(1, 22)));
    typed.TiffOptions.push_back(
        command->add_option("--strip-rows", tiff.RowsPerStrip, CliText::HelpStripRows)
            ->type_name("N")
            ->check(CLI::Range(1u, 1000000u)));
    command->add_option("--threads", tiff.Threads, CliText::HelpThreads)
        ->type_name("N")
        ->check(CLI::Range(0u, 256u));
    command->add_flag("--keep-alpha", tiff.KeepAlpha, CliText::HelpKeepAlpha);
    command->add_flag("--keep-metadata", tiff.KeepMetadata, CliText::HelpKeepMetadata);
}

/// The TIFF options against the output kind: a usage error's reason, or null.
const char* TiffOptionsRefusal(const TCliRequest& request, const TTypedOptions& typed)
{
    const TFoundKind found = FindOutputKind(request.Output);
    bool given = false;
    for (const CLI::Option* option : typed.TiffOptions) {
        given = given || option->count() > 0;
    }
    if (!found.Format || found.Format->Type != FileType::TIF) {
        return given ? CliText::TiffOptionsOnly : nullptr;
    }
    TTiffWriteOptions options = request.Tiff;
    options.Compression = found.Kind->Compression;
    // The size of a strip is judged when the image is known.
    return TiffOptionsReason(CheckTiffWriteOptions(options, 8, 0));
}

template <typename T> CLI::Validator InRange(T low, T high)
{
    return CLI::Range(low, high);
}

/// The pyramid's settings that depend on one another; kExitUsage after printing the reason.
int CheckPyramidOptions(TCliRequest& request, const TTypedOptions& typed)
{
    TPyramidOptions& pyr = request.Pyramid;
    pyr.Layout = typed.Layout == "iiif" ? TPyramidLayoutKind::Iiif
        : typed.Layout == "tiff"        ? TPyramidLayoutKind::Tiff
                                        : TPyramidLayoutKind::Dzi;
    if (!typed.Background.empty()) {
        (void)ParseColour(typed.Background, pyr.Background);
    }
    const uint32_t tile = pyr.TileSize != 0 ? pyr.TileSize : DefaultTileSize(pyr.Layout);
    const char* refusal = nullptr;
    if (pyr.Layout == TPyramidLayoutKind::Tiff && pyr.Suffix == ".webp") {
        refusal = PyramidText::TiffSuffix;
    } else if (pyr.Layout == TPyramidLayoutKind::Tiff && tile % 16 != 0) {
        refusal = PyramidText::TiffTileSize;
    } else if (pyr.Layout == TPyramidLayoutKind::Dzi && pyr.Overlap >= tile) {
        refusal = PyramidText::OverlapTooLarge;
    } else if (!pyr.Name.empty() && request.Files.size() > 1) {
        refusal = CliText::NameNeedsOneFile;
    } else if (!pyr.Name.empty()
        && (pyr.Name.find('/') != std::string::npos || pyr.Name == "." || pyr.Name == "..")) {
        refusal = PyramidText::BadName;
    }
    if (refusal) {
        std::fprintf(stderr, "%s: %s\n", CliText::Program, refusal);
        return kExitUsage;
    }
    return kExitOk;
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

    CLI::App* pyramid = app.add_subcommand("pyramid", CliText::HelpPyramid);
    pyramid->footer(CliText::ExamplesPyramid);
    TPyramidOptions& pyr = request.Pyramid;
    pyramid->add_option("FILE", request.Files, CliText::HelpFiles)->required();
    pyramid->add_option("--layout", typed.Layout, CliText::HelpLayout)
        ->check(CLI::IsMember({ "dzi", "iiif", "tiff" }));
    pyramid->add_option("--tile-size", pyr.TileSize, CliText::HelpTileSize)
        ->check(InRange<uint32_t>(16, 4096));
    pyramid->add_option("--overlap", pyr.Overlap, CliText::HelpOverlap)
        ->check(InRange<uint32_t>(0, 4095));
    pyramid->add_option("--suffix", pyr.Suffix, CliText::HelpSuffix)
        ->check(CLI::IsMember({ ".jpg", ".png", ".webp" }));
    pyramid->add_option("--quality", pyr.Quality, CliText::HelpQuality)->check(InRange(1, 100));
    pyramid->add_option("--background", typed.Background, CliText::HelpBackground)
        ->type_name("R,G,B")
        ->check(CLI::Validator(
            [](std::string& value) {
                std::array<uint8_t, 3> colour {};
                return ParseColour(value, colour) ? std::string()
                                                  : std::string(CliText::BackgroundFormat);
            },
            ""));
    pyramid->add_option("--iiif-id", pyr.IiifId, CliText::HelpIiifId)->type_name("URL");
    pyramid->add_option("-o", pyr.Name, CliText::HelpName)->type_name("NAME");
    AddFolderOptions(pyramid, request, typed);
    AddRawOptions(pyramid, typed);

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
        { merge, TCommand::Merge }, { resize, TCommand::Resize }, { pyramid, TCommand::Pyramid } };
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
    if (const char* refusal = TiffOptionsRefusal(request, typed)) {
        std::fprintf(stderr, "%s: %s\n", CliText::Program, refusal);
        return kExitUsage;
    }
    request.Host.Overwrite = typed.Yes ? TOverwriteAnswer::Yes
        : typed.No                     ? TOverwriteAnswer::No
                                       : TOverwriteAnswer::Ask;
    if (!typed.RawSize.empty()) {
        (void)ParseRawSize(typed.RawSize, request.Host.RawWidth, request.Host.RawHeight);
    }
    request.Host.RawBits = static_cast<uint8_t>(typed.Bits);
    if (request.Command == TCommand::Pyramid) {
        const int usage = CheckPyramidOptions(request, typed);
        if (usage != kExitOk) {
            return usage;
        }
    }
    return RunRequest(request);
}
