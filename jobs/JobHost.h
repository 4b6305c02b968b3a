// What a job needs from the program that runs it (the window or the command line): status,
// errors, the progress display, the message pump and the buttons.
#pragma once

#include <cstdint>
#include <string>

/// Implemented by the window and the command line. Every call comes on the job's thread.
class TJobHost {
public:
    virtual ~TJobHost() = default;
    /// Puts the text in the status line (and lets the user interface repaint).
    virtual void ShowStatus(const std::string& text) = 0;
    /// Plain message box with the text; blocks until closed.
    virtual void ShowError(const std::string& text) = 0;
    /// Message dialog of the error kind; blocks until closed.
    virtual void ShowErrorDialog(const std::string& text) = 0;
    /// Shows the progress display at position 0 with the maximum and caption.
    virtual void ShowProgressPanel(int32_t max, const std::string& caption) = 0;
    /// Moves the progress display.
    virtual void SetProgressPosition(int32_t position) = 0;
    /// Shows the progress display as paused (true) or running (false).
    virtual void SetProgressPaused(bool paused) = 0;
    /// Hides the progress display.
    virtual void HideProgressPanel() = 0;
    /// Lets the user interface handle pending input; Pause and Abort arrive here.
    virtual void ProcessMessages() = 0;
    /// A job is about to work on files: nothing else may be started meanwhile.
    virtual void DisableButtons() = 0;
    /// The job's files are closed again.
    virtual void EnableButtons() = 0;
};
