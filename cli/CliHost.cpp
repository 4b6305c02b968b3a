// Messages, the progress line and the answers to the engine's questions on a terminal.
#include "cli/CliHost.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <sys/ioctl.h>
#include <unistd.h>

#include "cli/CliTexts.h"
#include "cli/ProgressLine.h"
#include "cli/StopSignals.h"
#include "engine/EngineTexts.h"
#include "engine/TavmorUtils.h"

namespace {

// A line redrawn more often than this only flickers; the engine reports every few lines.
constexpr auto kRedrawInterval = std::chrono::milliseconds(100);

bool IsYes(const char* line)
{
    std::string word;
    for (const char* p = line; *p != '\0'; ++p) {
        if (!std::isspace(static_cast<unsigned char>(*p))) {
            word += static_cast<char>(std::tolower(static_cast<unsigned char>(*p)));
        }
    }
    return word == "y" || word == "yes";
}

int TerminalColumns()
{
    struct winsize size { };
    if (ioctl(STDERR_FILENO, TIOCGWINSZ, &size) == 0 && size.ws_col > 20) {
        return size.ws_col;
    }
    return 80;
}

} // namespace

TCliHost::TCliHost(std::atomic<bool>& abort, const TCliHostOptions& options)
    : FAbort(abort)
    , FOptions(options)
    , FBarEnabled(!options.Quiet && isatty(STDERR_FILENO) != 0)
    , FStarted(std::chrono::steady_clock::now())
{
}

void TCliHost::StartSubject(const std::string& file, int index, int count, uint64_t bytes)
{
    FSubject = file;
    FIndex = index;
    FCount = count;
    FBytes = bytes;
    FShownFraction = 0;
    FDetailNoted = false;
    FStarted = std::chrono::steady_clock::now();
}

double TCliHost::Elapsed() const
{
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - FStarted).count();
}

void TCliHost::ShowStatus(const std::string&)
{
    // The window's status line has no counterpart here: the progress line and the final
    // lines say what it says.
}

void TCliHost::NoteDetail(const std::string& file, const std::string& reason)
{
    FDetailFile = file;
    FDetailReason = reason;
    FDetailNoted = true;
}

std::string TCliHost::MessageFile() const
{
    return FDetailNoted && !FDetailFile.empty() ? FDetailFile : FSubject;
}

void TCliHost::Message(const std::string& text)
{
    std::string line = CliText::Program;
    line += ": ";
    const std::string file = MessageFile();
    if (!file.empty()) {
        line += file + ": ";
    }
    line += text;
    FLastMessage = text;
    if (FDetailNoted && !FDetailReason.empty()) {
        line += ": " + FDetailReason;
        FLastMessage += ": " + FDetailReason;
    }
    FDetailNoted = false;
    FDetailFile.clear();
    FDetailReason.clear();
    PrintLine(line);
}

void TCliHost::ShowError(const std::string& text)
{
    Message(text);
}

void TCliHost::ShowErrorDialog(const std::string& text)
{
    // An output that would be the input itself: say where else it can go.
    Message(text == EngineText::CannotOverwriteInput ? text + CliText::OtherOutputHint : text);
}

void TCliHost::ShowMessage(const std::string& text)
{
    Message(text);
}

void TCliHost::ShowAnsweredNo(const std::string& text)
{
    Message(text + CliText::AnsweredNoHint);
}

void TCliHost::ShowProgressPanel(int32_t max, const std::string& caption)
{
    // A new progress display clears the engine's stop flag; a stop already requested holds.
    if (StopRequested()) {
        FAbort = true;
    }
    FMax = max;
    FPosition = 0;
    FCaption = caption;
    FProgressActive = true;
    FDrawnPermille = -1;
    FLastDraw = {};
    SetProgressPosition(0);
}

void TCliHost::SetProgressPosition(int32_t position)
{
    FPosition = position;
    if (!FBarEnabled || !FProgressActive) {
        return;
    }
    // One line for the whole job: a job of several steps (resize) never goes back.
    FShownFraction = std::max(FShownFraction, JobFraction(FCaption, position, FMax));
    const int permille = static_cast<int>(FShownFraction * 1000);
    const auto now = std::chrono::steady_clock::now();
    if (permille == FDrawnPermille && now - FLastDraw < std::chrono::seconds(1)) {
        return;
    }
    if (permille < 1000 && now - FLastDraw < kRedrawInterval) {
        return;
    }
    FLastDraw = now;
    FDrawnPermille = permille;
    DrawBar();
}

