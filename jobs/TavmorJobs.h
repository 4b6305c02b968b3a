// The five operations as users run them, each taking its request and returning its result:
// Convert, Crop, Split, Merge and Resize over the current input, with the output settings and
// folder they share and the progress, pause and abort logic behind the engine's hooks.
#pragma once

#include <atomic>
#include <string>
#include <vector>

#include "engine/TavmorManager.h"
#include "jobs/JobHost.h"
#include "jobs/JobRequests.h"

class TJobs {
public:
    /// Binds the jobs to one engine and one host, and installs the engine's hooks.
    TJobs(TTavmor& engine, TJobHost& host);

    TTavmor& Engine;
    TJobHost& Host;
    std::atomic<bool> Paused { false };
    /// Concurrent resize workers (1).
    int NumOfCores = 1;

    /// True while a job runs; a second one is refused meanwhile.
    bool Running() const { return FRunning; }

    // The operations. Each works on the current input (Engine.InInfo, chosen with
    // SelectInputFile), reports through the host and returns its outcome; Engine.Abort is set
    // whenever the outcome is not Done.
    TJobResult RunConvert(const TConvertRequest& request);
    /// Checks the rectangle against the input first, refusing with the first failed check.
    TJobResult RunCrop(const TCropRequest& request);
    TJobResult RunSplit(const TSplitRequest& request);
    /// Checks that the number of files fits the grid first.
    TJobResult RunMerge(const TMergeRequest& request);
    TJobResult RunResize(const TResizeRequest& request);

    /// Writes the output kind, its compression and the other write options into the engine
    /// (its OutInfo.ImageType, Lzw and Options); an unknown kind gives FileType::NV. When the
    /// options keep metadata, the metadata comes from metadataSource (a TIFF; "" for none),
    /// its Orientation only when keepOrientation (a whole image kept as it is).
    void SetOutputOptions(const TOutputRequest& output, const std::string& metadataSource = "",
        bool keepOrientation = false);
    /// The folder, ending in the separator, for the output of a job whose input is fileName:
    /// chosen when it names an existing folder, else the input's own.
    std::string OutputFolderFor(const std::string& fileName, const std::string& chosen) const;

    /// The single-file input selection after its dialog: probes fileName into Engine.InInfo
    /// (the RAW question goes to Engine.Dialogs), refuses an image with a zero or too large
    /// side through ShowError and, for a valid input, shows "Image is valid". A missing file
    /// changes nothing. Returns InInfo.ImageIsOk.
    [[nodiscard]] bool SelectInputFile(const std::string& fileName);
    /// Forgets the current input, so that a job started now refuses as with none chosen.
    void ClearInput();

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
    /// Copies the rectangle into one output of the request's kind.
    TJobResult RunRegionCopy(const TOutputRequest& output, int64_t x, int64_t y, int64_t width,
        int64_t height, bool keepOrientation);
    /// Refusal before any file is touched: file noted, text shown, Abort set, Failed.
    TJobResult Refuse(const std::string& text, const std::string& file);

    bool FRunning = false;
};
