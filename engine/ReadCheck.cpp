// The whole-read check: the format's own check of a probed file.
#include "engine/ReadCheck.h"

#include "engine/Formats.h"

bool CheckWholeRead(const TFileInfo& info, std::string& reason)
{
    reason.clear();
    const TFormat* format = FormatOf(info.ImageType);
    if (!info.ImageIsOk || !format) {
        return false;
    }
    return !format->CheckWholeRead || format->CheckWholeRead(info, reason);
}
