// One open input image and one output image being written: the file, its description with the
// line buffer, and (for an output) the commit guard, so that the streaming operations only move
// lines between them.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "engine/FileInfo.h"
#include "engine/Formats.h"
#include "engine/LineFormats.h"
#include "engine/OutputCommit.h"
#include "engine/RunContext.h"
#include "engine/WriteOptions.h"

/// The kind and options of an output, as a job chooses them.
struct TOutputSpec {
    FileType Type = FileType::NV;
    TWriteOptions Options;
    /// The data reaches the disk before the file takes its name (off for scratch files).
    bool Durable = true;
    /// The output's complete name as the user gave it; "" lets the operation name it (stem and
    /// the extension the kind and size choose).
    std::string ExactName;
};

/// An input image open for reading. One thread only.
class TImageInput {
public:
    TImageInput() = default;
    ~TImageInput() { Close(); }
    TImageInput(const TImageInput&) = delete;
    TImageInput& operator=(const TImageInput&) = delete;

    /// Opens the file that a probe described in info (sequential formats read `name`) and
    /// allocates the line buffer. False when the sides exceed the limits, memory runs out
    /// (OutOfMemory tells) or the file cannot be opened; nothing stays open then.
    [[nodiscard]] bool Open(const TFileInfo& info, const std::string& name);
    [[nodiscard]] bool Open(const TFileInfo& info) { return Open(info, info.FileName); }
    bool OutOfMemory() const { return FOutOfMemory; }
    /// Reads line row into the line buffer; the bytes delivered (sequential formats read the
    /// next line whatever row says).
    int32_t ReadLine(int32_t row);
    /// Reads line row and tells whether the whole line arrived without a failure.
    [[nodiscard]] bool ReadWholeLine(uint32_t row);
    /// Closes the file and releases the buffer; safe twice.
    void Close();
    bool IsOpen() const { return FReader != nullptr; }
    /// The description, with ScanLineSize and ScanLine set while open.
    const TFileInfo& Info() const { return FInfo; }
    /// The errno value of the first failure (0 when none).
    int Error() const;
    /// Why the last Open failed or the first line read failed, in the system's or the format
    /// library's words ("" when nothing failed).
    std::string ErrorReason() const;

private:
    TFileInfo FInfo;
    std::unique_ptr<TLineReader> FReader;
    std::vector<uint8_t> FBuffer;
    bool FOutOfMemory = false;
    std::string FOpenFailure; ///< why the last Open failed
};

/// An output image being written. One thread only. Destroying it before Commit removes what it
/// wrote: an output either takes its final name complete or is not there at all.
class TImageOutput {
public:
    TImageOutput() = default;
    ~TImageOutput() { Discard(); }
    TImageOutput(const TImageOutput&) = delete;
    TImageOutput& operator=(const TImageOutput&) = delete;

    /// Describes an output of setup.Type, width x height at bits per sample from an input of
    /// inputChannels (a TIFF keeps alpha only when asked), completes stem to
    /// its name (Info().FileName, set once known), and checks, in order: that it is not
    /// inputName, that an existing file of that name may be replaced (the question to the
    /// user; a folder, a FIFO or a device there is refused), that the folder has room, and
    /// the size limits; then allocates the line buffer and creates the temporary and the
    /// writer. Shows its own messages; false when refused or failed (nothing is left then).
    [[nodiscard]] bool Open(const std::string& stem, uint32_t width, uint32_t height, uint8_t bits,
        uint8_t inputChannels, const TOutputSpec& setup, const std::string& inputName,
        TRunContext& run);
    /// The description: FileName complete, ScanLine the line buffer while open.
    TFileInfo& Info() { return FInfo; }
    const TFileInfo& Info() const { return FInfo; }
    /// Writes the line buffer as line row; the bytes written.
    int32_t WriteLine(uint32_t row);
    /// Writes the line buffer as line row and tells whether the whole line went out.
    [[nodiscard]] bool WriteWholeLine(uint32_t row);
    /// Completes the file (a TIFF's directory); false when data may be lost. Safe twice.
    [[nodiscard]] bool Finish();
    /// Finishes the file and parks its temporary until Commit (CommitTogether for many).
    [[nodiscard]] bool Park();
    /// Finishes the file and gives it its final name. Exists when the user had not agreed to
    /// replace a file of that name and one appeared meanwhile; the line buffer is released.
    [[nodiscard]] TCommitResult Commit();
    /// Removes whatever was written and releases the buffer; safe twice, nothing after Commit.
    void Discard();
    bool IsOpen() const { return FWriter != nullptr; }
    /// Whether the format's large layout (BigTIFF) was chosen.
    bool LargeLayout() const { return FLarge; }
    /// The errno value of the first failure of the writer or the temporary (0 when none).
    int Error() const;
    /// Why the last Open refused or failed, as it noted it beside its message ("" when it
    /// was refused by the user's answer or nothing failed).
    const std::string& OpenFailure() const { return FOpenFailure; }
    TOutputCommit& Guard() { return FGuard; }

private:
    void ReleaseBuffer();
    void DropWriter();

    TFileInfo FInfo;
    TOutputCommit FGuard;
    std::unique_ptr<TLineWriter> FWriter;
    std::vector<uint8_t> FBuffer;
    bool FLarge = false;
    bool FFinished = false;
    bool FFinishedOk = true;
    std::string FOpenFailure;
    int FWriterError = 0; ///< the writer's error, kept when the writer is let go
};

/// The system's words for an errno value ("No space left on device").
std::string ErrorText(int code);
