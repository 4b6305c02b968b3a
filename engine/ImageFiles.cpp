// Opening, reading, writing, finishing and committing the engine's input and output images, with
// the same-file, overwrite and free-space checks made before an output is created.
#include "engine/ImageFiles.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <new>
#include <stdexcept>
#include <sys/stat.h>

#include "engine/EngineTexts.h"
#include "engine/TavmorUtils.h"

namespace {

/// Sizes a line buffer; false when the memory cannot be had.
bool AllocateLine(std::vector<uint8_t>& buffer, uint32_t size)
{
    try {
        buffer.assign(size, 0);
        return true;
    } catch (const std::bad_alloc&) {
    } catch (const std::length_error&) {
    }
    buffer.clear();
    buffer.shrink_to_fit();
    return false;
}

/// The line size of an image, or 0 when it does not fit the engine's 32-bit line sizes.
uint32_t LineSizeOf(uint32_t width, uint8_t bytesPerPixel)
{
    const uint64_t size = uint64_t(width) * bytesPerPixel;
    return size > UINT32_MAX ? 0 : static_cast<uint32_t>(size);
}

/// What stands at an output's name, never following a link there.
enum class TAtName { Nothing, Replaceable, NotAFile };

TAtName LookAtName(const std::string& name, int64_t& bytes)
{
    struct stat st { };
    bytes = 0;
    if (::lstat(name.c_str(), &st) != 0) {
        return TAtName::Nothing;
    }
    if (S_ISREG(st.st_mode)) {
        bytes = static_cast<int64_t>(st.st_size);
        return TAtName::Replaceable;
    }
    // A link (dangling or not) is replaced by the new file itself, never written through.
    return S_ISLNK(st.st_mode) ? TAtName::Replaceable : TAtName::NotAFile;
}

} // namespace

std::string ErrorText(int code)
{
    return std::strerror(code != 0 ? code : EIO);
}

bool TImageInput::Open(const TFileInfo& info, const std::string& name)
{
    Close();
    FInfo = info;
    FInfo.ScanLine = nullptr;
    FOutOfMemory = false;
    FOpenFailure.clear();
    const uint32_t lineSize = LineSizeOf(FInfo.Width, FInfo.BytesPerPixel);
    if (lineSize == 0 || FInfo.Width > kMaxImageSide || FInfo.Height > kMaxImageSide) {
        FOpenFailure = "the image's size exceeds the limits";
        return false;
    }
    FInfo.ScanLineSize = lineSize;
    if (!AllocateLine(FBuffer, lineSize)) {
        FOutOfMemory = true;
        FOpenFailure = ErrorText(ENOMEM);
        return false;
    }
    const TFormat* format = FormatOf(FInfo.ImageType);
    if (!format) {
        Close();
        FOpenFailure = "not an image kind the engine reads";
        return false;
    }
    FReader = format->MakeReader();
    TFileInfo opened = FInfo;
    opened.FileName = name;
    bool ok = false;
    try {
        ok = FReader->Open(opened);
    } catch (const std::bad_alloc&) {
        FOutOfMemory = true;
    } catch (const std::length_error&) {
        FOutOfMemory = true;
    }
    if (!ok) {
        FOpenFailure = FOutOfMemory ? ErrorText(ENOMEM) : ErrorReason();
        Close();
        return false;
    }
    FInfo.ScanLine = FBuffer.data();
    return true;
}

int32_t TImageInput::ReadLine(int32_t row)
{
    if (!FReader || FBuffer.size() < FInfo.ScanLineSize) {
        return 0;
    }
    return FReader->ReadLine(row, FBuffer.data());
}

bool TImageInput::ReadWholeLine(uint32_t row)
{
    const int32_t got = ReadLine(static_cast<int32_t>(row));
    return got >= 0 && static_cast<uint32_t>(got) == FInfo.ScanLineSize && Error() == 0;
}

