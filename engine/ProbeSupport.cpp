// The start and the end that every probe shares.
#include "engine/ProbeSupport.h"

#include <cstdint>
#include <string>

#include "engine/EngineTexts.h"
#include "engine/TavmorUtils.h"

void BeginProbe(TFileInfo& info, FileType type, const char* desc)
{
    info.ImageIsOk = false;
    info.FileSize = FileSizeOf(info.FileName);
    info.ImageType = type;
    info.ImageTypeDesc = desc;
}

void AcceptWithinLimits(TFileInfo& info, TEngineDialogs& dialogs)
{
    const uint64_t lineBytes = uint64_t(info.Width) * info.BytesPerPixel;
    if (info.Width > kMaxImageSide || info.Height > kMaxImageSide || lineBytes > UINT32_MAX) {
        dialogs.NoteDetail(info.FileName,
            std::to_string(info.Width) + " x " + std::to_string(info.Height)
                + " pixels; each side may have at most " + std::to_string(kMaxImageSide));
        dialogs.ShowMessage(EngineText::DimensionsExceedLimits);
        return;
    }
    info.ImageIsOk = true;
}
