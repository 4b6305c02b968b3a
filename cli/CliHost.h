// The terminal as the jobs' host and as the engine's dialogs: messages on stderr, a progress
// bar when stderr is a terminal, and questions answered from the options or the terminal.
#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <string>

#include "engine/EngineDialogs.h"
#include "jobs/JobHost.h"

/// How the question "Output file exists. Do you want to overwrite it?" is answered.
enum class TOverwriteAnswer { Ask, Yes, No };

/// What the options of the command line decide about the host.
struct TCliHostOptions {
    TOverwriteAnswer Overwrite = TOverwriteAnswer::Ask;
    bool Quiet = false; ///< no progress bar, no final status line
    uint32_t RawWidth = 0; ///< --raw-size, 0 when not given
    uint32_t RawHeight = 0;
    uint8_t RawBits = 0; ///< --bits, 0 when not given
};

/// Host and dialogs of one command-line run. Every call comes on the main thread; the hooks
/// are called for every image line, so the progress calls touch the terminal only when the
/// drawn bar changes, and at most every 100 ms.
class TCliHost final : public TJobHost, public TEngineDialogs {
public:
    /// `abort` is the engine's stop flag, set again after a stop signal when a new progress
    /// display would clear it.
    TCliHost(std::atomic<bool>& abort, const TCliHostOptions& options);

    // TJobHost
    void ShowStatus(const std::string& text) override;
    void ShowError(const std::string& text) override;
    void ShowErrorDialog(const std::string& text) override;
    void ShowProgressPanel(int32_t max, const std::string& caption) override;
    void SetProgressPosition(int32_t position) override;
    void SetProgressPaused(bool paused) override;
    void HideProgressPanel() override;
    void ProcessMessages() override;
    void DisableButtons() override { }
    void EnableButtons() override { }

    // TEngineDialogs
    void ShowMessage(const std::string& text) override;
    bool AskYesNo(const std::string& text) override;
    bool AskRawParameters(int64_t fileSize, uint32_t width, uint32_t height, uint8_t bits,
        TRawParameters& answer) override;
    bool ReplaceAgreed() const override { return FOptions.Overwrite == TOverwriteAnswer::Yes; }

    /// The last text put in the status line ("" after ClearStatus).
    const std::string& LastStatus() const { return FStatus; }
    void ClearStatus() { FStatus.clear(); }
    /// Writes one line to stderr, taking the progress bar off the terminal first.
    void PrintLine(const std::string& text);

private:
    void DrawBar();
    void EraseBar();

    std::atomic<bool>& FAbort;
    TCliHostOptions FOptions;
    std::string FStatus;
    bool FBarEnabled = false; ///< stderr is a terminal and --quiet was not given
    bool FBarShown = false; ///< a bar is drawn on the current terminal line
    bool FProgressActive = false;
    int32_t FMax = 0;
    int32_t FPosition = 0;
    int FDrawnPercent = -1;
    std::string FCaption;
    std::chrono::steady_clock::time_point FLastDraw;
};