void TImageInput::Close()
{
    if (FReader) {
        FReader->Close();
        FReader.reset();
    }
    FBuffer.clear();
    FBuffer.shrink_to_fit();
    FInfo.ScanLine = nullptr;
}

int TImageInput::Error() const
{
    return FReader ? FReader->Error() : 0;
}

std::string TImageInput::ErrorReason() const
{
    if (!FReader) {
        return FOpenFailure;
    }
    std::string reason = FReader->Reason();
    if (reason.empty() && FReader->Error() != 0) {
        reason = ErrorText(FReader->Error());
    }
    return reason;
}

bool TImageOutput::Open(const std::string& stem, uint32_t width, uint32_t height, uint8_t bits,
    uint8_t inputChannels, const TOutputSpec& setup, const std::string& inputName, TRunContext& run)
{
    Discard();
    FFinished = false;
    FFinishedOk = true;
    FWriterError = 0;
    FOpenFailure.clear();
    FInfo = TFileInfo {};
    FInfo.ImageType = setup.Type;
    FInfo.Width = width;
    FInfo.Height = height;
    const TFormat* format = FormatOf(setup.Type);
    if (!format) {
        return false;
    }
    FInfo.Channels = OutputChannelsOf(*format, inputChannels, setup.Options);
    FInfo.IsLsb = format->OutIsLsb;
    FInfo.Bits = bits;
    FInfo.BytesPerPixel = static_cast<uint8_t>(FInfo.Channels * (bits == 16 ? 2 : 1));
    const uint64_t pixelBytes = uint64_t { width } * height * FInfo.BytesPerPixel;
    FLarge = UsesLargeLayout(*format, width, height, FInfo.BytesPerPixel, setup.Options);
    const std::string fullName = !setup.ExactName.empty()
        ? setup.ExactName
        : stem + (FLarge ? format->LargeExtension : format->Extension);

    // The same file may hide behind another spelling of its path (relative parts, links).
    if (fullName == inputName || SameFile(fullName, inputName)) {
        run.Dialogs.NoteDetail(fullName, "");
        run.Dialogs.ShowErrorDialog(EngineText::CannotOverwriteInput);
        return false;
    }
    int64_t reclaimable = 0;
    TReplace replace = run.Dialogs.ReplaceAgreed() ? TReplace::Allowed : TReplace::Never;
    switch (LookAtName(fullName, reclaimable)) {
    case TAtName::Nothing:
        break;
    case TAtName::NotAFile:
        // A folder, a FIFO or a device is not an output file: writing there could hang on a
        // FIFO or reach a device, and replacing it is not what overwriting a file means.
        FOpenFailure = "not a regular file";
        run.Dialogs.NoteDetail(fullName, FOpenFailure);
        run.Dialogs.ShowMessage(EngineText::WriteToFileError);
        return false;
    case TAtName::Replaceable:
        run.Dialogs.NoteDetail(fullName, "");
        if (!run.Dialogs.AskYesNo(EngineText::OutputExists)) {
            return false;
        }
        replace = TReplace::Allowed;
        break;
    }
    FInfo.FileName = fullName;

    // The old file stays until the new one is complete, but its bytes count as free: a write
    // that fits once the old file is replaced must not be refused.
    std::string folder = DirectoryOf(fullName);
    if (folder.empty()) {
        folder = std::string(".") + kPathSeparator;
    }
    const int64_t freeBytes = std::max<int64_t>(0, FreeSpaceOf(folder));
    const uint64_t available =
        static_cast<uint64_t>(freeBytes) + static_cast<uint64_t>(reclaimable);
    if (!(available > pixelBytes)) {
        FOpenFailure = std::to_string(pixelBytes) + " bytes needed, " + std::to_string(available)
            + " available";
        run.Dialogs.NoteDetail(fullName, FOpenFailure);
        run.Events.FireError(EngineText::NotEnoughSpace);
        return false;
    }

    if (width == 0 || height == 0) {
        FOpenFailure = "width " + std::to_string(width) + ", height " + std::to_string(height);
        run.Dialogs.NoteDetail(fullName, FOpenFailure);
        run.Dialogs.ShowMessage(EngineText::HeightOrWidth0);
        return false;
    }
    const uint32_t lineSize = LineSizeOf(width, FInfo.BytesPerPixel);
    if (lineSize == 0 || width > kMaxImageSide) {
        FOpenFailure =
            "width " + std::to_string(width) + ", at most " + std::to_string(kMaxImageSide);
        run.Dialogs.NoteDetail(fullName, FOpenFailure);
        run.Dialogs.ShowMessage(EngineText::DimensionsExceedLimits);
        return false;
    }
    FInfo.ScanLineSize = lineSize;
    if (!AllocateLine(FBuffer, lineSize)) {
        FInfo.ScanLine = nullptr;
        FOpenFailure = ErrorText(ENOMEM);
        run.Dialogs.NoteDetail(fullName, FOpenFailure);
        run.Dialogs.ShowMessage(EngineText::NotEnoughMemory);
        return false;
    }
    FInfo.ScanLine = FBuffer.data();

    if (format->OptionsProblem) {
        if (const char* problem = format->OptionsProblem(setup.Options, bits, lineSize)) {
            run.Dialogs.NoteDetail(fullName, problem);
            run.Dialogs.ShowMessage(EngineText::WriteToFileError);
            return false;
        }
    }
    TWriteOptions options = setup.Options;
    options.ForceBigTiff = FLarge;
    FWriter = format->MakeWriter();
    if (!FGuard.Create(fullName, replace, setup.Durable)
        || !FWriter->Open(FGuard.Fd(), FInfo, options)) {
        const int code = Error();
        FWriter.reset();
        FGuard.Discard();
        FOpenFailure = ErrorText(code);
        run.Dialogs.NoteDetail(fullName, FOpenFailure);
        run.Dialogs.ShowMessage(EngineText::WriteToFileError);
        return false;
    }
    return true;
}

