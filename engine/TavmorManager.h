// The engine record: the program's current input and output, the output settings, the stop
// flag and the five event hooks, in front of the probes, the line I/O and the three streaming
// operations, which it runs and whose outcome it keeps in Abort.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "engine/EngineDialogs.h"
#include "engine/FileInfo.h"
#include "engine/ImageFiles.h"
#include "engine/Outcome.h"
#include "engine/RunContext.h"
#include "engine/WriteOptions.h"

using TTextEvent = std::function<void(const std::string&)>;
using TShowProgressEvent = std::function<void(int32_t max, const std::string& caption)>;
using TUpdateProgressEvent = std::function<void(int32_t position)>;
using THideProgressEvent = std::function<void()>;

/// Installs libtiff's silent warning and error handlers. Idempotent; every engine open step
/// calls it, so the library never prints.
void SilenceTiffLibrary();

/// One engine. The program keeps one for its whole run. All calls run on one thread; only
/// Abort may be set from another (a signal handler or the window's Abort button).
class TTavmor : public TEngineEvents {
public:
    TTavmor();
    ~TTavmor() override;
    TTavmor(const TTavmor&) = delete;
    TTavmor& operator=(const TTavmor&) = delete;

    bool InOpen = false;
    bool OutOpen = false;
    TFileInfo InInfo;
    TFileInfo OutInfo;
    bool Lzw = false; ///< a TIFF output is LZW-compressed
    bool ForceBigTiff = false; ///< the next TIFF output is a BigTIFF whatever its size
    /// The rest of how outputs are written (a TIFF's predictor, level, strips, threads, alpha
    /// and metadata); its compression yields to Lzw when Lzw is set.
    TWriteOptions Options;
    /// Outputs are scratch files of a job (a resize's tiles): their data need not reach the
    /// disk before they take their names.
    bool ScratchOutputs = false;
    /// The complete name of the next output as the user gave it ("" = the engine names it);
    /// scratch outputs never take it.
    std::string ExactOutputName;
    std::atomic<bool> Abort { false };

    TTextEvent OnError;
    TTextEvent OnStatus;
    TShowProgressEvent OnShowProgress;
    TUpdateProgressEvent OnUpdateProgress;
    THideProgressEvent OnHideProgress;

    /// Where the engine's own message boxes and questions go; null shows nothing and
    /// declines every question.
    TEngineDialogs* Dialogs = nullptr;

    /// InOpen := false, OutOpen := false, ForceBigTiff := false.
    void Reset();

    // Probing (fills InInfo from its FileName; outcome in InInfo.ImageIsOk).
    void CheckFile(bool AskUser);
    void CheckKroFile();
    void CheckTifFile();
    void CheckRawFile(bool AskUser);

    // Line input and output.
    /// Opens the input described by InInfo and allocates its line buffer.
    [[nodiscard]] bool OpenInFile(const std::string& Name);
    /// Closes the input if open and releases its buffer; safe when nothing is open.
    void CloseInFile();
    /// Reads line Row (KRO and RAW ignore Row and read in sequence) into InInfo.ScanLine;
    /// returns the bytes delivered.
    int32_t ReadLine(int32_t Row);
    /// Completes OutInfo for its ImageType, appends the extension to Name, checks the name and
    /// creates the output as a temporary that takes the name when it is closed.
    [[nodiscard]] bool OpenOutFile(const std::string& Name);
    /// Completes the output and, unless Abort is set, gives it its name (otherwise removes it).
    /// False when the output could not be completed or named; true also when nothing was open.
    bool CloseOutFile();
    /// Writes OutInfo.ScanLine as line Row; returns the bytes written.
    int32_t WriteLine(uint32_t Row);
    /// Converts Count pixels from Source's line at SourceX into Target's line at TargetX.
    static void RepackLine(const TFileInfo& Source, uint32_t SourceX, const TFileInfo& Target,
        uint32_t TargetX, uint32_t Count);

    // Streaming operations: their outcome is returned and kept in Abort (false = success).
    TOutcome CopyRegion(int32_t X, int32_t Y, uint32_t Width, uint32_t Height,
        const std::string& OutFolder, const std::string& Caption);
    /// Cuts the probed input into tiles of TileWidth x TileHeight pixels (clamped to the
    /// image) in OutFolder, in the output kind of OutInfo, reading each input line once; the
    /// tiles take their names together at the end, when FileList receives them. A failure or
    /// an abort leaves no tile. Window (or command-line) thread only.
    TOutcome SplitImage(uint32_t TileWidth, uint32_t TileHeight, std::vector<std::string>& FileList,
        const std::string& OutFolder, const std::string& Caption);
    /// Joins the CountX x CountY tiles found in Files (FindTileFile) into one image in
    /// OutFolder, named after the first file's base name, in the output kind of OutInfo, which
    /// afterwards describes the file written. A failure or an abort leaves no output. InInfo
    /// is left as it was. Window (or command-line) thread only.
    TOutcome MergeTiles(uint32_t CountX, uint32_t CountY, const std::vector<std::string>& Files,
        const std::string& OutFolder, const std::string& Caption);

    /// The output kind and options that OutInfo.ImageType, Lzw and ForceBigTiff describe.
    TOutputSpec OutputSpec() const;
    /// The context the operations run in: this engine's Abort, hooks and dialogs.
    TRunContext RunContext();

    // Firing the hooks: each does nothing when its hook is unset.
    void FireError(const std::string& text) override;
    void FireStatus(const std::string& text) override;
    void FireShowProgress(int32_t max, const std::string& caption) override;
    void FireUpdateProgress(int32_t position) override;
    void FireHideProgress() override;

    /// The dialogs in force (Dialogs, or a silent set when it is null).
    TEngineDialogs& UserDialogs();

private:
    /// Keeps an operation's outcome in Abort and returns it.
    TOutcome Keep(TOutcome outcome);

    TImageInput FIn;
    TImageOutput FOut;
};
