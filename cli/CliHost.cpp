// Messages, the progress bar and the answers to the engine's questions on a terminal.
#include "cli/CliHost.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <unistd.h>

#include "cli/CliTexts.h"
#include "cli/StopSignals.h"
#include "engine/TavmorUtils.h"

namespace {

// A bar redrawn more often than this only flickers; the engine reports every few lines.
constexpr auto kRedrawInterval = std::chrono::milliseconds(100);
constexpr int kBarCells = 30;

int PercentOf(int32_t position, int32_t max)
{
    if (max <= 0) {
        return 0;
    }
    const int64_t percent = int64_t { position } * 100 / max;
    return static_cast<int>(std::clamp<int64_t>(percent, 0, 100));
}

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

} // namespace

TCliHost::TCliHost(std::atomic<bool>& abort, const TCliHostOptions& options)
    : FAbort(abort)
    , FOptions(options)
    , FBarEnabled(!options.Quiet && isatty(STDERR_FILENO) != 0)
{
}

void TCliHost::ShowStatus(const std::string& text)
{
    // Called for every line with a changing count: an assignment into the kept capacity.
    FStatus.assign(text);
}

void TCliHost::ShowError(const std::string& text)
{
    PrintLine(text);
}

void TCliHost::ShowErrorDialog(const std::string& text)
{
    PrintLine(text);
}

void TCliHost::ShowMessage(const std::string& text)
{
    PrintLine(text);
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
    FDrawnPercent = -1;
    FLastDraw = {};
    SetProgressPosition(0);
}

void TCliHost::SetProgressPosition(int32_t position)
{
    FPosition = position;
    if (!FBarEnabled || !FProgressActive) {
        return;
    }
    const int percent = PercentOf(position, FMax);
    if (percent == FDrawnPercent) {
        return;
    }
    const auto now = std::chrono::steady_clock::now();
    if (percent < 100 && now - FLastDraw < kRedrawInterval) {
        return;
    }
    FLastDraw = now;
    FDrawnPercent = percent;
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
}

bool TCliHost::AskYesNo(const std::string& text)
{
    switch (FOptions.Overwrite) {
    case TOverwriteAnswer::Yes:
        return true;
    case TOverwriteAnswer::No:
        PrintLine(text);
        return false;
    case TOverwriteAnswer::Ask:
        break;
    }
    if (isatty(STDIN_FILENO) == 0 || isatty(STDERR_FILENO) == 0 || StopRequested()) {
        // Nobody to ask, or nobody would see the question: the safe answer.
        PrintLine(text);
        return false;
    }
    EraseBar();
    std::fputs((text + CliText::YesNoPrompt).c_str(), stderr);
    char line[64] = {};
    // A stop signal interrupts the read (no restart), which reads as No.
    const bool answered = std::fgets(line, sizeof line, stdin) != nullptr;
    if (!answered) {
        std::fputc('\n', stderr);
    }
    FDrawnPercent = -1;
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
    if (answer.Bits == 0) {
        // Only the size given: the depth the file's length allows.
        answer.Bits = pixels * 3 == size ? 8 : (pixels * 6 == size ? 16 : 0);
        if (answer.Bits == 0) {
            PrintLine(CliText::RawSizeMismatch + FormatThousands(fileSize) + " bytes");
            return false;
        }
    }
    // The dialog accepts only a size that the file holds at the chosen depth.
    const uint64_t held = answer.Bits == 8 ? size / 3 : size / 6;
    if (pixels != held) {
        PrintLine(CliText::RawSizeMismatch + FormatThousands(fileSize) + " bytes");
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
    FDrawnPercent = -1;
}

void TCliHost::DrawBar()
{
    const int filled = FDrawnPercent * kBarCells / 100;
    std::string bar = "\r[";
    bar.append(static_cast<size_t>(filled), '#');
    bar.append(static_cast<size_t>(kBarCells - filled), '-');
    bar += "] ";
    const std::string percent = std::to_string(FDrawnPercent);
    bar.append(3 - std::min<size_t>(percent.size(), 3), ' ');
    bar += percent + "%";
    if (!FCaption.empty()) {
        bar += "  " + FCaption;
    }
    bar += "\033[K";
    std::fputs(bar.c_str(), stderr);
    FBarShown = true;
}

void TCliHost::EraseBar()
{
    if (FBarShown) {
        std::fputs("\r\033[K", stderr);
        FBarShown = false;
    }
}