int32_t TImageOutput::WriteLine(uint32_t row)
{
    if (!FWriter || FFinished || FBuffer.size() < FInfo.ScanLineSize) {
        return 0;
    }
    return FWriter->WriteLine(row, FBuffer.data());
}

bool TImageOutput::WriteWholeLine(uint32_t row)
{
    const int32_t written = WriteLine(row);
    return written >= 0 && static_cast<uint32_t>(written) == FInfo.ScanLineSize && Error() == 0;
}

bool TImageOutput::Finish()
{
    if (!FFinished && FWriter) {
        FFinished = true;
        FFinishedOk = FWriter->Finish();
    }
    return FFinishedOk;
}

bool TImageOutput::Park()
{
    const bool ok = Finish() && FGuard.Park();
    DropWriter();
    ReleaseBuffer();
    return ok;
}

TCommitResult TImageOutput::Commit()
{
    if (!Finish()) {
        Discard();
        return TCommitResult::Failed;
    }
    const TCommitResult result = FGuard.Commit();
    DropWriter();
    ReleaseBuffer();
    return result;
}

void TImageOutput::Discard()
{
    if (FWriter) {
        if (!FFinished) {
            FWriter->Abandon();
            FFinished = true;
        }
        DropWriter();
    }
    FGuard.Discard();
    ReleaseBuffer();
}

void TImageOutput::ReleaseBuffer()
{
    FBuffer.clear();
    FBuffer.shrink_to_fit();
    FInfo.ScanLine = nullptr;
}

void TImageOutput::DropWriter()
{
    // Its error outlives it: a failed Commit or Park is reported after the writer is gone.
    if (FWriter && FWriterError == 0) {
        FWriterError = FWriter->Error();
    }
    FWriter.reset();
}

int TImageOutput::Error() const
{
    const int writer = FWriter ? FWriter->Error() : FWriterError;
    return writer != 0 ? writer : FGuard.Error();
}
