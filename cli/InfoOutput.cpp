// The information box and its JSON form.
#include "cli/InfoOutput.h"

#include <cstdio>

#include "cli/CliTexts.h"
#include "cli/Json.h"
#include "cli/ProgressLine.h"
#include "engine/TavmorUtils.h"

namespace {

/// A resolution value as few digits as it needs ("240", "118.11").
std::string Number(float v)
{
    char text[32];
    std::snprintf(text, sizeof text, "%g", static_cast<double>(v));
    return text;
}

} // namespace

TTiffMetadata MetadataOf(const TFileInfo& in)
{
    TTiffMetadata metadata;
    if (in.ImageType == FileType::TIF) {
        (void)ReadTiffMetadataFile(in.FileName, metadata);
    } else if (in.ImageType == FileType::KRO) {
        metadata.Alpha = TAlphaKind::Unassociated;
    }
    return metadata;
}

std::string InfoText(const std::string& file, const TFileInfo& in, const TTiffMetadata& metadata)
{
    const int64_t pixels = int64_t { in.Width } * int64_t { in.Height };
    const uint64_t bytes = static_cast<uint64_t>(std::max<int64_t>(in.FileSize, 0));
    std::string compression = metadata.Compression;
    if (metadata.Predictor != 1) {
        compression += " (predictor " + std::to_string(metadata.Predictor) + ")";
    }
    const std::string profile = metadata.IccProfile.empty()
        ? std::string("none")
        : std::to_string(metadata.IccProfile.size()) + " bytes";
    const std::string resolution = metadata.Resolution
        ? Number(metadata.Resolution->X) + " x " + Number(metadata.Resolution->Y) + " per "
            + ResolutionUnitName(metadata.Resolution->Unit)
        : std::string("none");
    return file + "\n  " + CliText::InfoFileSize + std::to_string(bytes) + " bytes ("
        + FormatBytes(bytes) + ")\n  " + CliText::InfoWidth + std::to_string(in.Width) + "\n  "
        + CliText::InfoHeight + std::to_string(in.Height) + "\n  " + CliText::InfoBits
        + std::to_string(in.Bits) + "\n  " + CliText::InfoChannels + std::to_string(in.Channels)
        + "\n  " + CliText::InfoImage + FormatPixelCount(pixels) + "\n  " + CliText::InfoCompression
        + compression + "\n  " + CliText::InfoAlpha + AlphaKindName(metadata.Alpha) + "\n  "
        + CliText::InfoProfile + profile + "\n  " + CliText::InfoResolution + resolution + "\n  "
        + CliText::InfoOrientation + std::to_string(metadata.Orientation) + "\n";
}

std::string InfoJson(const std::string& file, const TFileInfo& in, bool valid,
    const std::string& reason, const TTiffMetadata& metadata)
{
    std::string resolution = "null";
    if (metadata.Resolution) {
        resolution.assign(1, '[');
        resolution += Number(metadata.Resolution->X);
        resolution += ',';
        resolution += Number(metadata.Resolution->Y);
        resolution += ',';
        resolution += JsonString(ResolutionUnitName(metadata.Resolution->Unit));
        resolution += ']';
    }
    return "{\"file\":" + JsonString(file) + ",\"type\":" + JsonString(in.ImageTypeDesc)
        + ",\"file_size\":" + std::to_string(FileSizeOf(file))
        + ",\"width\":" + std::to_string(in.Width) + ",\"height\":" + std::to_string(in.Height)
        + ",\"bits\":" + std::to_string(in.Bits) + ",\"channels\":" + std::to_string(in.Channels)
        + ",\"valid\":" + (valid ? "true" : "false")
        + (valid ? std::string() : ",\"reason\":" + JsonString(reason)) + ",\"compression\":"
        + JsonString(metadata.Compression) + ",\"predictor\":" + std::to_string(metadata.Predictor)
        + ",\"alpha\":" + JsonString(AlphaKindName(metadata.Alpha)) + ",\"icc_profile_bytes\":"
        + std::to_string(metadata.IccProfile.size()) + ",\"resolution\":" + resolution
        + ",\"orientation\":" + std::to_string(metadata.Orientation) + "}";
}
