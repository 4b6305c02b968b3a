// RAW files: the probe (size from the name, or from the user), the sequential line reader and
// writer shared with KRO, and the RAW row of the format table.
#include "engine/RawFormat.h"

#include <cerrno>
#include <string>

#include "engine/EngineTexts.h"
#include "engine/FileNames.h"
#include "engine/InputCheck.h"
#include "engine/ProbeSupport.h"
#include "engine/TavmorUtils.h"

namespace {

/// The depth (8 or 16) at which a RAW image of width x height has exactly fileSize bytes;
/// 0 when neither fits.
uint8_t RawDepthFor(uint32_t width, uint32_t height, int64_t fileSize)
{
    if (width == 0 || height == 0 || fileSize <= 0) {
        return 0;
    }
    // Dividing instead of multiplying keeps the test free of overflow for any 32-bit sides.
    const uint64_t pixels = uint64_t(width) * height;
    const auto size = static_cast<uint64_t>(fileSize);
    if (size % 3 == 0 && size / 3 == pixels) {
        return 8;
    }
    if (size % 6 == 0 && size / 6 == pixels) {
        return 16;
    }
    return 0;
}

void ProbeRaw(TFileInfo& info, TEngineDialogs& dialogs, bool askUser)
{
    BeginProbe(info, FileType::RAW, "RAW");
    uint32_t width = 0;
    uint32_t height = 0;
    RawSizeFromName(info.FileName, width, height);
    uint8_t depth = RawDepthFor(width, height, info.FileSize);
    if (depth == 0 && askUser) {
        TRawParameters answer;
        if (!dialogs.AskRawParameters(info.FileSize, width, height, 0, answer)) {
            return;
        }
        width = answer.Width;
        height = answer.Height;
        depth = answer.Bits == 8 || answer.Bits == 16 ? answer.Bits : 0;
    }
    if (width == 0 || height == 0 || depth == 0) {
        const std::string size = std::to_string(info.FileSize) + " bytes";
        dialogs.NoteDetail(info.FileName,
            width == 0 || height == 0 ? "no size in the name (NAME_WIDTHxHEIGHT.raw)"
                                      : std::to_string(width) + " x " + std::to_string(height)
                    + " pixels of 8 or 16 bits do not make " + size);
        dialogs.ShowMessage(EngineText::InvalidRawSize);
        return;
    }
    info.Width = width;
    info.Height = height;
    info.Bits = depth;
    info.BytesPerPixel = depth == 8 ? 3 : 6;
    info.Channels = 3;
    info.IsLsb = true;
    AcceptWithinLimits(info, dialogs);
}

} // namespace

bool TSeqLineReader::Open(const TFileInfo& info)
{
    FLineSize = info.ScanLineSize;
    FOpenError = 0;
    FHeight = info.Height;
    FLinesRead = 0;
    FReason.clear();
    FFile.SizeBufferFor(FLineSize);
    if (!FFile.OpenRead(info.FileName)) {
        // Not examined here: the failure surfaces as a failed first read, which the line
        // loops report in their own words.
        FOpenError = FFile.Error();
        return true;
    }
    if (!CheckHeader(info)) {
        if (FFile.Error() == 0) {
            FReason = "the header no longer says what was examined";
        }
        Close();
        return false;
    }
    return true;
}

bool TSeqLineReader::CheckHeader(const TFileInfo&)
{
    return FHeaderSize == 0 || FFile.Skip(FHeaderSize);
}

int32_t TSeqLineReader::ReadLine(int32_t, uint8_t* buffer)
{
    if (!FFile.IsOpen()) {
        if (FOpenError == 0) {
            FOpenError = EBADF;
        }
        return 0;
    }
    const int64_t got = FFile.Read(buffer, FLineSize);
    if (got < int64_t { FLineSize } && FFile.Error() == 0 && FReason.empty()) {
        FReason = "the file holds " + std::to_string(FLinesRead) + " of its "
            + std::to_string(FHeight) + " lines";
    }
    ++FLinesRead;
    return static_cast<int32_t>(got);
}

void TSeqLineReader::Close()
{
    (void)FFile.Close();
}

bool TSeqLineWriter::Open(int fd, const TFileInfo& info, const TWriteOptions&)
{
    FLineSize = info.ScanLineSize;
    FFile.SizeBufferFor(FLineSize);
    FFile.AttachWrite(fd);
    return FFile.IsOpen() && WriteHeader(info);
}

bool TSeqLineWriter::WriteHeader(const TFileInfo&)
{
    return true;
}

int32_t TSeqLineWriter::WriteLine(uint32_t, const uint8_t* buffer)
{
    return static_cast<int32_t>(FFile.Write(buffer, FLineSize));
}

bool TSeqLineWriter::Finish()
{
    return FFile.Close();
}

bool HoldsAllLines(const TFileInfo& info, uint64_t headerBytes, std::string& reason)
{
    reason.clear();
    const uint64_t line = uint64_t { info.Width } * info.BytesPerPixel;
    const int64_t size = FileSizeOf(info.FileName);
    if (size < 0) {
        reason = InputFileProblem(info.FileName);
        return false;
    }
    const uint64_t bytes = static_cast<uint64_t>(size);
    if (line == 0 || bytes < headerBytes || (bytes - headerBytes) / line < info.Height) {
        const uint64_t lines = line == 0 || bytes < headerBytes ? 0 : (bytes - headerBytes) / line;
        reason = "the file holds " + std::to_string(lines) + " of its "
            + std::to_string(info.Height) + " lines";
        return false;
    }
    return true;
}

const TFormat& RawFormatRow()
{
    static const TFormat kRow {
        .Type = FileType::RAW,
        .Desc = "RAW",
        .Extensions = { ".RAW", ".RGB" },
        .Probe = ProbeRaw,
        .LinesByNumber = false,
        .OutChannels = 3,
        .OutputChannels = nullptr,
        .OutIsLsb = true,
        .SizeInName = true,
        .Extension = ".raw",
        .NeedsLargeLayout = nullptr,
        .LargeExtension = ".raw",
        .OptionsProblem = nullptr,
        .MakeReader = [] { return std::unique_ptr<TLineReader>(new TSeqLineReader(0)); },
        .MakeWriter = [] { return std::unique_ptr<TLineWriter>(new TSeqLineWriter()); },
        .OutputKinds = { { "raw", "RAW", TCompression::None } },
        .CheckWholeRead = [](const TFileInfo& info,
                              std::string& reason) { return HoldsAllLines(info, 0, reason); },
    };
    return kRow;
}
