// Runs the commands of the command line: input selection as the window does it, the panel
// values from the options, then the window's Start handler, once per file.
#include "cli/Commands.h"

#include <algorithm>
#include <cstdio>

#include "cli/CliTexts.h"
#include "cli/StopSignals.h"
#include "engine/TavmorManager.h"
#include "engine/TavmorUtils.h"
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
        TPanelValues& panel = Host.Panel();
        panel.Output = request.Output;
        // The folder given is both the chosen folder and the browse dialog's last one, so
        // that a missing folder is refused instead of silently replaced.
        panel.EditOutputFolder = request.OutDir;
        panel.BrowseDirectory = request.OutDir;
    }

    TTavmor Engine;
    TCliHost Host;
    TJobs Jobs;
    const TCliRequest& Request;
};

/// Restores the default signal handling when the run (and its engine) goes away.
struct TStopSignalsScope {
    explicit TStopSignalsScope(std::atomic<bool>& abort) { InstallStopSignals(abort); }
    ~TStopSignalsScope() { RemoveStopSignals(); }
    TStopSignalsScope(const TStopSignalsScope&) = delete;
    TStopSignalsScope& operator=(const TStopSignalsScope&) = delete;
};

/// The window's selection of one input file, for a file named on the command line.
bool SelectInput(TRun& run, const std::string& file)
{
    if (!FileExists(file)) {
        run.Host.PrintLine(CliText::NoSuchFile + file);
        return false;
    }
    if (!HasSupportedExt(file)) {
        run.Host.ShowError(JobText::InvalidFileType);
        return false;
    }
    return run.Jobs.SelectInputFile(file);
}

/// Presses Start and reports the outcome; the exit status of the job.
int PressStart(TRun& run)
{
    run.Host.ClearStatus();
    run.Jobs.btStartClick();
    const std::string status = run.Host.LastStatus();
    if (!run.Request.Host.Quiet && !status.empty()) {
        run.Host.PrintLine(status);
    }
    return status == JobText::OperationCompleted ? kExitOk : kExitFailed;
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

void PrintInfoJson(const std::string& file, const TFileInfo& in, bool valid)
{
    const std::string text = "{\"file\":" + JsonString(file) + ",\"type\":"
        + JsonString(in.ImageTypeDesc) + ",\"file_size\":" + std::to_string(FileSizeOf(file))
        + ",\"width\":" + std::to_string(in.Width) + ",\"height\":" + std::to_string(in.Height)
        + ",\"bits\":" + std::to_string(in.Bits) + ",\"channels\":" + std::to_string(in.Channels)
        + ",\"valid\":" + (valid ? "true" : "false") + "}\n";
    std::fputs(text.c_str(), stdout);
}

int RunInfo(TRun& run, const std::string& file)
{
    // A fresh record, so that nothing of the previous file shows for one the probe refuses.
    run.Engine.InInfo = TFileInfo {};
    const bool valid = SelectInput(run, file);
    if (run.Request.Json) {
        PrintInfoJson(file, run.Engine.InInfo, valid);
    } else if (valid) {
        PrintInfoBox(file, run.Engine.InInfo);
    }
    std::fflush(stdout);
    return valid ? kExitOk : kExitFailed;
}

/// The pyramid job on the selected input; its outcome as the final status line.
int MakePyramid(TRun& run)
{
    run.Host.ClearStatus();
    const TOutcome outcome = RunPyramid(run.Jobs, run.Request.Pyramid);
    run.Jobs.ShowStatus(
        outcome == TOutcome::Done ? JobText::OperationCompleted : JobText::OperationAborted);
    if (!run.Request.Host.Quiet) {
        run.Host.PrintLine(run.Host.LastStatus());
    }
    return outcome == TOutcome::Done ? kExitOk : kExitFailed;
}

/// One input through the job of the command.
int RunOnFile(TRun& run, const std::string& file)
{
    run.Engine.InInfo = TFileInfo {};
    if (!SelectInput(run, file)) {
        return kExitFailed;
    }
    const TCliRequest& request = run.Request;
    TPanelValues& panel = run.Host.Panel();
    switch (request.Command) {
    case TCommand::Convert:
        panel.CurrentPanel = TPanel::Convert;
        break;
    case TCommand::Crop:
        panel.CurrentPanel = TPanel::Crop;
        panel.CropX = request.CropX;
        panel.CropY = request.CropY;
        panel.CropW = request.CropW;
        panel.CropH = request.CropH;
        break;
    case TCommand::Split:
        panel.CurrentPanel = TPanel::Split;
        // Typed into both fields: each is clamped to the image as the window does it.
        panel.SplitWidth = request.TileWidth;
        run.Jobs.jvSplitWidthChange(TPanelField::SplitWidth);
        panel.SplitHeight = request.TileHeight;
        run.Jobs.jvSplitWidthChange(TPanelField::SplitHeight);
        break;
    case TCommand::Resize:
        panel.CurrentPanel = TPanel::Resize;
        panel.FastResize = request.Fast;
        panel.ResizeW = request.ResizeWidth;
        run.Jobs.jvSplitWidthChange(TPanelField::ResizeW);
        break;
    case TCommand::Pyramid:
        return MakePyramid(run);
    case TCommand::Info:
    case TCommand::Merge:
        return kExitUsage;
    }
    return PressStart(run);
}

/// The window's tile-set selection for the tiles named, then the merge job.
int RunMergeOf(TRun& run, const std::vector<std::string>& tiles)
{
    for (const std::string& tile : tiles) {
        if (!FileExists(tile)) {
            run.Host.PrintLine(CliText::NoSuchFile + tile);
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
    TPanelValues& panel = run.Host.Panel();
    panel.CurrentPanel = TPanel::Merge;
    panel.MergeX = check.Columns;
    panel.MergeY = check.Rows;
    panel.SelectedFiles = tiles;
    run.Host.ShowStatus(check.Message);
    return PressStart(run);
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

    int status = kExitOk;
    if (request.Command == TCommand::Merge) {
        status = RunMergeOf(run, request.Files);
    } else {
        for (const std::string& file : request.Files) {
            if (StopRequested()) {
                break;
            }
            const int fileStatus =
                request.Command == TCommand::Info ? RunInfo(run, file) : RunOnFile(run, file);
            status = std::max(status, fileStatus);
        }
    }
    return StopRequested() ? kExitInterrupted : status;
}
