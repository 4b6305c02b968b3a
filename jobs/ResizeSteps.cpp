// The steps of the Resize job's passes: a tiling pass (its input and output opened, the tiles
// resized band by band while the reader and the writer go on, the last lines written and the
// file named) and the final pass (one worker straight into the output, or a plain copy), with
// the gauge, the status lines, pause, abort and the reports of what failed.
#include <algorithm>
#include <cstdint>
#include <string>
#include <thread>
#include <vector>

#include "engine/EngineTexts.h"
#include "engine/Formats.h"
#include "engine/RawFormat.h"
#include "engine/Streaming.h"
#include "engine/TavmorUtils.h"
#include "jobs/JobTexts.h"
#include "jobs/ResizeNames.h"
#include "jobs/ResizeRun.h"

using ResizeRun::kAbortPollSleep;
using ResizeRun::kPollSleep;

namespace {

/// "Resizing tile " + tiles handed out + "/" + tiles of the pass.
std::string TileStatus(size_t started, size_t count)
{
    return JobText::ResizingTile + std::to_string(started) + JobText::ResizingTileOf
        + std::to_string(count);
}

} // namespace

bool TResizeRun::TilingPass(const ResizePlan::TStep& step, bool exactPassDone)
{
    TFileInfo& in = Engine.InInfo;
    TResizePass pass;
    if (!pass.Plan(in, step.Pass, step.Divider, Fast)) {
        // A tile that shrinks to nothing cannot be resized.
        Engine.UserDialogs().NoteDetail(in.FileName, "a tile shrinks to nothing");
        Jobs.ShowError(JobText::ErrorResizing);
        Engine.Abort = true;
        DropIntermediate();
        return false;
    }
    const uint32_t width = pass.NewWidth();
    const uint32_t height = pass.NewHeight();
    // The pass after which nothing is resampled any more writes the job's output itself.
    const ResizePlan::TStep next =
        ResizePlan::NextStep(width, height, TargetWidth, TargetHeight, Stepping, exactPassDone);
    const bool last = !next.Tiling && !next.Resample;
    const std::string merged =
        ResizeNames::IntermediateStem(TempFolder, in.FileName, pass.TileWidth(0),
            pass.TileHeight(0), pass.NewTileWidth(0), pass.NewTileHeight(0), width, height)
        + RawFormatRow().Extension;

    // Step 1: the input and the pass's output are opened.
    TPassOutput out;
    Jobs.ShowProgress(static_cast<int32_t>(in.Height), JobText::ResizeStepSplit);
    bool ok = OpenPassInput(pass);
    if (ok) {
        Jobs.UpdateProgress(0);
    }
    if (ok && !Engine.Abort) {
        ok = last ? OpenJobOutput(out, merged, width, height, in.Bits)
                  : OpenScratch(out, merged, width, height, in.Bits);
        if (ok) {
            Jobs.UpdateProgress(0);
        }
    }
    Jobs.HideProgress();

    // Step 2: the tiles are read from the input and resized band by band, while the joined
    // lines are written.
    if (ok && !Engine.Abort) {
        Jobs.ShowProgress(static_cast<int32_t>(std::min<size_t>(2 * pass.TileCount(), INT32_MAX)),
            JobText::ResizeStepTiles);
        if (!pass.Start(out.Target())) {
            Engine.UserDialogs().NoteDetail(Engine.InInfo.FileName, "");
            Jobs.ShowError(JobText::ErrorCreatingResizer);
            Engine.Abort = true;
        } else {
            TileCycles(pass, out);
        }
        if (Engine.Abort) {
            StopPass(pass, true);
        }
        Jobs.HideProgress();
    }

    // Step 3 (4 for the job's output): the last joined lines go out and the file takes its name.
    if (ok && !Engine.Abort) {
        Jobs.ShowProgress(static_cast<int32_t>(height),
            last ? JobText::ResizeStepFinal : JobText::ResizeStepMerge);
        const bool written = WaitForLines(pass, out) && !Engine.Abort;
        Jobs.HideProgress();
        EndPass(pass, out, written);
    } else {
        EndPass(pass, out, false);
    }
    if (Engine.Abort) {
        return false;
    }
    if (last) {
        Engine.OutInfo = out.Output.Info();
        Engine.OutInfo.ScanLine = nullptr;
        return true;
    }
    // The joined image is the next pass's input.
    const uint8_t bits = in.Bits;
    in = TFileInfo {};
    in.FileName = merged;
    in.Width = width;
    in.Height = height;
    in.Bits = bits;
    in.Channels = 3;
    in.BytesPerPixel = bits == 16 ? 6 : 3;
    in.IsLsb = true;
    in.ImageType = FileType::RAW;
    in.ImageTypeDesc = "RAW";
    in.FileSize = FileSizeOf(in.FileName);
    in.ImageIsOk = true;
    Intermediate = true;
    return false;
}

