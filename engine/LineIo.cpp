// Opening, reading, writing and closing the engine's input and output one line at a time,
// with the overwrite, same-file and free-space checks made before an output is created.
#include <algorithm>
#include <new>
#include <stdexcept>

#include "engine/EngineTexts.h"
#include "engine/KroFormat.h"
#include "engine/LineFormats.h"
#include "engine/RawFormat.h"
#include "engine/TavmorManager.h"
#include "engine/TavmorUtils.h"
#include "engine/TiffFormat.h"

std::unique_ptr<TLineReader> MakeLineReader(FileType type)
{
    switch (type) {
    case FileType::KRO:
        return MakeKroReader();
    case FileType::RAW:
        return MakeRawReader();
    case FileType::TIF:
        return MakeTiffReader();
    case FileType::NV:
        break;
    }
    return nullptr;
}

std::unique_ptr<TLineWriter> MakeLineWriter(FileType type)
{
    switch (type) {
    case FileType::KRO:
        return MakeKroWriter();
    case FileType::RAW:
        return MakeRawWriter();
    case FileType::TIF:
        return MakeTiffWriter();
    case FileType::NV:
        break;
    }
    return nullptr;
}

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

} // namespace

bool TTavmor::OpenInFile(const std::string& Name)
{
    SilenceTiffLibrary();
    CloseInFile();
    const uint32_t lineSize = LineSizeOf(InInfo.Width, InInfo.BytesPerPixel);
    if (lineSize == 0 || InInfo.Width > kMaxImageSide || InInfo.Height > kMaxImageSide) {
        return false;
    }
    InInfo.ScanLineSize = lineSize;
    if (!AllocateLine(InBuffer, lineSize)) {
        UserDialogs().ShowMessage(EngineText::InNotEnoughMemory);
        return false;
    }
    InInfo.ScanLine = InBuffer.data();
    InReader = MakeLineReader(InInfo.ImageType);
    bool ok = false;
    if (InReader) {
        TFileInfo opened = InInfo;
        if (InInfo.ImageType != FileType::TIF) {
            opened.FileName = Name;
        }
        try {
            ok = InReader->Open(opened);
        } catch (const std::bad_alloc&) {
            UserDialogs().ShowMessage(EngineText::InNotEnoughMemory);
        } catch (const std::length_error&) {
            UserDialogs().ShowMessage(EngineText::InNotEnoughMemory);
        }
        if (!ok) {
            InReader.reset();
        }
    }
    if (!ok) {
        (void)IoResult(); // reported by the result; nothing stays pending for later steps
    }
    InOpen = ok;
    return ok;
}

void TTavmor::CloseInFile()
{
    if (InReader) {
        InReader->Close();
        InReader.reset();
        (void)IoResult(); // a failed close of an input loses nothing
    }
    InOpen = false;
    InBuffer.clear();
    InBuffer.shrink_to_fit();
    InInfo.ScanLine = nullptr;
}

int32_t TTavmor::ReadLine(int32_t Row)
{
    if (!InOpen || !InReader || InBuffer.size() < InInfo.ScanLineSize) {
        return 0;
    }
    return InReader->ReadLine(Row, InBuffer.data());
}

