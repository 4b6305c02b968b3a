// Region copy: streams a rectangle of the input into one new output file, line by line,
// converting the pixel layout to the output kind on the way.
#include <string>

#include "engine/EngineTexts.h"
#include "engine/InputCheck.h"
#include "engine/Repack.h"
#include "engine/ScopeExit.h"
#include "engine/Streaming.h"
#include "engine/TavmorUtils.h"

namespace {

// Progress is reported every so many lines: often enough for a smooth bar and a prompt
// pause, rarely enough that the window's repaint costs nothing beside the copy.
constexpr int32_t kCopyProgressLines = 7;
constexpr int32_t kSkipProgressLines = 50;

// The reason beside "File not found" for a readable file that no probe accepted.
constexpr const char* kNotExamined = "not examined as a valid image";

/// Whether [x, x + width) x [y, y + height) is a non-empty rectangle inside the image.
bool RegionInside(const TFileInfo& info, int32_t x, int32_t y, uint32_t width, uint32_t height)
{
    return x >= 0 && y >= 0 && width > 0 && height > 0
        && uint64_t(uint32_t(x)) + width <= info.Width
        && uint64_t(uint32_t(y)) + height <= info.Height;
}

} // namespace

namespace Stream {

TOutcome CommitOutput(TRunContext& run, TImageOutput& output)
{
    const std::string name = output.Info().FileName;
    switch (output.Commit()) {
    case TCommitResult::Committed:
        return TOutcome::Done;
    case TCommitResult::Exists:
        // Another program (or another run) created the name while this one wrote: the user
        // agreed to nothing, so the answer is the one given to an unasked question, No.
        run.Dialogs.NoteDetail(name, "");
        run.Dialogs.ShowAnsweredNo(EngineText::OutputExists);
        return TOutcome::Failed;
    case TCommitResult::Failed:
        break;
    }
    run.Dialogs.NoteDetail(name, ErrorText(output.Error()));
    return run.Fail(EngineText::WriteToFileError);
}

TOutcome CopyRegion(TRunContext& run, const TFileInfo& input, int32_t x, int32_t y, uint32_t width,
    uint32_t height, const TOutputSpec& out, const std::string& outFolder,
    const std::string& caption, TFileInfo& written)
{
    run.Events.FireStatus("");
    if (!input.ImageIsOk || !FileExists(input.FileName)) {
        const std::string problem = InputFileProblem(input.FileName);
        run.Dialogs.NoteDetail(input.FileName, problem.empty() ? kNotExamined : problem);
        return run.Fail(EngineText::FileNotFound);
    }
    // Callers promise a rectangle inside the image; a broken promise must not read or write
    // past a line buffer.
    if (!RegionInside(input, x, y, width, height)) {
        return run.Fail(EngineText::RegionOutsideImage);
    }
    TImageInput in;
    if (!in.Open(input)) {
        if (in.OutOfMemory()) {
            run.Dialogs.NoteDetail(input.FileName, in.ErrorReason());
            run.Dialogs.ShowMessage(EngineText::InNotEnoughMemory);
        }
        run.Dialogs.NoteDetail(input.FileName, in.ErrorReason());
        return run.Fail(EngineText::ErrorOpeningInput);
    }
    const TFormat& format = *FormatOf(out.Type);
    const std::string stem =
        OutputStem(outFolder + BaseNameOf(input.FileName), format, width, height);
    TImageOutput output;
    const bool opened =
        output.Open(stem, width, height, input.Bits, input.Channels, out, input.FileName, run);
    written = output.Info();
    written.ScanLine = nullptr;
    if (!opened) {
        return TOutcome::Failed;
    }

    const auto firstLine = static_cast<uint32_t>(y);
    run.Events.FireShowProgress(static_cast<int32_t>(firstLine + height), caption);
    TScopeExit hideProgress([&run] { run.Events.FireHideProgress(); });

    auto readFailure = [&] {
        run.Dialogs.NoteDetail(input.FileName, in.ErrorReason());
        return run.Fail(EngineText::ReadFileError);
    };
    // Sequential inputs reach line y only by reading the lines before it; formats that address
    // lines by number (TIFF) start at y.
    if (y > 0 && !FormatOf(input.ImageType)->LinesByNumber) {
        for (int32_t i = 0; i < y; ++i) {
            if (run.StopAsked()) {
                return TOutcome::Aborted;
            }
            // A short line is as bad as none: the buffer would keep the last line's bytes.
            const bool got = in.ReadWholeLine(static_cast<uint32_t>(i));
            if (i % kSkipProgressLines == 0) {
                run.Events.FireUpdateProgress(i);
            }
            run.Events.FireStatus(EngineText::SkippingLines + std::to_string(y - i) + ")");
            if (!got) {
                return readFailure();
            }
        }
    }

    uint32_t counter = 0;
    for (uint32_t r = firstLine; r < firstLine + height; ++r) {
        if (run.StopAsked()) {
            return TOutcome::Aborted;
        }
        if (!in.ReadWholeLine(r)) {
            return readFailure();
        }
        RepackLine(in.Info(), static_cast<uint32_t>(x), output.Info(), 0, width);
        if (!output.WriteWholeLine(counter)) {
            run.Dialogs.NoteDetail(output.Info().FileName, ErrorText(output.Error()));
            return run.Fail(EngineText::WriteToFileError);
        }
        if (r % kCopyProgressLines == 0) {
            run.Events.FireUpdateProgress(static_cast<int32_t>(r));
        }
        run.Events.FireStatus(EngineText::SavingLines + std::to_string(height - counter) + ")");
        ++counter;
    }
    // An abort asked for during the last line's events still stops the output.
    if (run.StopAsked()) {
        return TOutcome::Aborted;
    }
    return CommitOutput(run, output);
}

} // namespace Stream
