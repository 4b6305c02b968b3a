// Runs the commands of the command line: the input selection as the window does it, then the
// job of the command with the request the options fill, once per file, with a final line each.
#include "cli/Commands.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <system_error>

#include "cli/CliTexts.h"
#include "cli/InfoOutput.h"
#include "cli/NameClash.h"
#include "cli/ProgressLine.h"
#include "cli/StopSignals.h"
#include "engine/EngineTexts.h"
#include "engine/Formats.h"
#include "engine/ImageFiles.h"
#include "engine/InputCheck.h"
#include "engine/ReadCheck.h"
#include "engine/TavmorManager.h"
#include "engine/TavmorUtils.h"
#include "engine/TiffMetadata.h"
#include "jobs/Derived.h"
#include "jobs/JobTexts.h"
#include "jobs/OutputNames.h"
#include "jobs/TavmorJobs.h"
#include "jobs/TileSet.h"

namespace {

/// One engine, the terminal host and the jobs bound to both, for the whole run.
struct TRun {
    explicit TRun(const TCliRequest& request)
        : Host(Engine.Abort, request.Host)
        , Jobs(Engine, Host)
        , Request(request)
    {
        Engine.Dialogs = &Host;
        Output.Kind = request.Output;
        Output.Tiff = request.Tiff;
        Output.Folder = request.OutDir;
        Output.Name = request.OutName;
    }

