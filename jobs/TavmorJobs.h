// The five operations as the window runs them: the Start handler, output settings and
// folder, Convert, Crop, Split, Merge and Resize, the derived panel numbers and the
// progress, pause and abort logic behind the engine's hooks.
#pragma once

#include <atomic>
#include <string>
#include <vector>

#include "engine/TavmorManager.h"
#include "jobs/JobHost.h"

class TJobs {
public:
    /// Binds the jobs to one engine and one host, and installs the engine's hooks.
    TJobs(TTavmor& engine, TJobHost& host);

    TTavmor& Engine;
    TJobHost& Host;
    std::atomic<bool> Paused { false };
    /// Concurrent resize workers (1).
    int NumOfCores = 1;

    /// True while btStartClick runs; a second Start is refused meanwhile.
    bool Running() const { return FRunning; }

    /// The Start handler: runs the job of the current panel and reports the outcome.
    void btStartClick();
    void SetOutputOptions();
    /// The folder, ending in the separator, for the output of a job whose input is fileName.
    std::string OutputFolderFor(const std::string& fileName) const;
    void RunRegionCopy(int64_t x, int64_t y, int64_t width, int64_t height);
    void RunCrop();
    void RunSplit(std::vector<std::string>& list);
    void RunMerge();
    void RunResize();

    /// Recomputes the derived panel numbers after the field `sender` changed.
    void jvSplitWidthChange(TPanelField sender);
    /// The single-file input selection after its dialog: probes fileName into Engine.InInfo
    /// (the RAW question goes to Engine.Dialogs), refuses an image with a zero or too large
    /// side through ShowError and, for a valid input, shows "Image is valid" and recomputes
    /// the derived numbers. A missing file changes nothing. Returns InInfo.ImageIsOk.
    [[nodiscard]] bool SelectInputFile(const std::string& fileName);

    // Progress, status, pause and abort (the engine's hooks lead here).
    void ShowProgress(int32_t max, const std::string& desc);
    void UpdateProgress(int32_t current);
    void HideProgress();
    void ShowError(const std::string& msg);
    void ShowStatus(const std::string& msg);
    void CheckIfPaused();
    /// Pause/Continue button: inverts Paused.
    void TogglePause();
    /// Outcome of the abort confirmation: Yes sets Abort and resumes a paused job, No
    /// withdraws an abort request.
    void ConfirmAbort(bool yes);

private:
    bool FRunning = false;
};
