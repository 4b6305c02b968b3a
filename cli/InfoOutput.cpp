// The information box and its JSON form.
#include "cli/InfoOutput.h"

#include "cli/CliTexts.h"
#include "cli/Json.h"
#include "cli/ProgressLine.h"
#include "engine/TavmorUtils.h"

std::string InfoText(const std::string& file, const TFileInfo& in)
{
    const int64_t pixels = int64_t { in.Width } * int64_t { in.Height };
    const uint64_t bytes = static_cast<uint64_t>(std::max<int64_t>(in.FileSize, 0));
    return file + "\n  " + CliText::InfoFileSize + std::to_string(bytes) + " bytes ("
        + FormatBytes(bytes) + ")\n  " + CliText::InfoWidth + std::to_string(in.Width) + "\n  "
        + CliText::InfoHeight + std::to_string(in.Height) + "\n  " + CliText::InfoBits
        + std::to_string(in.Bits) + "\n  " + CliText::InfoChannels + std::to_string(in.Channels)
        + "\n  " + CliText::InfoImage + FormatPixelCount(pixels) + "\n";
}

std::string InfoJson(const std::string& file, const TFileInfo& in, bool valid)
{
    return "{\"file\":" + JsonString(file) + ",\"type\":" + JsonString(in.ImageTypeDesc)
        + ",\"file_size\":" + std::to_string(FileSizeOf(file))
        + ",\"width\":" + std::to_string(in.Width) + ",\"height\":" + std::to_string(in.Height)
        + ",\"bits\":" + std::to_string(in.Bits) + ",\"channels\":" + std::to_string(in.Channels)
        + ",\"valid\":" + (valid ? "true" : "false") + "}";
}
