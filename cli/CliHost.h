// The terminal as the jobs' host and as the engine's dialogs: every message on stderr as
// "tavmor: FILE: text[: reason]", a progress line when stderr is a terminal, and questions
// answered from the options or the terminal.
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
    bool Quiet = false; ///< no progress line, no final lines
    uint32_t RawWidth = 0; ///< --raw-size, 0 when not given
    uint32_t RawHeight = 0;
    uint8_t RawBits = 0; ///< --bits, 0 when not given
};

/// Host and dialogs of one command-line run. Every call comes on the main thread; the hooks
/// are called for every image line, so the progress calls touch the terminal only when the
/// drawn line changes, and at most every 100 ms.
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
    void ShowAnsweredNo(const std::string& text) override;
    bool ReplaceAgreed() const override { return FOptions.Overwrite == TOverwriteAnswer::Yes; }
    void NoteDetail(const std::string& file, const std::string& reason) override;

    /// The file the next messages are about when no other is named, its place in the batch
    /// (from 1, of count) and its size for the rate; the clock of the job starts here.
    void StartSubject(const std::string& file, int index, int count, uint64_t bytes);
    /// Seconds since StartSubject.
    double Elapsed() const;
    /// Writes "tavmor: FILE: text[: reason]" to stderr (FILE the noted file, else the subject;
    /// "tavmor: text" when there is neither), taking the progress line off the terminal first.
    void Message(const std::string& text);
    /// The text of the last Message, with the reason printed beside it ("" after
    /// ForgetLastMessage): what `info --json` gives as the reason of an invalid file.
    const std::string& LastMessage() const { return FLastMessage; }
    void ForgetLastMessage() { FLastMessage.clear(); }
    /// Writes one line to stderr as it is, taking the progress line off the terminal first.
    void PrintLine(const std::string& text);
    bool Quiet() const { return FOptions.Quiet; }

private:
    void DrawBar();
    void EraseBar();
    /// The file a message is about: the noted one, else the subject.
    std::string MessageFile() const;

    std::atomic<bool>& FAbort;
    TCliHostOptions FOptions;
    bool FBarEnabled = false; ///< stderr is a terminal and --quiet was not given
    bool FBarShown = false; ///< a bar is drawn on the current terminal line
    bool FProgressActive = false;
    int32_t FMax = 0;
    int32_t FPosition = 0;
    double FShownFraction = 0; ///< never goes back within one job
    int FDrawnPermille = -1;
    std::string FCaption;
    std::string FSubject;
    int FIndex = 0;
    int FCount = 0;
    uint64_t FBytes = 0;
    std::string FDetailFile;
    std::string FDetailReason;
    bool FDetailNoted = false;
    std::string FLastMessage;
    std::chrono::steady_clock::time_point FStarted;
    std::chrono::steady_clock::time_point FLastDraw;
};