    TTavmor Engine;
    TCliHost Host;
    TJobs Jobs;
    const TCliRequest& Request;
    TOutputRequest Output;
    bool AlphaNoted = false;
    bool ProfileNoted = false;
};

/// Restores the default signal handling when the run (and its engine) goes away.
struct TStopSignalsScope {
    explicit TStopSignalsScope(std::atomic<bool>& abort) { InstallStopSignals(abort); }
    ~TStopSignalsScope() { RemoveStopSignals(); }
    TStopSignalsScope(const TStopSignalsScope&) = delete;
    TStopSignalsScope& operator=(const TStopSignalsScope&) = delete;
};

/// Refuses a path that names no regular file: "No such file", or "not a regular file" for a
/// folder, a FIFO or a device.
bool RefusedAsNoFile(TRun& run, const std::string& file)
{
    if (FileExists(file)) {
        return false;
    }
    const bool notAFile = InputFileProblem(file) == kNotARegularFile;
    run.Host.PrintLine(CliText::Program + std::string(": ") + file + ": "
        + (notAFile ? kNotARegularFile : CliText::NoSuchFile));
    return true;
}

/// The window's selection of one input file, for a file named on the command line.
bool SelectInput(TRun& run, const std::string& file)
{
    if (RefusedAsNoFile(run, file)) {
        return false;
    }
    if (!HasSupportedExt(file)) {
        run.Host.ShowError(JobText::InvalidFileType);
        return false;
    }
    return run.Jobs.SelectInputFile(file);
}

/// " (3000 x 2000, 8-bit, 18012192 bytes (18 MB), 0.42 s)" for what a job wrote.
std::string Summary(uint32_t width, uint32_t height, uint8_t bits, uint64_t bytes, double seconds)
{
    char time[32];
    std::snprintf(time, sizeof time, "%.2f s", seconds);
    const std::string size = bytes < 1000
        ? std::to_string(bytes) + " bytes"
        : std::to_string(bytes) + " bytes (" + FormatBytes(bytes) + ")";
    return " (" + std::to_string(width) + " x " + std::to_string(height) + ", "
        + std::to_string(bits) + "-bit, " + size + ", " + time + ")";
}

/// The final line of one job (unless --quiet) and its exit status: what it wrote, or that it
/// ended without writing.
int Report(TRun& run, const TJobResult& result)
{
    const bool done = result.Outcome == TOutcome::Done && !result.Outputs.empty();
    if (!run.Host.Quiet()) {
        if (!done) {
            run.Host.Message(JobText::OperationAborted);
        } else if (run.Request.Command == TCommand::Pyramid) {
            // Levels and tiles of 8-bit samples, however deep the input; the bytes of the
            // whole tree.
            const std::string& output = result.Outputs.front();
            uint64_t bytes = 0;
            std::error_code ec;
            const std::string tree = run.Request.Pyramid.Layout == TPyramidLayoutKind::Dzi
                ? output.substr(0, output.size() - 4) + "_files"
                : output;
            bytes += static_cast<uint64_t>(std::max<int64_t>(FileSizeOf(output), 0));
            if (std::filesystem::is_directory(tree, ec)) {
                for (const auto& entry : std::filesystem::recursive_directory_iterator(tree, ec)) {
                    if (entry.is_regular_file(ec)) {
                        bytes += entry.file_size(ec);
                    }
                }
            }
            const TFileInfo& in = run.Engine.InInfo;
            run.Host.PrintLine(CliText::Program + std::string(": ") + output + ": "
                + JobText::OperationCompleted
                + Summary(in.Width, in.Height, 8, bytes, run.Host.Elapsed()));
        } else if (run.Request.Command == TCommand::Split) {
            uint64_t bytes = 0;
            for (const std::string& tile : result.Outputs) {
                bytes += static_cast<uint64_t>(std::max<int64_t>(FileSizeOf(tile), 0));
            }
            const TFileInfo& in = run.Engine.InInfo;
            const std::string folder = DirectoryOf(result.Outputs.front());
            run.Host.PrintLine(CliText::Program + std::string(": ")
                + (folder.empty() ? std::string("./") : folder) + ": " + JobText::OperationCompleted
                + " (" + std::to_string(result.Outputs.size()) + CliText::TilesOf
                + Summary(in.Width, in.Height, in.Bits, bytes, run.Host.Elapsed()).substr(2));
        } else {
            const std::string& output = result.Outputs.front();
            const TFileInfo& out = run.Engine.OutInfo;
            const uint64_t bytes = static_cast<uint64_t>(std::max<int64_t>(FileSizeOf(output), 0));
            run.Host.PrintLine(CliText::Program + std::string(": ") + output + ": "
                + JobText::OperationCompleted
                + Summary(out.Width, out.Height, out.Bits, bytes, run.Host.Elapsed()));
        }
    }
    return done ? kExitOk : kExitFailed;
}

/// Makes the folder a job writes into: --out DIR (or the folder of -o PATH) is created with its
/// parents when missing; a file there is refused. False when the job cannot write there.
bool PrepareOutputFolder(TRun& run)
{
    const std::string folder =
        !run.Request.OutName.empty() ? DirectoryOf(run.Request.OutName) : run.Request.OutDir;
    if (folder.empty() || DirectoryExists(folder)) {
        return true;
    }
    std::error_code ec;
    if (std::filesystem::exists(folder, ec)) {
        run.Host.PrintLine(CliText::Program + std::string(": ") + folder + ": "
            + JobText::OutputDirMissing + CliText::NotAFolder);
        return false;
    }
    if (!std::filesystem::create_directories(folder, ec) || ec) {
        run.Host.NoteDetail(folder, ec.message());
        run.Jobs.ShowError(JobText::OutputDirMissing);
        return false;
    }
    if (!run.Host.Quiet()) {
        run.Host.PrintLine(CliText::Program + std::string(": ") + folder + ": " + CliText::Created);
    }
    return true;
}

int RunInfo(TRun& run, const std::string& file, bool first)
{
    // A fresh record, so that nothing of the previous file shows for one the probe refuses.
    run.Jobs.ClearInput();
    run.Host.StartSubject(file, 0, 0, 0);
    run.Host.ForgetLastMessage();
    const bool accepted = SelectInput(run, file);
    bool valid = accepted;
    std::string reason;
    if (accepted && !CheckWholeRead(run.Engine.InInfo, reason)) {
        // Valid only when a whole read can succeed, as far as the headers and the length
        // tell: what a convert would say is said now.
        valid = false;
        run.Host.NoteDetail(file, reason);
        run.Host.ShowError(EngineText::ReadFileError);
    }
    reason = FileExists(file) ? run.Host.LastMessage() : InputFileProblem(file);
    if (run.Request.Json) {
        // One object for one file; an array of them for several.
        const bool array = run.Request.Files.size() > 1;
        std::string text = array ? (first ? "[" : ",\n ") : "";
        text += InfoJson(file, run.Engine.InInfo, valid, reason,
            accepted ? MetadataOf(run.Engine.InInfo) : TTiffMetadata {});
        std::fputs(text.c_str(), stdout);
    } else if (accepted) {
        std::fputs(
            InfoText(file, run.Engine.InInfo, MetadataOf(run.Engine.InInfo)).c_str(), stdout);
    }
    std::fflush(stdout);
    return valid ? kExitOk : kExitFailed;
}

/// Says once per run what of the input the output leaves out without being asked, and the
/// option that keeps it.
void NoteDrops(TRun& run, const std::string& file)
{
    const TFoundKind found = FindOutputKind(run.Output.Kind);
    if (!found.Format || run.Host.Quiet()) {
        return;
    }
    const TWriteOptions options = WriteOptionsOf(run.Output);
    const bool tiff = found.Format->Type == FileType::TIF;
    if (!run.AlphaNoted && run.Engine.InInfo.Channels == 4
        && OutputChannelsOf(*found.Format, 4, options) < 4) {
        run.AlphaNoted = true;
        run.Host.PrintLine(CliText::Program + std::string(": ") + file + ": "
            + (tiff ? CliText::AlphaDropped : CliText::AlphaDroppedNotTiff));
    }
    if (run.Engine.InInfo.SkippedSamples > 0) {
        run.Host.PrintLine(CliText::Program + std::string(": ") + file + ": "
            + CliText::ExtraSamplesSkipped + std::to_string(run.Engine.InInfo.SkippedSamples));
    }
    TTiffMetadata metadata;
    if (!run.ProfileNoted && !(tiff && options.KeepMetadata)
        && run.Engine.InInfo.ImageType == FileType::TIF && ReadTiffMetadataFile(file, metadata)
        && !metadata.IccProfile.empty()) {
        run.ProfileNoted = true;
        run.Host.PrintLine(CliText::Program + std::string(": ") + file + ": "
            + (tiff ? CliText::ProfileDropped : CliText::ProfileDroppedNotTiff));
    }
}

/// One input through the job of the command.
int RunOnFile(TRun& run, const std::string& file)
{
    run.Jobs.ClearInput();
    if (!SelectInput(run, file)) {
        return kExitFailed;
    }
    if (run.Request.Command != TCommand::Pyramid) {
        NoteDrops(run, file);
    }
    const TCliRequest& request = run.Request;
    const TFileInfo& in = run.Engine.InInfo;
    switch (request.Command) {
    case TCommand::Convert:
        return Report(run, run.Jobs.RunConvert({ run.Output }));
    case TCommand::Crop:
        return Report(run,
            run.Jobs.RunCrop(
                { run.Output, request.CropX, request.CropY, request.CropW, request.CropH }));
    case TCommand::Split:
        // Each side clamped to the image, as the window's fields do it.
        return Report(run,
            run.Jobs.RunSplit({ run.Output, Derived::ClampTileSide(request.TileWidth, in.Width),
                Derived::ClampTileSide(request.TileHeight, in.Height) }));
    case TCommand::Resize:
        return Report(run, run.Jobs.RunResize({ run.Output, request.ResizeWidth, request.Fast }));
    case TCommand::Pyramid: {
        TPyramidOptions options = request.Pyramid;
        options.Folder = request.OutDir;
        return Report(run, RunPyramid(run.Jobs, options));
    }
    case TCommand::Info:
    case TCommand::Merge:
        break;
    }
    return kExitUsage;
}

/// The window's tile-set selection for the tiles named, then the merge job.
int RunMergeOf(TRun& run, const std::vector<std::string>& tiles)
{
    for (const std::string& tile : tiles) {
        if (RefusedAsNoFile(run, tile)) {
            return kExitFailed;
        }
    }
    for (const std::string& tile : tiles) {
        if (!HasSupportedExt(tile)) {
            run.Host.StartSubject(tile, 0, 0, 0);
            run.Host.ShowError(JobText::InvalidFileType);
            return kExitFailed;
        }
    }
    uint64_t bytes = 0;
    for (const std::string& tile : tiles) {
        bytes += static_cast<uint64_t>(std::max<int64_t>(FileSizeOf(tile), 0));
    }
    run.Host.StartSubject(tiles.front(), 0, 0, bytes);
    const TTileSetCheck check = CheckTileSet(tiles);
    if (!check.Ok) {
        run.Host.ShowError(check.Message);
        return kExitFailed;
    }
    if (!PrepareOutputFolder(run)) {
        return kExitFailed;
    }
    return Report(run, run.Jobs.RunMerge({ run.Output, tiles, check.Columns, check.Rows }));
}

} // namespace

