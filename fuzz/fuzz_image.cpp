// Fuzz target: an arbitrary file, kept in memory behind the I/O seam under each input
// extension, goes through the probe and the whole-read check and, when accepted, is read line by
// line, repacked and written into an arbitrary output kind, which is then read back. Any crash,
// sanitizer report or leak is a finding, and so is a broken promise:
// - a file whose every line was read must not have been called unreadable by the whole-read
//   check (the check and the readers judge strips and lengths alike);
// - the output, probed and read back, must hold exactly the lines written.
// Refusals and read errors are expected outcomes.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <string>
#include <vector>

#include "engine/EngineDialogs.h"
#include "engine/Formats.h"
#include "engine/ImageFiles.h"
#include "engine/ReadCheck.h"
#include "engine/Repack.h"
#include "engine/Streaming.h"
#include "engine/TavmorManager.h"
#include "fuzz/FuzzImageInput.h"
#include "fuzz/MemorySeam.h"

namespace {

// Images larger than this are probed and checked but not copied: a copy of them only moves
// more bytes of the same shape and would slow every run down without reaching new code.
constexpr uint64_t kMaxCopiedPixels = 1u << 12;

/// Stops the run with a message: libFuzzer keeps the input as a finding.
[[noreturn]] void Broken(const char* what, const std::string& detail)
{
    std::fprintf(stderr, "fuzz_image: %s (%s)\n", what, detail.c_str());
    std::abort();
}

TMemorySeam& Seam()
{
    static TMemorySeam* seam = [] {
        auto* s = new TMemorySeam();
        SetIoSeam(s);
        SilenceTiffLibrary();
        return s;
    }();
    return *seam;
}

std::string InputName(const FuzzImageInput::TOptions& options)
{
    using FuzzImageInput::TInKind;
    const std::string folder = TMemorySeam::kMemoryFolder;
    switch (options.In) {
    case TInKind::Tif:
        return folder + "in.tif";
    case TInKind::BigTif:
        return folder + "in.big.tif";
    case TInKind::Kro:
        return folder + "in.kro";
    case TInKind::Raw:
        break;
    }
    return folder + "in_" + std::to_string(options.RawWidth) + "X"
        + std::to_string(options.RawHeight) + ".raw";
}

/// Reads every line of the probed input, writes them repacked into an output of `format` in
/// memory and returns the lines written (empty when a line could not be read).
std::vector<std::vector<uint8_t>> Copy(
    TImageInput& in, const TFormat& format, const TWriteOptions& options, TFileInfo& out)
{
    const TFileInfo& from = in.Info();
    out = TFileInfo {};
    out.ImageType = format.Type;
    out.Width = from.Width;
    out.Height = from.Height;
    out.Bits = from.Bits;
    out.Channels = OutputChannelsOf(format, from.Channels, options);
    out.BytesPerPixel = static_cast<uint8_t>(out.Channels * (out.Bits / 8));
    out.IsLsb = format.OutIsLsb;
    out.ScanLineSize = out.Width * out.BytesPerPixel;
    const std::string stem = std::string(TMemorySeam::kMemoryFolder) + "out";
    out.FileName = CompleteOutputName(OutputStem(stem, format, out.Width, out.Height), format,
        out.Width, out.Height, out.Bits, from.Channels, options);
    std::vector<uint8_t> line(out.ScanLineSize);
    out.ScanLine = line.data();

    const int fd = IoSeam().Open(out.FileName.c_str(), O_CREAT | O_TRUNC | O_RDWR, 0644);
    auto writer = format.MakeWriter();
    TWriteOptions written = options;
    written.ForceBigTiff =
        UsesLargeLayout(format, out.Width, out.Height, out.BytesPerPixel, options);
    if (fd < 0 || !writer->Open(fd, out, written)) {
        Broken("an output in memory could not be opened", out.FileName);
    }
    std::vector<std::vector<uint8_t>> lines;
    for (uint32_t row = 0; row < from.Height; ++row) {
        if (!in.ReadWholeLine(row)) {
            lines.clear();
            break;
        }
        RepackLine(from, 0, out, 0, from.Width);
        if (writer->WriteLine(row, line.data()) != static_cast<int32_t>(out.ScanLineSize)) {
            Broken("a line could not be written to memory", out.FileName);
        }
        lines.push_back(line);
    }
    // An output missing lines is given up, as the engine gives it up; a whole one must finish.
    if (lines.empty()) {
        writer->Abandon();
    } else if (!writer->Finish()) {
        Broken("an output in memory could not be finished", out.FileName);
    }
    (void)IoSeam().Close(fd);
    out.ScanLine = nullptr;
    return lines;
}

/// Probes the output written and reads it back: it must hold exactly the lines written.
void CheckReadBack(const TFileInfo& written, const std::vector<std::vector<uint8_t>>& lines)
{
    TSilentDialogs dialogs;
    TFileInfo back;
    back.FileName = written.FileName;
    ProbeFile(back, dialogs, false);
    if (!back.ImageIsOk || back.Width != written.Width || back.Height != written.Height
        || back.Bits != written.Bits || back.Channels != written.Channels) {
        Broken("the output is not the image written", written.FileName);
    }
    std::string reason;
    if (!CheckWholeRead(back, reason)) {
        Broken("the output fails the whole-read check", reason);
    }
    TImageInput in;
    if (!in.Open(back)) {
        Broken("the output cannot be opened", in.ErrorReason());
    }
    for (uint32_t row = 0; row < back.Height; ++row) {
        if (!in.ReadWholeLine(row)) {
            Broken("a line of the output cannot be read", in.ErrorReason());
        }
        if (!std::equal(lines[row].begin(), lines[row].end(), in.Info().ScanLine)) {
            Broken("a line of the output differs from the line written", written.FileName);
        }
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    using namespace FuzzImageInput;
    if (size < kPrefixSize) {
        return 0;
    }
    const TOptions options = Decode(data);
    TMemorySeam& seam = Seam();
    seam.Clear();
    const std::string name = InputName(options);
    seam.Put(name, data + kPrefixSize, size - kPrefixSize);

    TSilentDialogs dialogs;
    TFileInfo info;
    info.FileName = name;
    ProbeFile(info, dialogs, false);
    std::string reason;
    const bool wholeReadable = CheckWholeRead(info, reason);
    if (!info.ImageIsOk || uint64_t(info.Width) * info.Height > kMaxCopiedPixels) {
        return 0;
    }
    static const FileType kOut[] = { FileType::TIF, FileType::TIF, FileType::RAW, FileType::KRO };
    const TFormat& format = *FormatOf(kOut[options.Out]);
    TWriteOptions writeOptions;
    static const TCompression kCoding[] = { TCompression::None, TCompression::Deflate,
        TCompression::Zstd, TCompression::Lzw };
    writeOptions.Compression =
        options.Coding == 0 && options.Out == 1 ? TCompression::Lzw : kCoding[options.Coding];
    writeOptions.Predictor = options.Coding == 3;
    writeOptions.RowsPerStrip = options.Coding == 0 ? 1 : 3;
    // One thread: a fuzz run must not start one per core for every input.
    writeOptions.Threads = 1;
    writeOptions.KeepAlpha = options.KeepAlpha;
    writeOptions.ForceBigTiff = options.ForceBigTiff;
    const uint64_t lineBytes = uint64_t { info.Width } * info.BytesPerPixel;
    if (format.OptionsProblem && format.OptionsProblem(writeOptions, info.Bits, lineBytes)) {
        return 0;
    }

    TImageInput in;
    if (!in.Open(info)) {
        return 0;
    }
    TFileInfo written;
    const std::vector<std::vector<uint8_t>> lines = Copy(in, format, writeOptions, written);
    in.Close();
    if (lines.empty()) {
        return 0;
    }
    if (!wholeReadable) {
        Broken("every line was read from a file the whole-read check refused", reason);
    }
    CheckReadBack(written, lines);
    return 0;
}