void TResizeRun::FinalPass(const ResizePlan::TStep& step)
{
    TFileInfo& in = Engine.InInfo;
    if (!step.Resample) {
        Jobs.SetOutputOptions(Request.Output, Saved.FileName);
        Engine.ScratchOutputs = false;
        Engine.CopyRegion(0, 0, in.Width, in.Height, OutFolder, JobText::ResizeStepFinal);
        DropIntermediate();
        Engine.InInfo = Saved;
        return;
    }

    // One worker over the whole image, reading it straight from its file and writing its rows
    // straight into the output.
    ResizePlan::TPass whole;
    whole.TileWidth = in.Width;
    whole.TileHeight = in.Height;
    whole.Columns = 1;
    whole.Rows = 1;
    TResizePass pass;
    if (!pass.Plan(in, whole, step.Divider, Fast)) {
        Engine.UserDialogs().NoteDetail(in.FileName, "the image shrinks to nothing");
        Jobs.ShowError(JobText::ErrorResizing);
        Engine.Abort = true;
        DropIntermediate();
        return;
    }
    const uint32_t width = pass.NewWidth();
    const uint32_t height = pass.NewHeight();
    // The output is named as ever: after what the worker would have written beside its source.
    const std::string source = Intermediate
        ? in.FileName
        : ResizeNames::WorkingCopy(TempFolder, in.FileName, in.Width, in.Height);
    const std::string result = ResizeNames::WorkerResult(source, width, height);

    TPassOutput out;
    Jobs.ShowProgress(static_cast<int32_t>(height), JobText::ResizeStepFinal);
    const bool ok = OpenPassInput(pass) && OpenJobOutput(out, result, width, height, in.Bits);
    bool written = false;
    if (ok && !Engine.Abort) {
        if (!pass.Start(out.Target()) || !pass.StartBand(0)) {
            Engine.UserDialogs().NoteDetail(Engine.InInfo.FileName, "");
            Jobs.ShowError(JobText::ErrorCreatingResizer);
            Engine.Abort = true;
        } else {
            written = WaitForLines(pass, out) && !Engine.Abort;
        }
    }
    Jobs.HideProgress();
    EndPass(pass, out, written);
    if (!Engine.Abort) {
        Engine.OutInfo = out.Output.Info();
        Engine.OutInfo.ScanLine = nullptr;
    }
    Engine.InInfo = Saved;
}

bool TResizeRun::OpenPassInput(TResizePass& pass)
{
    if (pass.OpenInput()) {
        return true;
    }
    TRunContext run = Engine.RunContext();
    if (pass.Feed().OutOfMemory()) {
        run.Dialogs.ShowMessage(EngineText::InNotEnoughMemory);
    }
    const int error = pass.Feed().Error();
    run.Dialogs.NoteDetail(Engine.InInfo.FileName, error != 0 ? ErrorText(error) : "");
    (void)run.Fail(EngineText::ErrorOpeningInput);
    Engine.Abort = true;
    return false;
}

bool TResizeRun::OpenJobOutput(
    TPassOutput& out, const std::string& image, uint32_t width, uint32_t height, uint8_t bits)
{
    Jobs.SetOutputOptions(Request.Output, Saved.FileName);
    Engine.ScratchOutputs = false;
    const TOutputSpec setup = Engine.OutputSpec();
    const TFormat* format = FormatOf(setup.Type);
    TRunContext run = Engine.RunContext();
    // The resized image has three samples per pixel, as the intermediate it comes from. A
    // refusal shows its own message.
    if (!format
        || !out.Output.Open(ResizeNames::OutputStemFor(OutFolder, image, *format, width, height),
            width, height, bits, 3, setup, image, run)) {
        Engine.Abort = true;
        return false;
    }
    out.IsScratch = false;
    out.Lines = std::make_unique<TOutputTarget>(out.Output, width, bits);
    return true;
}

bool TResizeRun::OpenScratch(
    TPassOutput& out, const std::string& name, uint32_t width, uint32_t height, uint8_t bits)
{
    out.IsScratch = true;
    if (out.Scratch.Create(name, width, height, bits)) {
        return true;
    }
    TRunContext run = Engine.RunContext();
    if (out.Scratch.NoRoom()) {
        (void)run.Fail(EngineText::NotEnoughSpace);
    } else {
        run.Dialogs.NoteDetail(name, ErrorText(out.Scratch.Error()));
        run.Dialogs.ShowMessage(EngineText::WriteToFileError);
    }
    Engine.Abort = true;
    return false;
}

void TResizeRun::EndPass(TResizePass& pass, TPassOutput& out, bool written)
{
    if (written) {
        (void)CommitPassOutput(out);
    }
    if (Engine.Abort) {
        StopPass(pass, false);
        out.Discard();
    }
    pass.End();
    // The image just read is no longer needed, unless it is the user's own.
    DropIntermediate();
}