int RunRequest(const TCliRequest& request)
{
    TRun run(request);
    TStopSignalsScope signals(run.Engine.Abort);
    if (request.Command != TCommand::Info && request.Command != TCommand::Merge) {
        const TNameClash clash = FindNameClash(request);
        if (clash.Found) {
            run.Host.PrintLine(CliText::Program + std::string(": ") + clash.Output + ": "
                + CliText::SameOutput + clash.First + CliText::SameOutputAnd + clash.Second);
            return kExitFailed;
        }
    }

    int status = kExitOk;
    if (request.Command == TCommand::Merge) {
        status = RunMergeOf(run, request.Files);
    } else if (request.Command == TCommand::Info) {
        for (size_t i = 0; i < request.Files.size() && !StopRequested(); ++i) {
            status = std::max(status, RunInfo(run, request.Files[i], i == 0));
        }
        if (request.Json && request.Files.size() > 1) {
            std::fputs("]\n", stdout);
        } else if (request.Json) {
            std::fputs("\n", stdout);
        }
    } else if (PrepareOutputFolder(run)) {
        const int count = static_cast<int>(request.Files.size());
        for (int i = 0; i < count && !StopRequested(); ++i) {
            const std::string& file = request.Files[static_cast<size_t>(i)];
            run.Host.StartSubject(
                file, i + 1, count, static_cast<uint64_t>(std::max<int64_t>(FileSizeOf(file), 0)));
            status = std::max(status, RunOnFile(run, file));
        }
    } else {
        status = kExitFailed;
    }
    return StopRequested() ? kExitSignalBase + StopSignal() : status;
}
