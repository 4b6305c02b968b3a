// Runs the commands of the command line: input selection as the window does it, the panel
// values from the options, then the window's Start handler, once per file.
#include "cli/Commands.h"

#include <algorithm>
#include <cstdio>

#include "cli/CliTexts.h"
#include "cli/NameClash.h"
#include "cli/StopSignals.h"
#include "engine/Formats.h"
#include "engine/InputCheck.h"
#include "engine/ReadCheck.h"
#include "engine/TavmorManager.h"
#include "engine/TavmorUtils.h"
#include "jobs/Derived.h"
#include "jobs/JobTexts.h"
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
        Output.Folder = request.OutDir;
    }

    TTavmor Engine;
    TCliHost Host;
    TJobs Jobs;
    const TCliRequest& Request;
    TOutputRequest Output;
};

/// Restores the default signal handling when the run (and its engine) goes away.
struct TStopSignalsScope {
    explicit TStopSignalsScope(std::atomic<bool>& abort) { InstallStopSignals(abort); }
    ~TStopSignalsScope() { RemoveStopSignals(); }
    TStopSignalsScope(const TStopSignalsScope&) = delete;
    TStopSignalsScope& operator=(const TStopSignalsScope&) = delete;
};

/// Refuses a path that names no regular file: a missing one, a folder, a FIFO or a device.
bool RefusedAsNoFile(TRun& run, const std::string& file)
{
    if (FileExists(file)) {
        return false;
    }
    const std::string problem = InputFileProblem(file);
    run.Host.NoteDetail(file, problem);
    run.Host.PrintLine(
        (problem == kNotARegularFile ? CliText::NotARegularFile : CliText::NoSuchFile) + file);
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

/// Prints the outcome as the window's status line would show it; the job's exit status.
int Report(TRun& run, const TJobResult& result)
{
    const char* status =
        result.Outcome == TOutcome::Done ? JobText::OperationCompleted : JobText::OperationAborted;
    if (!run.Request.Host.Quiet) {
        run.Host.PrintLine(status);
    }
    return result.Outcome == TOutcome::Done ? kExitOk : kExitFailed;
}

/// The folder named by --out must exist: an output is never silently put elsewhere.
bool OutputFolderMissing(TRun& run)
{
    if (!run.Request.OutDir.empty() && !DirectoryExists(run.Request.OutDir)) {
        run.Jobs.ShowError(JobText::OutputDirMissing);
        return true;
    }
    return false;
}

void PrintInfoBox(const std::string& file, const TFileInfo& in)
{
    const int64_t pixels = int64_t { in.Width } * int64_t { in.Height };
    const std::string text = file + "\n  " + CliText::InfoFileSize + FormatThousands(in.FileSize)
        + "\n  " + CliText::InfoWidth + FormatThousands(in.Width) + "\n  " + CliText::InfoHeight
        + FormatThousands(in.Height) + "\n  " + CliText::InfoBits + std::to_string(in.Bits) + "\n  "
        + CliText::InfoChannels + std::to_string(in.Channels) + "\n  " + CliText::InfoImage
        + FormatPixelCount(pixels) + "\n";
    std::fputs(text.c_str(), stdout);
}

/// One file's JSON object; reason only for an invalid file. Several files make one array,
/// which RunRequest closes: index and count place the object in it.
void PrintInfoJson(const std::string& file, const TFileInfo& in, bool valid,
    const std::string& reason, size_t index, size_t count)
{
    std::string text = count > 1 ? (index == 0 ? "[" : ",\n") : "";
    text += "{\"file\":" + JsonString(file) + ",\"type\":" + JsonString(in.ImageTypeDesc)
        + ",\"file_size\":" + std::to_string(FileSizeOf(file))
        + ",\"width\":" + std::to_string(in.Width) + ",\"height\":" + std::to_string(in.Height)
        + ",\"bits\":" + std::to_string(in.Bits) + ",\"channels\":" + std::to_string(in.Channels)
        + ",\"valid\":" + (valid ? "true" : "false")
        + (valid ? "" : ",\"reason\":" + JsonString(reason)) + "}";
    text += count > 1 ? "" : "\n";
    std::fputs(text.c_str(), stdout);
}

/// The terminal's dialogs, keeping the last text shown and the reason noted for it, so that
/// `info --json` can say why a file is not valid.
class TNotingDialogs final : public TEngineDialogs {
public:
    explicit TNotingDialogs(TCliHost& host)
        : FHost(host)
    {
    }
    void ShowMessage(const std::string& text) override
    {
        Keep(text);
        FHost.ShowMessage(text);
    }
    void ShowErrorDialog(const std::string& text) override
    {
        Keep(text);
        FHost.ShowErrorDialog(text);
    }
    bool AskYesNo(const std::string& text) override { return FHost.AskYesNo(text); }
    bool AskRawParameters(int64_t fileSize, uint32_t width, uint32_t height, uint8_t bits,
        TRawParameters& answer) override
    {
        return FHost.AskRawParameters(fileSize, width, height, bits, answer);
    }
    bool ReplaceAgreed() const override { return FHost.ReplaceAgreed(); }
    void NoteDetail(const std::string& file, const std::string& reason) override
    {
        FNoted = reason;
        FHost.NoteDetail(file, reason);
    }
    /// The last text shown, followed by the reason noted before it ("" when none was shown).
    const std::string& Last() const { return FLast; }

private:
    void Keep(const std::string& text)
    {
        FLast = FNoted.empty() ? text : text + ": " + FNoted;
        FNoted.clear();
    }

    TCliHost& FHost;
    std::string FLast;
    std::string FNoted;
};

int RunInfo(TRun& run, const std::string& file, size_t index, size_t count)
{
    // A fresh record, so that nothing of the previous file shows for one the probe refuses.
    run.Jobs.ClearInput();
    TNotingDialogs dialogs(run.Host);
    run.Engine.Dialogs = &dialogs;
    bool valid = SelectInput(run, file);
    run.Engine.Dialogs = &run.Host;
    std::string reason = dialogs.Last();
    if (!FileExists(file)) {
        reason = InputFileProblem(file);
    } else if (valid) {
        // Valid only when every line can be read, as far as the headers and the length tell.
        valid = CheckWholeRead(run.Engine.InInfo, reason);
    }
    if (run.Request.Json) {
        PrintInfoJson(file, run.Engine.InInfo, valid, reason, index, count);
    } else if (run.Engine.InInfo.ImageIsOk) {
        PrintInfoBox(file, run.Engine.InInfo);
    }
    std::fflush(stdout);
    return valid ? kExitOk : kExitFailed;
}

/// One input through the job of the command.
int RunOnFile(TRun& run, const std::string& file)
{
    run.Jobs.ClearInput();
    if (!SelectInput(run, file)) {
        return kExitFailed;
    }
    if (OutputFolderMissing(run)) {
        return kExitFailed;
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
            run.Host.ShowError(JobText::InvalidFileType);
            return kExitFailed;
        }
    }
    const TTileSetCheck check = CheckTileSet(tiles);
    if (!check.Ok) {
        run.Host.ShowError(check.Message);
        return kExitFailed;
    }
    if (OutputFolderMissing(run)) {
        return kExitFailed;
    }
    run.Host.ShowStatus(check.Message);
    return Report(run, run.Jobs.RunMerge({ run.Output, tiles, check.Columns, check.Rows }));
}

