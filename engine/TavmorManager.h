// The engine record: input and output files, probes, line I/O, pixel repacking and the three
// streaming operations (region copy, tile split, tile merge), with their event hooks.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

#include "engine/EngineDialogs.h"
#include "engine/FileInfo.h"

class TLineReader;
class TLineWriter;

using TTextEvent = std::function<void(const std::string&)>;
using TShowProgressEvent = std::function<void(int32_t max, const std::string& caption)>;
using TUpdateProgressEvent = std::function<void(int32_t position)>;
using THideProgressEvent = std::function<void()>;

/// Installs libtiff's silent warning and error handlers. Idempotent; every engine open step
/// calls it, so the library never prints.
void SilenceTiffLibrary();

/// Query-and-clear the calling thread's pending I/O error of the sequential-file layer
/// (0 when none, else an errno value).
int IoResult();
/// Sets the calling thread's pending I/O error (used by the file layers).
void SetIoResult(int code);

/// One engine. The program keeps one for its whole run; split and merge create short-lived
/// per-column engines that carry no hooks. All calls run on one thread; only Abort may be
/// set from another (a signal handler or the window's Abort button).
class TTavmor {
public:
    TTavmor();
    ~TTavmor();
    TTavmor(const TTavmor&) = delete;
    TTavmor& operator=(const TTavmor&) = delete;

    bool InOpen = false;
    bool OutOpen = false;
    TFileInfo InInfo;
    TFileInfo OutInfo;
    bool Lzw = false; ///< a TIFF output is LZW-compressed
    bool ForceBigTiff = false; ///< the next TIFF output is a BigTIFF whatever its size
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
    /// Completes OutInfo for its ImageType, appends the extension to Name, checks and
    /// creates the file and allocates the output buffer.
    [[nodiscard]] bool OpenOutFile(const std::string& Name);
    /// Closes the output if open (a TIFF is complete only then) and releases its buffer.
    /// Returns false when the close itself failed (data may be lost); true otherwise,
    /// also when nothing was open.
    bool CloseOutFile();
    /// Writes OutInfo.ScanLine as line Row; returns the bytes written.
    int32_t WriteLine(uint32_t Row);
    /// Writes the 20-byte KRO header of OutInfo (called by OpenOutFile).
    void WriteKroHeader();
    /// Converts Count pixels from Source's line at SourceX into Target's line at TargetX.
    static void RepackLine(const TFileInfo& Source, uint32_t SourceX, const TFileInfo& Target,
        uint32_t TargetX, uint32_t Count);

    // Streaming operations; the outcome is Abort (false means success).
    void CopyRegion(int32_t X, int32_t Y, uint32_t Width, uint32_t Height,
        const std::string& OutFolder, const std::string& Caption);
    /// Cuts the probed input into tiles of TileWidth x TileHeight pixels (clamped to the
    /// image) in OutFolder, in the output kind of OutInfo, reading each input line once;
    /// appends each tile's complete name to FileList, band by band. A failure or an abort
    /// deletes the tiles of the band in progress and takes them off the list; the tiles of
    /// completed bands stay. Window (or command-line) thread only.
    void SplitImage(uint32_t TileWidth, uint32_t TileHeight, std::vector<std::string>& FileList,
        const std::string& OutFolder, const std::string& Caption);
    /// Joins the CountX x CountY tiles found in Files (FindTileFile) into one image in
    /// OutFolder, named after the first file's base name, in the output kind of OutInfo, which
    /// afterwards describes the file written. Refuses tiles of another size or depth than
    /// the reference tiles, an output size beyond kMaxImageSide and an output that is one of
    /// Files; a failure or an abort leaves no output. InInfo is left as it was. Window (or
    /// command-line) thread only.
    void MergeTiles(uint32_t CountX, uint32_t CountY, const std::vector<std::string>& Files,
        const std::string& OutFolder, const std::string& Caption);

    // Firing the hooks: each does nothing when its hook is unset.
    void FireError(const std::string& text);
    void FireStatus(const std::string& text);
    void FireShowProgress(int32_t max, const std::string& caption);
    void FireUpdateProgress(int32_t position);
    void FireHideProgress();

    /// The dialogs in force (Dialogs, or a silent set when it is null).
    TEngineDialogs& UserDialogs();

private:
    std::unique_ptr<TLineReader> InReader;
    std::unique_ptr<TLineWriter> OutWriter;
    std::vector<uint8_t> InBuffer;
    std::vector<uint8_t> OutBuffer;
};

/// The tile (column, row) of a merge: the first name of Files, in order, whose upper-cased
/// form contains "_X" + column + "Y" + row + "." + the upper-cased extension of the first
/// file; "" when none does.
std::string FindTileFile(const std::vector<std::string>& Files, uint32_t column, uint32_t row);

/// Finds the tiles of a merge as FindTileFile does, after one pass over the list, so that
/// looking up every tile of a large grid costs one pass instead of one pass per tile. Files
/// must outlive the finder and stay unchanged.
class TTileFinder {
public:
    explicit TTileFinder(const std::vector<std::string>& Files);
    /// The same name as FindTileFile(Files, column, row).
    std::string Find(uint32_t column, uint32_t row) const;

private:
    const std::vector<std::string>& Names;
    /// Column digits + "Y" + row digits of each tile key found, to the first file holding it.
    std::unordered_map<std::string, size_t> FirstWithKey;
};
