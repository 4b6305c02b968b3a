// The format table's rows in order, and the look-ups everyone else makes in it.
#include "engine/Formats.h"

#include "engine/FileNames.h"
#include "engine/KroFormat.h"
#include "engine/RawFormat.h"
#include "engine/TiffFormat.h"

const std::vector<const TFormat*>& Formats()
{
    // One row per format; each format's own file defines its row.
    static const std::vector<const TFormat*> kRows = { &TiffFormatRow(), &RawFormatRow(),
        &KroFormatRow() };
    return kRows;
}

const TFormat* FormatOf(FileType type)
{
    for (const TFormat* format : Formats()) {
        if (format->Type == type) {
            return format;
        }
    }
    return nullptr;
}

const TFormat* FormatForPath(const std::string& path)
{
    const std::string ext = UpperExtensionOf(path);
    for (const TFormat* format : Formats()) {
        for (const std::string& own : format->Extensions) {
            if (own == ext) {
                return format;
            }
        }
    }
    return nullptr;
}

bool IsSupportedExt(const std::string& upperExt)
{
    for (const TFormat* format : Formats()) {
        for (const std::string& own : format->Extensions) {
            if (own == upperExt) {
                return true;
            }
        }
    }
    return false;
}

bool HasSupportedExt(const std::string& path)
{
    return IsSupportedExt(UpperExtensionOf(path));
}

TFoundKind FindOutputKind(const std::string& name)
{
    for (const TFormat* format : Formats()) {
        for (const TOutputKind& kind : format->OutputKinds) {
            if (name == kind.Name) {
                return { format, &kind };
            }
        }
    }
    return {};
}

TFoundKind OutputKindOf(FileType type, TCompression compression)
{
    const TFormat* format = FormatOf(type);
    if (format) {
        for (const TOutputKind& kind : format->OutputKinds) {
            if (kind.Compression == compression) {
                return { format, &kind };
            }
        }
    }
    return {};
}

std::vector<std::string> OutputKindNames()
{
    std::vector<std::string> names;
    for (const TFormat* format : Formats()) {
        for (const TOutputKind& kind : format->OutputKinds) {
            names.emplace_back(kind.Name);
        }
    }
    return names;
}

uint8_t OutputChannelsOf(const TFormat& format, uint8_t inputChannels, const TWriteOptions& options)
{
    return format.OutputChannels ? format.OutputChannels(inputChannels, options)
                                 : format.OutChannels;
}

bool UsesLargeLayout(const TFormat& format, uint32_t width, uint32_t height, uint8_t bytesPerPixel,
    const TWriteOptions& options)
{
    return format.NeedsLargeLayout
        && format.NeedsLargeLayout(width, height, bytesPerPixel, options);
}

std::string OutputStem(
    const std::string& path, const TFormat& format, uint64_t width, uint64_t height)
{
    return format.SizeInName ? path + RawSizeSuffix(width, height) : path;
}

std::string CompleteOutputName(const std::string& stem, const TFormat& format, uint32_t width,
    uint32_t height, uint8_t bits, uint8_t inputChannels, const TWriteOptions& options)
{
    const uint8_t channels = OutputChannelsOf(format, inputChannels, options);
    const auto bytesPerPixel = static_cast<uint8_t>(channels * (bits == 16 ? 2 : 1));
    const bool large = UsesLargeLayout(format, width, height, bytesPerPixel, options);
    return stem + (large ? format.LargeExtension : format.Extension);
}
