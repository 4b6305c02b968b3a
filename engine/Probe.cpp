// The input probes: they describe a KRO, RAW or TIFF file in InInfo without reading pixels.
#include <cstdint>

#include "engine/EngineTexts.h"
#include "engine/KroFormat.h"
#include "engine/TavmorManager.h"
#include "engine/TavmorUtils.h"
#include "engine/TiffFormat.h"

namespace {

/// Starts a probe: nothing is known to be valid yet.
void BeginProbe(TFileInfo& info, FileType type, const char* desc)
{
    info.ImageIsOk = false;
    info.FileSize = FileSizeOf(info.FileName);
    info.ImageType = type;
    info.ImageTypeDesc = desc;
}

/// Ends a probe that accepted the file: every input the engine takes has sides of at most
/// kMaxImageSide pixels, so line sizes (and the line buffers) stay within 32 bits whatever a
/// header or a name claims.
void AcceptWithinLimits(TFileInfo& info, TEngineDialogs& dialogs)
{
    const uint64_t lineBytes = uint64_t(info.Width) * info.BytesPerPixel;
    if (info.Width > kMaxImageSide || info.Height > kMaxImageSide || lineBytes > UINT32_MAX) {
        dialogs.ShowMessage(EngineText::DimensionsExceedLimits);
        return;
    }
    info.ImageIsOk = true;
}

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

} // namespace

void TTavmor::CheckFile(bool AskUser)
{
    InInfo.ImageIsOk = false;
    const std::string ext = UpperExtensionOf(InInfo.FileName);
    if (ext == ".KRO") {
        CheckKroFile();
    } else if (ext == ".TIF" || ext == ".TIFF") {
        CheckTifFile();
    } else if (ext == ".RAW" || ext == ".RGB") {
        CheckRawFile(AskUser);
    }
}

void TTavmor::CheckKroFile()
{
    TFileInfo& info = InInfo;
    BeginProbe(info, FileType::KRO, "KRO");
    TKroHeader header;
    if (!ReadKroHeader(info.FileName, header)) {
        UserDialogs().ShowMessage(EngineText::KroHeaderError);
        return;
    }
    if (header.Bits != 8 && header.Bits != 16) {
        UserDialogs().ShowMessage(EngineText::BitsMust8Or16);
        return;
    }
    info.Bits = static_cast<uint8_t>(header.Bits);
    if (header.Channels != 4) {
        UserDialogs().ShowMessage(EngineText::ChannelsMust4);
        return;
    }
    info.Channels = 4;
    if (header.Width == 0 || header.Height == 0) {
        UserDialogs().ShowMessage(EngineText::HeightOrWidth0);
        return;
    }
    info.Width = header.Width;
    info.Height = header.Height;
    info.BytesPerPixel = info.Bits == 8 ? 4 : 8;
    info.IsLsb = false;
    AcceptWithinLimits(info, UserDialogs());
}

void TTavmor::CheckRawFile(bool AskUser)
{
    TFileInfo& info = InInfo;
    BeginProbe(info, FileType::RAW, "RAW");
    uint32_t width = 0;
    uint32_t height = 0;
    RawSizeFromName(info.FileName, width, height);
    uint8_t depth = RawDepthFor(width, height, info.FileSize);
    if (depth == 0 && AskUser) {
        TRawParameters answer;
        if (!UserDialogs().AskRawParameters(info.FileSize, width, height, 0, answer)) {
            return;
        }
        width = answer.Width;
        height = answer.Height;
        depth = answer.Bits == 8 || answer.Bits == 16 ? answer.Bits : 0;
    }
    if (width == 0 || height == 0 || depth == 0) {
        UserDialogs().ShowMessage(EngineText::InvalidRawSize);
        return;
    }
    info.Width = width;
    info.Height = height;
    info.Bits = depth;
    info.BytesPerPixel = depth == 8 ? 3 : 6;
    info.Channels = 3;
    info.IsLsb = true;
    AcceptWithinLimits(info, UserDialogs());
}

void TTavmor::CheckTifFile()
{
    TFileInfo& info = InInfo;
    BeginProbe(info, FileType::TIF, "TIF");
    TTiffLayout layout;
    const TTiffVerdict verdict = ExamineTiffFile(info.FileName, layout);
    if (verdict != TTiffVerdict::CannotOpen) {
        // Like the tags themselves: what was read stays visible, valid or not.
        info.Width = layout.Width;
        info.Height = layout.Height;
        info.Bits = static_cast<uint8_t>(layout.Bits);
        info.Channels = static_cast<uint8_t>(layout.Samples);
    }
    switch (verdict) {
    case TTiffVerdict::CannotOpen:
    case TTiffVerdict::NoSize:
        UserDialogs().ShowMessage(EngineText::HeightOrWidth0);
        return;
    case TTiffVerdict::Bits:
        UserDialogs().ShowMessage(EngineText::BitsMust8Or16);
        return;
    case TTiffVerdict::Channels:
        UserDialogs().ShowMessage(EngineText::ChannelsMust3Or4);
        return;
    case TTiffVerdict::SampleFormat:
        UserDialogs().ShowMessage(EngineText::TiffSampleFormat);
        return;
    case TTiffVerdict::Photometric:
        UserDialogs().ShowMessage(EngineText::TiffNotRgb);
        return;
    case TTiffVerdict::Compression:
        UserDialogs().ShowMessage(EngineText::TiffCompression);
        return;
    case TTiffVerdict::Ok:
        break;
    }
    info.BytesPerPixel = static_cast<uint8_t>(info.Channels * (info.Bits / 8));
    info.IsLsb = true;
    AcceptWithinLimits(info, UserDialogs());
}