void TCliHost::SetProgressPaused(bool) { }

void TCliHost::HideProgressPanel()
{
    EraseBar();
    FProgressActive = false;
}

void TCliHost::ProcessMessages()
{
    if (StopRequested()) {
        FAbort = true;
    }
    // While workers run nothing moves the gauge: the clock on the line still goes on.
    if (FBarEnabled && FProgressActive) {
        const auto now = std::chrono::steady_clock::now();
        if (now - FLastDraw >= std::chrono::seconds(1)) {
            FLastDraw = now;
            DrawBar();
        }
    }
}

bool TCliHost::AskYesNo(const std::string& text)
{
    switch (FOptions.Overwrite) {
    case TOverwriteAnswer::Yes:
        FDetailNoted = false;
        return true;
    case TOverwriteAnswer::No:
        Message(text + CliText::AnsweredNo);
        return false;
    case TOverwriteAnswer::Ask:
        break;
    }
    if (isatty(STDIN_FILENO) == 0 || isatty(STDERR_FILENO) == 0 || StopRequested()) {
        // Nobody to ask, or nobody would see the question: the safe answer, and how to give
        // the other one.
        Message(text + CliText::AnsweredNoHint);
        return false;
    }
    EraseBar();
    const std::string file = MessageFile();
    FDetailNoted = false;
    std::string prompt = CliText::Program;
    prompt += ": " + (file.empty() ? std::string() : file + ": ") + text + CliText::YesNoPrompt;
    std::fputs(prompt.c_str(), stderr);
    char line[64] = {};
    // A stop signal interrupts the read (no restart), which reads as No.
    const bool answered = std::fgets(line, sizeof line, stdin) != nullptr;
    if (!answered) {
        std::fputc('\n', stderr);
    }
    FDrawnPermille = -1;
    return answered && !StopRequested() && IsYes(line);
}

bool TCliHost::AskRawParameters(
    int64_t fileSize, uint32_t width, uint32_t height, uint8_t bits, TRawParameters& answer)
{
    answer = {};
    if (FOptions.RawWidth == 0 && FOptions.RawBits == 0) {
        // No answer given: confirmed empty, which the probe refuses with its own message.
        return true;
    }
    answer.Width = FOptions.RawWidth != 0 ? FOptions.RawWidth : width;
    answer.Height = FOptions.RawHeight != 0 ? FOptions.RawHeight : height;
    answer.Bits = FOptions.RawBits != 0 ? FOptions.RawBits : bits;
    if (answer.Width == 0 || answer.Height == 0) {
        return true;
    }
    const uint64_t pixels = uint64_t { answer.Width } * answer.Height;
    const auto size = static_cast<uint64_t>(std::max<int64_t>(fileSize, 0));
    const std::string mismatch = CliText::RawSizeMismatch + std::to_string(fileSize) + " bytes";
    if (answer.Bits == 0) {
        // Only the size given: the depth the file's length allows.
        answer.Bits = pixels * 3 == size ? 8 : (pixels * 6 == size ? 16 : 0);
        if (answer.Bits == 0) {
            Message(mismatch);
            return false;
        }
    }
    // The dialog accepts only a size that the file holds at the chosen depth.
    const uint64_t held = answer.Bits == 8 ? size / 3 : size / 6;
    if (pixels != held) {
        Message(mismatch);
        return false;
    }
    return true;
}

void TCliHost::PrintLine(const std::string& text)
{
    EraseBar();
    std::fputs(text.c_str(), stderr);
    std::fputc('\n', stderr);
    // The bar comes back at the next change of position.
    FDrawnPermille = -1;
}

void TCliHost::DrawBar()
{
    TProgressState state;
    state.Subject = FileNameOf(FSubject);
    state.Index = FIndex;
    state.Count = FCount;
    state.Fraction = FShownFraction;
    state.Elapsed = Elapsed();
    state.InputBytes = FBytes;
    state.Step = FCaption;
    std::string line(1, '\r');
    line += FormatProgressLine(state, TerminalColumns() - 1);
    line += "\033[K";
    std::fputs(line.c_str(), stderr);
    FBarShown = true;
}

void TCliHost::EraseBar()
{
    if (FBarShown) {
        std::fputs("\r\033[K", stderr);
        FBarShown = false;
    }
}