bool TTavmor::OpenOutFile(const std::string& Name)
{
    SilenceTiffLibrary();
    OutWriter.reset();
    OutOpen = false;
    std::string extension;
    switch (OutInfo.ImageType) {
    case FileType::KRO:
        extension = ".kro";
        OutInfo.Channels = 4;
        OutInfo.BytesPerPixel = 4;
        OutInfo.IsLsb = false;
        break;
    case FileType::RAW:
        extension = ".raw";
        OutInfo.Channels = 3;
        OutInfo.BytesPerPixel = 3;
        OutInfo.IsLsb = true;
        break;
    case FileType::TIF:
        OutInfo.Channels = 3;
        OutInfo.BytesPerPixel = 3;
        OutInfo.IsLsb = true;
        break;
    case FileType::NV:
        return false;
    }
    OutInfo.Bits = InInfo.Bits;
    if (OutInfo.Bits == 16) {
        OutInfo.BytesPerPixel *= 2;
    }
    const uint64_t pixelBytes = uint64_t(OutInfo.Width) * OutInfo.Height * OutInfo.BytesPerPixel;
    const bool bigTiff =
        OutInfo.ImageType == FileType::TIF && NeedsBigTiff(pixelBytes, ForceBigTiff);
    if (OutInfo.ImageType == FileType::TIF) {
        extension = bigTiff ? ".big.tif" : ".tif";
    }
    const std::string fullName = Name + extension;

    // The same file may hide behind another spelling of its path (relative parts, links).
    if (fullName == InInfo.FileName || SameFile(fullName, InInfo.FileName)) {
        UserDialogs().ShowErrorDialog(EngineText::CannotOverwriteInput);
        return false;
    }
    const bool replacing = FileExists(fullName);
    int64_t reclaimable = 0;
    if (replacing) {
        if (!UserDialogs().AskYesNo(EngineText::OutputExists)) {
            return false;
        }
        reclaimable = std::max<int64_t>(0, FileSizeOf(fullName));
    }
    OutInfo.FileName = fullName;

    // The space check comes before the old file goes, counting its bytes as free: a refused
    // write must not lose it.
    std::string folder = DirectoryOf(fullName);
    if (folder.empty()) {
        folder = std::string(".") + kPathSeparator;
    }
    const int64_t freeBytes = std::max<int64_t>(0, FreeSpaceOf(folder));
    const uint64_t available =
        static_cast<uint64_t>(freeBytes) + static_cast<uint64_t>(reclaimable);
    if (!(available > pixelBytes)) {
        FireError(EngineText::NotEnoughSpace);
        return false;
    }

    if (OutInfo.Width == 0 || OutInfo.Height == 0) {
        UserDialogs().ShowMessage(EngineText::HeightOrWidth0);
        return false;
    }
    const uint32_t lineSize = LineSizeOf(OutInfo.Width, OutInfo.BytesPerPixel);
    if (lineSize == 0 || OutInfo.Width > kMaxImageSide) {
        UserDialogs().ShowMessage(EngineText::DimensionsExceedLimits);
        return false;
    }
    OutInfo.ScanLineSize = lineSize;
    if (!AllocateLine(OutBuffer, lineSize)) {
        OutInfo.ScanLine = nullptr;
        UserDialogs().ShowMessage(EngineText::NotEnoughMemory);
        return false;
    }
    OutInfo.ScanLine = OutBuffer.data();

    if (replacing) {
        (void)DeleteFileAt(fullName);
    }
    OutWriter = MakeLineWriter(OutInfo.ImageType);
    (void)IoResult(); // a stale error of an earlier step must not be blamed on this file
    if (!OutWriter->Open(OutInfo, Lzw, bigTiff)) {
        OutWriter.reset();
        (void)IoResult();
        if (FileExists(fullName)) {
            (void)DeleteFileAt(fullName);
        }
        UserDialogs().ShowMessage(EngineText::WriteToFileError);
        return false;
    }
    OutOpen = true;
    if (OutInfo.ImageType == FileType::KRO) {
        WriteKroHeader();
    }
    return true;
}

bool TTavmor::CloseOutFile()
{
    bool ok = true;
    if (OutWriter) {
        ok = OutWriter->Close();
        OutWriter.reset();
        if (!ok) {
            (void)IoResult(); // the result reports it
        }
    }
    OutOpen = false;
    OutBuffer.clear();
    OutBuffer.shrink_to_fit();
    OutInfo.ScanLine = nullptr;
    return ok;
}

int32_t TTavmor::WriteLine(uint32_t Row)
{
    if (!OutOpen || !OutWriter || OutBuffer.size() < OutInfo.ScanLineSize) {
        return 0;
    }
    return OutWriter->WriteLine(Row, OutBuffer.data());
}

void TTavmor::WriteKroHeader()
{
    if (!OutWriter) {
        return;
    }
    const TKroHeaderBytes bytes =
        EncodeKroHeader({ OutInfo.Width, OutInfo.Height, OutInfo.Bits, OutInfo.Channels });
    // A short write leaves the pending I/O error set for the first line write to report.
    (void)OutWriter->WriteBytes(bytes.data(), bytes.size());
}
