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

uint64_t OutputPixelBytes(const TFormat& format, uint32_t width, uint32_t height, uint8_t bits)
{
    return uint64_t { width } * height * format.OutChannels * (bits == 16 ? 2u : 1u);
}

bool UsesLargeLayout(const TFormat& format, uint64_t pixelBytes, const TWriteOptions& options)
{
    return format.NeedsLargeLayout && format.NeedsLargeLayout(pixelBytes, options);
}

std::string OutputStem(
    const std::string& path, const TFormat& format, uint64_t width, uint64_t height)
{
    return format.SizeInName ? path + RawSizeSuffix(width, height) : path;
}

std::string CompleteOutputName(const std::string& stem, const TFormat& format, uint32_t width,
    uint32_t height, uint8_t bits, const TWriteOptions& options)
{
    const bool large =
        UsesLargeLayout(format, OutputPixelBytes(format, width, height, bits), options);
    return stem + (large ? format.LargeExtension : format.Extension);
}
