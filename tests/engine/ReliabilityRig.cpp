// The small jobs of the reliability tests, their clean reference runs and the outcome check.
#include "ReliabilityRig.h"

#include <algorithm>
#include <cerrno>
#include <filesystem>

#include "engine/EngineTexts.h"
#include "engine/TavmorUtils.h"
#include "support/TileFixtures.h"

namespace Reliability {

namespace {

using TestImages::PatternImage;
using TestImages::ReadBytes;
using TestImages::TTempDir;

bool StartsWith(const std::string& text, const std::string& prefix)
{
    return text.compare(0, prefix.size(), prefix) == 0;
}

/// The texts (exact, or prefixes ending in a space or "=") right for a fault of this kind.
std::vector<std::string> AllowedTexts(TOperation operation, TFaultKind fault)
{
    std::vector<std::string> read;
    std::vector<std::string> write;
    switch (operation) {
    case TOperation::Copy:
        read = { "Read file error", "Error opening input file" };
        write = { "Write to file error", "There is not enough space on the destination directory" };
        break;
    case TOperation::Split:
        read = { "Input file read error", "File not found or bad file!",
            "Error opening input file" };
        write = { "Write to file error", "Cant't create file ",
            "There is not enough space on the destination directory" };
        break;
    case TOperation::Merge:
        read = { "Tile X=" };
        write = { "Write to file error", "Cannot create the file ",
            "There is not enough space on the destination directory" };
        break;
    }
    switch (fault) {
    case TFaultKind::Read:
        return read;
    case TFaultKind::Write:
    case TFaultKind::Sync:
    case TFaultKind::Commit:
    case TFaultKind::DiskFull:
        return write;
    case TFaultKind::Open:
    case TFaultKind::Close:
        read.insert(read.end(), write.begin(), write.end());
        return read;
    case TFaultKind::None:
    case TFaultKind::Abort:
        break;
    }
    return {};
}

bool IsAllowed(const std::string& text, const std::vector<std::string>& allowed)
{
    return std::any_of(allowed.begin(), allowed.end(), [&](const std::string& a) {
        const bool prefix = !a.empty() && (a.back() == ' ' || a.back() == '=');
        return prefix ? StartsWith(text, a) && text.size() > a.size() : text == a;
    });
}

std::string RawName(const std::string& base, uint32_t width, uint32_t height)
{
    return base + "_" + std::to_string(width) + "X" + std::to_string(height) + ".raw";
}

} // namespace

TJobRig::TJobRig(const TJob& job)
    : FJob(job)
{
    const TestImages::TPixels image = PatternImage(
        job.Width, job.Height, job.Bits, UpperExtensionOf(job.InputName) == ".KRO" ? 4 : 3);
    std::string inputName = job.InputName;
    if (UpperExtensionOf(inputName) == ".RAW") {
        inputName = RawName(BaseNameOf(inputName), job.Width, job.Height);
    }
    const std::string input = FIn.File(inputName);
    EXPECT_TRUE(TileFixtures::WriteImageFile(input, image)) << input;
    if (job.Operation == TOperation::Merge) {
        TTavmor splitter;
        EXPECT_TRUE(TileFixtures::ProbeInto(splitter, input));
        splitter.OutInfo.ImageType = job.TileKind;
        splitter.SplitImage(job.TileWidth, job.TileHeight, FTiles, FIn.Path(), "");
        EXPECT_FALSE(splitter.Abort);
        std::filesystem::remove(input);
        FInputs = FTiles;
        FCountX = (job.Width + job.TileWidth - 1) / job.TileWidth;
        FCountY = (job.Height + job.TileHeight - 1) / job.TileHeight;
    } else {
        FInputs = { input };
    }
    for (const std::string& path : FInputs) {
        FInputBytes.push_back(ReadBytes(path));
    }
    FClean = Run();
    EXPECT_FALSE(FClean.Aborted) << job.Name;
    EXPECT_FALSE(FClean.Outputs.empty()) << job.Name;
}

TRunOutcome TJobRig::Run(TIoSeam* seam, const std::function<void(TTavmor&)>& prepare,
    const std::string& outFolder, const TFiles& existing)
{
    TTempDir scratch;
    const std::string out = outFolder.empty() ? scratch.Path() : outFolder;
    for (const auto& [name, bytes] : existing) {
        EXPECT_TRUE(TestImages::WriteBytes(out + "/" + name, bytes)) << name;
    }
    TTavmor engine;
    TRecordingDialogs dialogs;
    dialogs.DefaultAnswer = true;
    TEngineRecorder recorder;
    engine.Dialogs = &dialogs;
    recorder.Attach(engine);
    TRunOutcome outcome;
    if (FJob.Operation != TOperation::Merge) {
        EXPECT_TRUE(TileFixtures::ProbeInto(engine, FInputs.front()));
    }
    engine.OutInfo.ImageType = FJob.OutKind;
    engine.Lzw = FJob.Lzw;
    engine.Abort = false;
    if (prepare) {
        prepare(engine);
    }
    SetIoSeam(seam);
    switch (FJob.Operation) {
    case TOperation::Copy:
        engine.CopyRegion(0, 0, FJob.Width, FJob.Height, out, "");
        break;
    case TOperation::Split:
        engine.SplitImage(FJob.TileWidth, FJob.TileHeight, outcome.List, out, "");
        break;
    case TOperation::Merge:
        engine.MergeTiles(FCountX, FCountY, FTiles, out, "");
        break;
    }
    SetIoSeam(nullptr);
    outcome.Aborted = engine.Abort;
    outcome.Errors = recorder.Errors;
    outcome.Dialogs = dialogs.All;
    outcome.ShowCount = recorder.ShowCount;
    outcome.HideCount = recorder.HideCount;
    for (std::string& path : outcome.List) {
        path = FileNameOf(path);
    }
    std::error_code ec;
    for (const auto& entry : std::filesystem::directory_iterator(out, ec)) {
        outcome.Outputs[entry.path().filename().string()] = ReadBytes(entry.path().string());
    }
    return outcome;
}

TFiles TJobRig::OldOutputs() const
{
    TFiles old;
    for (const auto& [name, bytes] : FClean.Outputs) {
        old[name] = { 'o', 'l', 'd', static_cast<uint8_t>(bytes.size() & 0xFF) };
    }
    return old;
}

void TJobRig::ExpectSound(
    const TRunOutcome& outcome, TFaultKind fault, const TFiles& existing) const
{
    EXPECT_LE(outcome.ShowCount, 1);
    EXPECT_EQ(outcome.HideCount, outcome.ShowCount) << "show and hide come in pairs";
    if (!outcome.Aborted) {
        // The fault did no harm (a short transfer was completed, a failed close of the input
        // lost nothing): then the result must be exactly the clean one.
        EXPECT_TRUE(outcome.Errors.empty()) << outcome.Errors.front();
        EXPECT_TRUE(outcome.Outputs == FClean.Outputs) << "a success with other bytes";
        EXPECT_EQ(outcome.List, FClean.List);
        return;
    }
    EXPECT_NE(fault, TFaultKind::None) << "a clean run aborted";
    if (fault == TFaultKind::Abort) {
        EXPECT_TRUE(outcome.Errors.empty());
        EXPECT_TRUE(outcome.Dialogs.empty());
    } else {
        const std::vector<std::string> allowed = AllowedTexts(FJob.Operation, fault);
        // At most the report of the failed step and the operation's own.
        EXPECT_LE(outcome.Errors.size(), 2u);
        const size_t questions = static_cast<size_t>(
            std::count(outcome.Dialogs.begin(), outcome.Dialogs.end(), EngineText::OutputExists));
        EXPECT_FALSE(outcome.Errors.empty() && outcome.Dialogs.size() == questions)
            << "a silent failure";
        for (const std::string& text : outcome.Errors) {
            EXPECT_TRUE(IsAllowed(text, allowed)) << "unexpected text: " << text;
        }
        // A merge probes its tiles itself: a fault there shows the probe's own message.
        const bool probes = FJob.Operation == TOperation::Merge
            && (fault == TFaultKind::Open || fault == TFaultKind::Read);
        for (const std::string& text : outcome.Dialogs) {
            // Over existing outputs the overwrite question comes first, answered Yes.
            const bool question = !existing.empty() && text == EngineText::OutputExists;
            EXPECT_TRUE(probes || question || IsAllowed(text, allowed))
                << "unexpected message: " << text;
        }
    }
    // Whatever failed, the folder holds what it held before, byte for byte: no output of the
    // run, no part of one, no temporary; a split no tile at all.
    EXPECT_TRUE(outcome.Outputs == existing) << "the output folder changed";
    for (const auto& [name, bytes] : outcome.Outputs) {
        const auto before = existing.find(name);
        EXPECT_TRUE(before != existing.end() && before->second == bytes) << name;
    }
    EXPECT_TRUE(outcome.List.empty());
}

void TJobRig::ExpectInputUntouched() const
{
    for (size_t i = 0; i < FInputs.size(); ++i) {
        EXPECT_TRUE(ReadBytes(FInputs[i]) == FInputBytes[i]) << "input changed: " << FInputs[i];
    }
}

std::vector<TJob> SmallJobs(uint32_t h)
{
    // 5 pixels wide: lines not a multiple of 2, 4 or 8 bytes; splits of 2 x 2 make three
    // columns (the last one narrower) and h / 2 bands.
    return {
        { "copy tif to lzw tif", TOperation::Copy, "in.tif", 5, h, 8, FileType::TIF, true },
        { "copy 16-bit tif to raw", TOperation::Copy, "in.tif", 5, h, 16, FileType::RAW },
        { "copy kro to tif", TOperation::Copy, "in.kro", 5, h, 8, FileType::TIF },
        { "copy raw to kro", TOperation::Copy, "in.raw", 5, h, 16, FileType::KRO },
        { "split tif into tif tiles", TOperation::Split, "in.tif", 5, h, 8, FileType::TIF, false, 2,
            2 },
        { "split raw into kro tiles", TOperation::Split, "in.raw", 5, h, 16, FileType::KRO, false,
            2, 2 },
        { "split kro into raw tiles", TOperation::Split, "in.kro", 5, h, 8, FileType::RAW, false, 2,
            2 },
        { "merge raw tiles into tif", TOperation::Merge, "in.raw", 5, h, 8, FileType::TIF, false, 2,
            2, FileType::RAW },
        { "merge tif tiles into kro", TOperation::Merge, "in.tif", 5, h, 16, FileType::KRO, false,
            2, 2, FileType::TIF },
        { "merge kro tiles into lzw tif", TOperation::Merge, "in.kro", 5, h, 8, FileType::TIF, true,
            2, 2, FileType::KRO },
    };
}

} // namespace Reliability