void AppendUtf8Escaped(std::string& out, const std::string& text)
{
    static constexpr char kHex[] = "0123456789abcdef";
    const auto* s = reinterpret_cast<const unsigned char*>(text.data());
    const size_t n = text.size();
    for (size_t i = 0; i < n;) {
        const unsigned char c = s[i];
        if (c == '"' || c == '\\') {
            out += '\\';
            out += static_cast<char>(c);
            ++i;
        } else if (c < 0x20 || c == 0x7f) {
            switch (c) {
            case '\n':
                out += "\\n";
                break;
            case '\r':
                out += "\\r";
                break;
            case '\t':
                out += "\\t";
                break;
            default:
                out += "\\u00";
                out += kHex[c >> 4];
                out += kHex[c & 0xf];
            }
            ++i;
        } else if (c < 0x80) {
            out += static_cast<char>(c);
            ++i;
        } else {
            // A well-formed UTF-8 sequence passes as it is (no overlong forms, no surrogates).
            size_t len = 0;
            uint32_t min = 0;
            if ((c & 0xe0) == 0xc0) {
                len = 2;
                min = 0x80;
            } else if ((c & 0xf0) == 0xe0) {
                len = 3;
                min = 0x800;
            } else if ((c & 0xf8) == 0xf0) {
                len = 4;
                min = 0x10000;
            }
            bool ok = len != 0 && i + len <= n;
            uint32_t code = ok ? (c & (0x7f >> len)) : 0;
            for (size_t k = 1; ok && k < len; ++k) {
                ok = (s[i + k] & 0xc0) == 0x80;
                code = (code << 6) | (s[i + k] & 0x3f);
            }
            ok = ok && code >= min && code <= 0x10ffff && (code < 0xd800 || code > 0xdfff);
            if (ok) {
                out.append(text, i, len);
                i += len;
            } else {
                out += "\\ufffd";
                ++i;
            }
        }
    }
}

} // namespace

std::string JsonString(const std::string& text)
{
    std::string out = "\"";
    AppendUtf8Escaped(out, text);
    out += '"';
    return out;
}

int RunRequest(const TCliRequest& request)
{
    TRun run(request);
    TStopSignalsScope signals(run.Engine.Abort);
    if (request.Command != TCommand::Info && request.Command != TCommand::Merge) {
        const TNameClash clash = FindNameClash(request);
        if (clash.Found) {
            run.Host.PrintLine(CliText::SameOutput + clash.Output + CliText::SameOutputFrom
                + clash.First + CliText::SameOutputAnd + clash.Second);
            return kExitFailed;
        }
    }

    int status = kExitOk;
    if (request.Command == TCommand::Merge) {
        status = RunMergeOf(run, request.Files);
    } else {
        const size_t count = request.Files.size();
        size_t done = 0;
        for (; done < count && !StopRequested(); ++done) {
            const std::string& file = request.Files[done];
            const int fileStatus = request.Command == TCommand::Info
                ? RunInfo(run, file, done, count)
                : RunOnFile(run, file);
            status = std::max(status, fileStatus);
        }
        if (request.Command == TCommand::Info && request.Json && count > 1 && done > 0) {
            std::fputs("]\n", stdout);
            std::fflush(stdout);
        }
    }
    return StopRequested() ? kExitSignalBase + StopSignal() : status;
}