void TResizeRun::TileCycles(TResizePass& pass, const TPassOutput& out)
{
    const size_t count = pass.TileCount();
    const size_t columns = pass.Columns();
    size_t started = 0;
    size_t collected = 0;
    size_t band = 0;
    int32_t progress = 0;
    std::vector<uint8_t> done(count, 0);
    while (!Engine.Abort) {
        Jobs.ShowStatus(TileStatus(started, count));
        // Pause holds the cycles at once: no band is started and no tile collected until
        // Continue, while the running workers (and the reader and writer) go on.
        Jobs.CheckIfPaused();
        if (Engine.Abort) {
            break;
        }
        // The tiles of a band share the input's lines: they are handed out together, once the
        // band before is done.
        if (collected == started && band < pass.Bands()) {
            if (!pass.StartBand(band)) {
                Engine.UserDialogs().NoteDetail(Engine.InInfo.FileName, "");
                Jobs.ShowError(JobText::ErrorCreatingResizer);
                Engine.Abort = true;
                break;
            }
            ++band;
            for (size_t c = 0; c < columns; ++c) {
                ++started;
                ++progress;
                Jobs.UpdateProgress(progress);
                Jobs.ShowStatus(TileStatus(started, count));
            }
        }
        if (ReportPassFailure(pass, out) || collected == count) {
            break;
        }
        pass.Wait(kPollSleep);
        for (size_t t = 0; t < started && !Engine.Abort; ++t) {
            if (done[t] || !pass.TileFinished(t)) {
                continue;
            }
            if (pass.TileFailed(t)) {
                ReportTileFailure(pass, out, t);
                break;
            }
            done[t] = 1;
            ++collected;
            ++progress;
            Jobs.UpdateProgress(progress);
        }
    }
}

bool TResizeRun::WaitForLines(TResizePass& pass, const TPassOutput& out)
{
    const TMergeWriter& merge = pass.Merge();
    for (;;) {
        const uint32_t written = merge.LinesWritten();
        Jobs.UpdateProgress(static_cast<int32_t>(written));
        if (Engine.Abort || ReportPassFailure(pass, out)) {
            return false;
        }
        for (size_t t = 0; t < pass.TileCount(); ++t) {
            if (pass.TileFinished(t) && pass.TileFailed(t)) {
                ReportTileFailure(pass, out, t);
                return false;
            }
        }
        if (written == merge.Lines()) {
            break;
        }
        pass.Wait(kPollSleep);
    }
    pass.End();
    // The gauge's last step, where an abort still stops the output before it takes its name.
    Jobs.UpdateProgress(static_cast<int32_t>(merge.Lines()));
    return !Engine.Abort && !ReportPassFailure(pass, out);
}

bool TResizeRun::ReportPassFailure(const TResizePass& pass, const TPassOutput& out)
{
    TRunContext run = Engine.RunContext();
    if (pass.Feed().Failed()) {
        run.Dialogs.NoteDetail(Engine.InInfo.FileName, ErrorText(pass.Feed().Error()));
        (void)run.Fail(EngineText::InputFileReadError);
    } else if (pass.Merge().Failed()) {
        run.Dialogs.NoteDetail(out.Name(), ErrorText(out.Error()));
        (void)run.Fail(EngineText::WriteToFileError);
    } else {
        return false;
    }
    Engine.Abort = true;
    return true;
}

void TResizeRun::ReportTileFailure(const TResizePass& pass, const TPassOutput& out, size_t tile)
{
    // A worker that stopped because the reader or the writer failed is not at fault.
    if (!ReportPassFailure(pass, out)) {
        Engine.UserDialogs().NoteDetail(Engine.InInfo.FileName,
            "tile " + std::to_string(tile + 1) + "/" + std::to_string(pass.TileCount()) + ": "
                + pass.TileErrorText(tile));
        Jobs.ShowError(JobText::ErrorResizing);
        Engine.Abort = true;
    }
}

void TResizeRun::StopPass(TResizePass& pass, bool showKilling)
{
    if (showKilling) {
        Jobs.ShowStatus(JobText::KillingProcesses);
    }
    pass.Stop();
    // Stopped workers end at their next row; the window stays live meanwhile.
    while (!pass.WorkersEnded()) {
        Host.ProcessMessages();
        std::this_thread::sleep_for(kAbortPollSleep);
    }
    pass.End();
}

bool TResizeRun::CommitPassOutput(TPassOutput& out)
{
    TRunContext run = Engine.RunContext();
    if (!out.IsScratch) {
        if (Stream::CommitOutput(run, out.Output) != TOutcome::Done) {
            Engine.Abort = true;
            return false;
        }
        return true;
    }
    if (!out.Scratch.Commit()) {
        run.Dialogs.NoteDetail(out.Name(), ErrorText(out.Scratch.Error()));
        (void)run.Fail(EngineText::WriteToFileError);
        Engine.Abort = true;
        return false;
    }
    return true;
}
