// The format table: one row per kind of image file, exported by that format's own source file,
// holding every fact the engine, the jobs, the window and the command line need about it.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "engine/EngineDialogs.h"
#include "engine/FileInfo.h"
#include "engine/LineFormats.h"
#include "engine/WriteOptions.h"

/// One way of writing a format that users pick by name ("tif-lzw").
struct TOutputKind {
    const char* Name; ///< the command line's --format value
    const char* Caption; ///< the window's choice
    TCompression Compression = TCompression::None;
};

/// One row of the format table.
struct TFormat {
    FileType Type;
    const char* Desc; ///< ImageTypeDesc of a probed file ("TIF")
    /// Extensions that select the format, upper-cased with their dot (".TIF").
    std::vector<std::string> Extensions;
    /// Describes info.FileName in info without reading pixels, showing its own messages through
    /// dialogs; ImageIsOk tells the verdict. askUser allows the questions of a RAW file.
    void (*Probe)(TFileInfo& info, TEngineDialogs& dialogs, bool askUser);
    /// Lines are read by number; a sequential format reaches a line by reading those before.
    bool LinesByNumber;
    uint8_t OutChannels; ///< samples per pixel of an output
    /// Samples per pixel of an output of an input of inputChannels when the options may change
    /// them (a TIFF keeping alpha); null: always OutChannels.
    uint8_t (*OutputChannels)(uint8_t inputChannels, const TWriteOptions& options);
    bool OutIsLsb; ///< 16-bit output samples least significant byte first
    /// The output name carries the image's size before the extension (RAW has no header).
    bool SizeInName;
    const char* Extension; ///< of an output
    /// Whether an output of width x height pixels of bytesPerPixel needs the large layout
    /// (BigTIFF) and LargeExtension; null when the format has none.
    bool (*NeedsLargeLayout)(
        uint32_t width, uint32_t height, uint8_t bytesPerPixel, const TWriteOptions& options);
    const char* LargeExtension;
    /// Why the options cannot write an output of lines of lineBytes at bits per sample, as a
    /// reason for the user; null when they can (or the format has no options).
    const char* (*OptionsProblem)(const TWriteOptions& options, uint8_t bits, uint64_t lineBytes);
    std::unique_ptr<TLineReader> (*MakeReader)();
    std::unique_ptr<TLineWriter> (*MakeWriter)();
    std::vector<TOutputKind> OutputKinds; ///< in the order the window and the help show them
    /// Whether a whole read of a file the probe accepted can succeed, as far as its headers
    /// and its length tell without decoding; reason (for a user) when it cannot.
    bool (*CheckWholeRead)(const TFileInfo& info, std::string& reason) = nullptr;
};

/// Every row, in the order of the table.
const std::vector<const TFormat*>& Formats();
/// The row of a kind; null for FileType::NV.
const TFormat* FormatOf(FileType type);
/// The row whose extensions hold the path's; null when none does.
const TFormat* FormatForPath(const std::string& path);
/// True when an input may have this extension (upper-cased, with its dot: ".TIF").
[[nodiscard]] bool IsSupportedExt(const std::string& upperExt);
/// True when the path's extension, upper-cased, is a supported one.
[[nodiscard]] bool HasSupportedExt(const std::string& path);

/// An output kind found by name, with the row it writes.
struct TFoundKind {
    const TFormat* Format = nullptr;
    const TOutputKind* Kind = nullptr;
};
/// The output kind of that name (as the command line spells it); both null when none.
TFoundKind FindOutputKind(const std::string& name);
/// The first output kind of a format with that compression; both null when none.
TFoundKind OutputKindOf(FileType type, TCompression compression);
/// Every output kind's name, in table order.
std::vector<std::string> OutputKindNames();

/// Samples per pixel of an output of the format from an input of inputChannels.
uint8_t OutputChannelsOf(
    const TFormat& format, uint8_t inputChannels, const TWriteOptions& options);
/// Whether an output of width x height of bytesPerPixel takes the format's large layout.
bool UsesLargeLayout(const TFormat& format, uint32_t width, uint32_t height, uint8_t bytesPerPixel,
    const TWriteOptions& options);
/// The name of a whole-image output without extension: path (folder and base name), followed by
/// the size part when the format carries the size in its names.
std::string OutputStem(
    const std::string& path, const TFormat& format, uint64_t width, uint64_t height);
/// stem followed by the extension that the output's size and options choose, for an input of
/// inputChannels samples of bits.
std::string CompleteOutputName(const std::string& stem, const TFormat& format, uint32_t width,
    uint32_t height, uint8_t bits, uint8_t inputChannels, const TWriteOptions& options);
