// Region copy end to end: every input kind into every output kind, crops, abort, read and
// write failures, overwriting and the refusal to overwrite the input.
#include <cstdint>
#include <filesystem>
#include <string>
#include <unistd.h>
#include <vector>

#include <gtest/gtest.h>

#include "engine/EngineTexts.h"
#include "engine/TavmorManager.h"
#include "support/EngineRecorder.h"
#include "support/FaultSeam.h"
#include "support/RecordingDialogs.h"
#include "support/TestImages.h"

using namespace TestImages;

namespace {

enum class TInputKind : uint8_t { Tiff, Kro, Raw };

struct TInputCase {
    const char* name;
    TInputKind kind;
    TTiffOptions tiff;
};

const TInputCase kInputs[] = {
    { "tif strips", TInputKind::Tiff, {} },
    { "tif lzw strips of 3", TInputKind::Tiff, { .Compression = 5, .RowsPerStrip = 3 } },
    { "tif deflate strips of 4", TInputKind::Tiff, { .Compression = 8, .RowsPerStrip = 4 } },
    { "tif big-endian", TInputKind::Tiff, { .BigEndian = true } },
    { "bigtiff input", TInputKind::Tiff, { .BigTiff = true } },
    { "tif tiled", TInputKind::Tiff, { .Kind = TTiffKind::Tiled } },
    { "tif tiled lzw", TInputKind::Tiff, { .Kind = TTiffKind::Tiled, .Compression = 5 } },
    { "tif planar", TInputKind::Tiff, { .Kind = TTiffKind::Planar } },
    { "tif planar lzw strips of 5", TInputKind::Tiff,
        { .Kind = TTiffKind::Planar, .Compression = 5, .RowsPerStrip = 5 } },
    { "tif planar tiled", TInputKind::Tiff, { .Kind = TTiffKind::PlanarTiled } },
    { "kro", TInputKind::Kro, {} },
    { "raw", TInputKind::Raw, {} },
};

struct TOutputCase {
    const char* name;
    FileType type;
    bool lzw;
    uint8_t channels;
};

const TOutputCase kOutputs[] = {
    { "tif", FileType::TIF, false, 3 },
    { "tif-lzw", FileType::TIF, true, 3 },
    { "raw", FileType::RAW, false, 3 },
    { "kro", FileType::KRO, false, 4 },
};

/// Writes the pattern as an input of the given kind into folder; returns its path.
std::string WriteInput(const TTempDir& folder, const TInputCase& input, const TPixels& image)
{
    switch (input.kind) {
    case TInputKind::Tiff: {
        const std::string path = folder.File("in.tif");
        EXPECT_TRUE(WriteTiff(path, image, input.tiff));
        return path;
    }
    case TInputKind::Kro: {
        const std::string path = folder.File("in.kro");
        EXPECT_TRUE(WriteKro(path, image));
        return path;
    }
    case TInputKind::Raw: {
        const std::string path = folder.File(
            "in_" + std::to_string(image.Width) + "X" + std::to_string(image.Height) + ".raw");
        EXPECT_TRUE(WriteRaw(path, image));
        return path;
    }
    }
    return {};
}

/// The name CopyRegion gives the output of input base "in".
std::string OutputName(FileType type, uint32_t width, uint32_t height)
{
    switch (type) {
    case FileType::TIF:
        return "in.tif";
    case FileType::RAW:
        return "in_" + std::to_string(width) + "X" + std::to_string(height) + ".raw";
    case FileType::KRO:
        return "in.kro";
    case FileType::NV:
        break;
    }
    return {};
}

/// An engine with recording dialogs and hooks, its input probed.
struct TEngineRig {
    TTavmor Engine;
    TRecordingDialogs Dialogs;
    TEngineRecorder Hooks;

    explicit TEngineRig(const std::string& input)
    {
        Engine.Reset();
        Engine.Dialogs = &Dialogs;
        Hooks.Attach(Engine);
        Engine.InInfo.FileName = input;
        Engine.CheckFile(false);
    }
    void Copy(FileType type, bool lzw, const std::string& folder, int32_t x, int32_t y, uint32_t w,
        uint32_t h)
    {
        Engine.OutInfo.ImageType = type;
        Engine.Lzw = lzw;
        Engine.CopyRegion(x, y, w, h, folder, "");
    }
};

TEST(CopyRegion, ConvertsEveryInputKindIntoEveryOutputKindExactly)
{
    // 37 x 21: not a multiple of the 16-pixel tiles, of the strips, or of 2, 4 or 8.
    constexpr uint32_t kWidth = 37;
    constexpr uint32_t kHeight = 21;
    for (const TInputCase& input : kInputs) {
        for (uint8_t bits : { 8, 16 }) {
            for (uint8_t channels : { 3, 4 }) {
                if ((input.kind == TInputKind::Raw && channels != 3)
                    || (input.kind == TInputKind::Kro && channels != 4)) {
                    continue;
                }
                const TPixels image = PatternImage(kWidth, kHeight, bits, channels);
                TTempDir in;
                const std::string inPath = WriteInput(in, input, image);
                for (const TOutputCase& output : kOutputs) {
                    SCOPED_TRACE(std::string(input.name) + ", " + std::to_string(bits) + " bits, "
                        + std::to_string(channels) + " channels -> " + output.name);
                    TEngineRig rig(inPath);
                    ASSERT_TRUE(rig.Engine.InInfo.ImageIsOk);
                    TTempDir out;
                    rig.Copy(output.type, output.lzw, out.Path(), 0, 0, kWidth, kHeight);
                    EXPECT_FALSE(rig.Engine.Abort);
                    EXPECT_TRUE(rig.Hooks.Errors.empty());
                    EXPECT_TRUE(rig.Dialogs.All.empty());
                    const std::string name = OutputName(output.type, kWidth, kHeight);
                    ASSERT_EQ(out.Names(), std::vector<std::string> { name });
                    const auto written = ReadImage(out.File(name));
                    ASSERT_TRUE(written.has_value());
                    EXPECT_TRUE(SamePixels(WithChannels(image, output.channels), *written));
                }
            }
        }
    }
}

TEST(CopyRegion, ShortTransfersOfTheSystemLoseNothing)
{
    const TPixels image = PatternImage(23, 9, 16, 4);
    for (const TInputCase& input : kInputs) {
        if (input.kind == TInputKind::Raw) {
            continue; // 4 channels; RAW is covered by every output below
        }
        TTempDir in;
        const std::string inPath = WriteInput(in, input, image);
        for (const TOutputCase& output : kOutputs) {
            SCOPED_TRACE(std::string(input.name) + " -> " + output.name);
            TEngineRig rig(inPath);
            ASSERT_TRUE(rig.Engine.InInfo.ImageIsOk);
            TTempDir out;
            TFaultSeam seam;
            seam.ShortTransfers = true;
            {
                TSeamInstaller installed(seam);
                rig.Copy(output.type, output.lzw, out.Path(), 0, 0, 23, 9);
            }
            ASSERT_FALSE(rig.Engine.Abort);
            const auto written = ReadImage(out.File(OutputName(output.type, 23, 9)));
            ASSERT_TRUE(written.has_value());
            EXPECT_TRUE(SamePixels(WithChannels(image, output.channels), *written));
        }
    }
}

TEST(CopyRegion, KroOfSixteenBitTiffConvertsBackToTheSameSampleBytes)
{
    const TPixels image = PatternImage(5, 3, 16, 3);
    TTempDir first;
    ASSERT_TRUE(WriteTiff(first.File("in.tif"), image));
    TTempDir second;
    {
        TEngineRig rig(first.File("in.tif"));
        rig.Copy(FileType::KRO, false, second.Path(), 0, 0, 5, 3);
        ASSERT_FALSE(rig.Engine.Abort);
    }
    // The KRO holds big-endian samples and an opaque alpha of 65535.
    const std::vector<uint8_t> kro = ReadBytes(second.File("in.kro"));
    ASSERT_EQ(kro.size(), 20u + 5 * 3 * 8);
    EXPECT_EQ(kro[20], image.At(0, 0, 0) >> 8);
    EXPECT_EQ(kro[21], image.At(0, 0, 0) & 0xFF);
    EXPECT_EQ(kro[26], 0xFF);
    EXPECT_EQ(kro[27], 0xFF);
    TTempDir third;
    TEngineRig back(second.File("in.kro"));
    back.Copy(FileType::TIF, false, third.Path(), 0, 0, 5, 3);
    ASSERT_FALSE(back.Engine.Abort);
    const auto again = ReadImage(third.File("in.tif"));
    ASSERT_TRUE(again.has_value());
    EXPECT_TRUE(SamePixels(image, *again));
}

struct TCropCase {
    const char* name;
    TInputKind kind;
    int32_t x;
    int32_t y;
    uint32_t width;
    uint32_t height;
};

TEST(CopyRegion, CropsTheRectangleAndCountsTheStatusDown)
{
    const TCropCase cases[] = {
        { "tif, no skipping", TInputKind::Tiff, 3, 0, 5, 4 },
        { "tif read by number", TInputKind::Tiff, 2, 6, 7, 3 },
        { "kro skips lines", TInputKind::Kro, 1, 5, 8, 4 },
        { "raw skips lines", TInputKind::Raw, 0, 7, 11, 2 },
        { "last column and row", TInputKind::Raw, 10, 9, 1, 1 },
    };
    for (const TCropCase& c : cases) {
        SCOPED_TRACE(c.name);
        const TPixels image = PatternImage(11, 10, 8, c.kind == TInputKind::Kro ? 4 : 3);
        TTempDir in;
        const std::string inPath = WriteInput(in, { c.name, c.kind, {} }, image);
        TEngineRig rig(inPath);
        TTempDir out;
        rig.Copy(FileType::RAW, false, out.Path(), c.x, c.y, c.width, c.height);
        ASSERT_FALSE(rig.Engine.Abort);
        const std::string name = OutputName(FileType::RAW, c.width, c.height);
        ASSERT_EQ(out.Names(), std::vector<std::string> { name });
        const auto written = ReadImage(out.File(name));
        ASSERT_TRUE(written.has_value());
        const TPixels expected =
            WithChannels(CropOf(image, uint32_t(c.x), uint32_t(c.y), c.width, c.height), 3);
        EXPECT_TRUE(SamePixels(expected, *written));

        std::vector<std::string> statuses { "" };
        if (c.kind != TInputKind::Tiff) {
            for (int32_t i = c.y; i >= 1; --i) {
                statuses.push_back("Skipping lines... (" + std::to_string(i) + ")");
            }
        }
        for (uint32_t i = c.height; i >= 1; --i) {
            statuses.push_back("Saving lines... (" + std::to_string(i) + ")");
        }
        EXPECT_EQ(rig.Hooks.Statuses, statuses);
        EXPECT_EQ(rig.Hooks.ShowMax, c.y + int32_t(c.height));
        EXPECT_EQ(rig.Hooks.ShowCount, 1);
        EXPECT_EQ(rig.Hooks.HideCount, 1);
    }
}

TEST(CopyRegion, ProgressCountsInputLinesEverySeventhAndEveryFiftiethWhileSkipping)
{
    const TPixels image = PatternImage(2, 120, 8, 3);
    TTempDir in;
    ASSERT_TRUE(WriteRaw(in.File("p_2X120.raw"), image));
    TEngineRig rig(in.File("p_2X120.raw"));
    TTempDir out;
    rig.Copy(FileType::KRO, false, out.Path(), 0, 101, 2, 19);
    ASSERT_FALSE(rig.Engine.Abort);
    EXPECT_EQ(rig.Hooks.Positions, (std::vector<int32_t> { 0, 50, 100, 105, 112, 119 }));
}

TEST(CopyRegion, AbortInTheMiddleLeavesNoOutput)
{
    for (const TOutputCase& output : kOutputs) {
        SCOPED_TRACE(output.name);
        TTempDir in;
        ASSERT_TRUE(WriteTiff(in.File("in.tif"), PatternImage(9, 12, 8, 3)));
        TEngineRig rig(in.File("in.tif"));
        rig.Hooks.AbortAtStatus = 5;
        TTempDir out;
        rig.Copy(output.type, output.lzw, out.Path(), 0, 0, 9, 12);
        EXPECT_TRUE(rig.Engine.Abort);
        EXPECT_TRUE(out.Names().empty());
        EXPECT_TRUE(rig.Hooks.Errors.empty());
        EXPECT_EQ(rig.Hooks.Statuses.size(), 6u); // the clearing text and five lines
        EXPECT_EQ(rig.Hooks.ShowCount, 1);
        EXPECT_EQ(rig.Hooks.HideCount, 1);
    }
}

TEST(CopyRegion, WriteFailureReportsAndLeavesNoOutput)
{
    struct TWriteFault {
        const char* name;
        FileType type;
        uint32_t width; ///< wide RAW lines pass the output buffer, so a line write fails
        int failAt;
    };
    const TWriteFault cases[] = {
        { "tif, a strip write", FileType::TIF, 9, 3 },
        { "tif, the last write (the directory at close)", FileType::TIF, 9, -1 },
        { "raw, the flush at close", FileType::RAW, 9, 1 },
        { "raw, a line larger than the buffer", FileType::RAW, 400000, 2 },
        { "kro, the flush at close", FileType::KRO, 9, 1 },
    };
    for (const TWriteFault& c : cases) {
        SCOPED_TRACE(c.name);
        TTempDir in;
        ASSERT_TRUE(WriteRaw(
            in.File("in_" + std::to_string(c.width) + "X4.raw"), PatternImage(c.width, 4, 8, 3)));
        TEngineRig rig(in.File("in_" + std::to_string(c.width) + "X4.raw"));
        ASSERT_TRUE(rig.Engine.InInfo.ImageIsOk);
        TTempDir out;
        int failAt = c.failAt;
        if (failAt < 0) {
            // Count the writes of a clean run first.
            TFaultSeam counting;
            TTempDir scratch;
            TSeamInstaller installed(counting);
            rig.Copy(c.type, false, scratch.Path(), 0, 0, c.width, 4);
            ASSERT_FALSE(rig.Engine.Abort);
            failAt = counting.Writes;
            rig.Hooks = TEngineRecorder {}; // the hooks still lead to it
        }
        TFaultSeam seam;
        seam.FailWriteAt = failAt;
        seam.FailFollowing = true;
        seam.Error = ENOSPC;
        {
            TSeamInstaller installed(seam);
            rig.Copy(c.type, false, out.Path(), 0, 0, c.width, 4);
        }
        EXPECT_GE(seam.Writes, failAt);
        EXPECT_TRUE(rig.Engine.Abort);
        EXPECT_EQ(rig.Hooks.Errors, std::vector<std::string> { "Write to file error" });
        EXPECT_TRUE(out.Names().empty());
        EXPECT_EQ(rig.Hooks.HideCount, 1);
    }
}

TEST(CopyRegion, FailedCloseOfTheOutputIsAWriteError)
{
    TTempDir in;
    ASSERT_TRUE(WriteRaw(in.File("in_4X4.raw"), PatternImage(4, 4, 8, 3)));
    TEngineRig rig(in.File("in_4X4.raw"));
    TTempDir out;
    TFaultSeam seam;
    seam.FailCloseAt = 1; // the input stays open until the end: the first close is the output's
    {
        TSeamInstaller installed(seam);
        rig.Copy(FileType::TIF, false, out.Path(), 0, 0, 4, 4);
    }
    EXPECT_TRUE(rig.Engine.Abort);
    EXPECT_EQ(rig.Hooks.Errors, std::vector<std::string> { "Write to file error" });
    EXPECT_TRUE(out.Names().empty());
}

TEST(CopyRegion, ShortOrFailedReadsAreReadErrors)
{
    struct TReadFault {
        const char* name;
        uint32_t width;
        uint64_t keepBytes; ///< the KRO is cut to this many bytes (0 keeps it whole)
        int failOpenAt; ///< or the n-th open fails
        int failReadAt; ///< or the n-th read fails
        int32_t y;
        const char* error;
    };
    // Lines of 5 pixels are 20 bytes; lines of 100,000 pixels (400,000 bytes) outgrow the
    // 1 MiB read buffer, so its second fill comes during line 2.
    const TReadFault cases[] = {
        { "kro cut inside line 4", 5, 20 + 3 * 20 + 11, 0, 0, 0, "Read file error" },
        { "kro cut inside line 2 while skipping", 5, 20 + 1 * 20 + 11, 0, 0, 4, "Read file error" },
        { "input cannot be opened", 5, 0, 1, 0, 0, "Read file error" },
        { "input cannot be opened, skipping", 5, 0, 1, 0, 2, "Read file error" },
        { "header cannot be read again", 5, 0, 0, 1, 0, "Error opening input file" },
        { "failed read", 100000, 0, 0, 2, 0, "Read file error" },
        { "failed read while skipping", 100000, 0, 0, 2, 3, "Read file error" },
    };
    for (const TReadFault& c : cases) {
        SCOPED_TRACE(c.name);
        TTempDir in;
        ASSERT_TRUE(WriteKro(in.File("in.kro"), PatternImage(c.width, 6, 8, 4)));
        if (c.keepBytes > 0) {
            std::filesystem::resize_file(in.File("in.kro"), c.keepBytes);
        }
        TEngineRig rig(in.File("in.kro"));
        ASSERT_TRUE(rig.Engine.InInfo.ImageIsOk);
        TTempDir out;
        TFaultSeam seam;
        seam.FailOpenAt = c.failOpenAt;
        seam.FailReadAt = c.failReadAt;
        {
            TSeamInstaller installed(seam);
            rig.Copy(FileType::RAW, false, out.Path(), 0, c.y, c.width, 6 - uint32_t(c.y));
        }
        EXPECT_TRUE(rig.Engine.Abort);
        EXPECT_EQ(rig.Hooks.Errors, std::vector<std::string> { c.error });
        EXPECT_TRUE(out.Names().empty());
        EXPECT_EQ(rig.Hooks.HideCount, rig.Hooks.ShowCount);
    }
}

TEST(CopyRegion, FailedTiffReadIsAReadError)
{
    for (const TTiffOptions& options :
        { TTiffOptions {}, TTiffOptions { .Kind = TTiffKind::Tiled, .Compression = 5 } }) {
        TTempDir in;
        ASSERT_TRUE(WriteTiff(in.File("in.tif"), PatternImage(20, 40, 8, 3), options));
        TEngineRig rig(in.File("in.tif"));
        int reads = 0;
        {
            // The reads of a clean run; the last of them carries pixel data.
            TFaultSeam counting;
            TTempDir scratch;
            TSeamInstaller installed(counting);
            rig.Copy(FileType::RAW, false, scratch.Path(), 0, 0, 20, 40);
            ASSERT_FALSE(rig.Engine.Abort);
            reads = counting.Reads;
        }
        rig.Hooks = TEngineRecorder {};
        TTempDir out;
        TFaultSeam seam;
        seam.FailReadAt = reads;
        {
            TSeamInstaller installed(seam);
            rig.Copy(FileType::RAW, false, out.Path(), 0, 0, 20, 40);
        }
        EXPECT_TRUE(rig.Engine.Abort);
        EXPECT_EQ(rig.Hooks.Errors, std::vector<std::string> { "Read file error" });
        EXPECT_TRUE(out.Names().empty());
        EXPECT_EQ(rig.Hooks.HideCount, 1);
    }
}

TEST(CopyRegion, SmallTruncatedKroIsAReadError)
{
    TTempDir in;
    std::vector<uint8_t> bytes = KroHeader(3, 2, 8, 4);
    bytes.resize(20 + 12 + 7); // one line and a part of the second
    ASSERT_TRUE(WriteBytes(in.File("short.kro"), bytes));
    TEngineRig rig(in.File("short.kro"));
    ASSERT_TRUE(rig.Engine.InInfo.ImageIsOk);
    TTempDir out;
    rig.Copy(FileType::TIF, false, out.Path(), 0, 0, 3, 2);
    EXPECT_TRUE(rig.Engine.Abort);
    EXPECT_EQ(rig.Hooks.Errors, std::vector<std::string> { "Read file error" });
    EXPECT_TRUE(out.Names().empty());
}

TEST(CopyRegion, RefusesMissingOrInvalidInputAndRectanglesOutside)
{
    TTempDir in;
    ASSERT_TRUE(WriteTiff(in.File("in.tif"), PatternImage(4, 4, 8, 3)));
    {
        TEngineRig rig(in.File("in.tif"));
        std::filesystem::remove(in.File("in.tif"));
        rig.Copy(FileType::RAW, false, in.Path(), 0, 0, 4, 4);
        EXPECT_TRUE(rig.Engine.Abort);
        EXPECT_EQ(rig.Hooks.Errors, std::vector<std::string> { "File not found" });
        EXPECT_EQ(rig.Hooks.ShowCount, 0);
        EXPECT_EQ(rig.Hooks.HideCount, 0);
    }
    ASSERT_TRUE(WriteTiff(in.File("in.tif"), PatternImage(4, 4, 8, 3)));
    struct TRect {
        int32_t x, y;
        uint32_t w, h;
    };
    for (const TRect r : { TRect { 1, 0, 4, 4 }, TRect { 0, 1, 4, 4 }, TRect { -1, 0, 2, 2 },
             TRect { 0, 0, 0, 4 } }) {
        TEngineRig rig(in.File("in.tif"));
        TTempDir out;
        rig.Copy(FileType::RAW, false, out.Path(), r.x, r.y, r.w, r.h);
        EXPECT_TRUE(rig.Engine.Abort);
        EXPECT_EQ(
            rig.Hooks.Errors, std::vector<std::string> { "The region lies outside the image" });
        EXPECT_TRUE(out.Names().empty());
    }
}

TEST(CopyRegion, RefusesToOverwriteTheInputUnderAnyName)
{
    TTempDir in;
    ASSERT_TRUE(WriteTiff(in.File("in.tif"), PatternImage(4, 4, 8, 3)));
    const std::vector<uint8_t> before = ReadBytes(in.File("in.tif"));
    TTempDir links;
    std::filesystem::create_symlink(in.File("in.tif"), links.File("in.tif"));
    std::filesystem::create_directory(in.File("sub"));
    TTempDir hard;
    std::filesystem::create_hard_link(in.File("in.tif"), hard.File("in.tif"));
    struct TSameFolder {
        const char* name;
        std::string inputName; ///< how the input is named
        std::string folder; ///< where the output goes
    };
    const TSameFolder cases[] = {
        { "same path", in.File("in.tif"), in.Path() },
        { "through ..", in.File("in.tif"), in.Path() + "sub/../" },
        { "input named through a link", links.File("in.tif"), in.Path() },
        { "output through a link", in.File("in.tif"), links.Path() },
        { "output is a hard link of the input", in.File("in.tif"), hard.Path() },
    };
    for (const TSameFolder& c : cases) {
        SCOPED_TRACE(c.name);
        TEngineRig rig(c.inputName);
        ASSERT_TRUE(rig.Engine.InInfo.ImageIsOk);
        rig.Copy(FileType::TIF, false, c.folder, 0, 0, 4, 4);
        EXPECT_TRUE(rig.Engine.Abort);
        EXPECT_EQ(
            rig.Dialogs.ErrorDialogs, std::vector<std::string> { "Cannot overwrite input file" });
        EXPECT_TRUE(rig.Dialogs.Questions.empty());
        EXPECT_EQ(rig.Hooks.ShowCount, 0);
        EXPECT_EQ(ReadBytes(in.File("in.tif")), before);
    }
    // A relative path to the input from the current folder.
    const auto saved = std::filesystem::current_path();
    std::filesystem::current_path(in.Path());
    {
        TEngineRig rig("in.tif");
        rig.Copy(FileType::TIF, false, in.Path(), 0, 0, 4, 4);
        EXPECT_EQ(
            rig.Dialogs.ErrorDialogs, std::vector<std::string> { "Cannot overwrite input file" });
    }
    std::filesystem::current_path(saved);
    EXPECT_EQ(ReadBytes(in.File("in.tif")), before);
}

TEST(CopyRegion, AsksBeforeReplacingAnExistingOutput)
{
    for (const bool yes : { false, true }) {
        SCOPED_TRACE(yes ? "yes" : "no");
        TTempDir in;
        ASSERT_TRUE(WriteKro(in.File("in.kro"), PatternImage(3, 2, 8, 4)));
        TTempDir out;
        const std::vector<uint8_t> old = { 'o', 'l', 'd' };
        ASSERT_TRUE(WriteBytes(out.File("in.tif"), old));
        TEngineRig rig(in.File("in.kro"));
        rig.Dialogs.YesNoAnswers = { yes };
        rig.Copy(FileType::TIF, false, out.Path(), 0, 0, 3, 2);
        EXPECT_EQ(rig.Dialogs.Questions,
            std::vector<std::string> { "Output file exists. Do you want to overwrite it?" });
        EXPECT_EQ(rig.Engine.Abort.load(), !yes);
        EXPECT_TRUE(rig.Hooks.Errors.empty());
        EXPECT_EQ(out.Names(), std::vector<std::string> { "in.tif" });
        if (yes) {
            const auto written = ReadImage(out.File("in.tif"));
            ASSERT_TRUE(written.has_value());
            EXPECT_TRUE(SamePixels(WithChannels(PatternImage(3, 2, 8, 4), 3), *written));
        } else {
            EXPECT_EQ(ReadBytes(out.File("in.tif")), old);
            EXPECT_EQ(rig.Hooks.ShowCount, 0);
        }
    }
}

TEST(CopyRegion, RefusedForSpaceKeepsTheOldOutput)
{
    // A KRO header claiming 100,000 x 100,000,000 pixels: tens of terabytes of output, more
    // than any test machine has free, while the input itself is a few bytes.
    TTempDir in;
    ASSERT_TRUE(WriteBytes(in.File("huge.kro"), KroHeader(100000, 100000000, 8, 4)));
    TTempDir out;
    const std::vector<uint8_t> old = { 'o', 'l', 'd' };
    ASSERT_TRUE(WriteBytes(out.File("huge.tif"), old));
    ASSERT_TRUE(WriteBytes(out.File("huge.big.tif"), old));
    TEngineRig rig(in.File("huge.kro"));
    ASSERT_TRUE(rig.Engine.InInfo.ImageIsOk);
    rig.Dialogs.DefaultAnswer = true;
    rig.Copy(FileType::TIF, false, out.Path(), 0, 0, 100000, 100000000);
    EXPECT_TRUE(rig.Engine.Abort);
    EXPECT_EQ(rig.Dialogs.Questions.size(), 1u);
    EXPECT_EQ(rig.Hooks.Errors,
        std::vector<std::string> { "There is not enough space on the destination directory" });
    EXPECT_EQ(ReadBytes(out.File("huge.big.tif")), old);
    EXPECT_EQ(ReadBytes(out.File("huge.tif")), old);
}

TEST(CopyRegion, RunsSilentlyWithoutHooksOrDialogs)
{
    TTempDir in;
    ASSERT_TRUE(WriteTiff(in.File("in.tif"), PatternImage(6, 5, 16, 4)));
    TTavmor engine;
    engine.InInfo.FileName = in.File("in.tif");
    engine.CheckFile(true);
    ASSERT_TRUE(engine.InInfo.ImageIsOk);
    engine.OutInfo.ImageType = FileType::KRO;
    TTempDir out;
    engine.CopyRegion(0, 0, 6, 5, out.Path(), "");
    EXPECT_FALSE(engine.Abort);
    EXPECT_EQ(out.Names(), std::vector<std::string> { "in.kro" });
    EXPECT_FALSE(engine.InOpen);
    EXPECT_FALSE(engine.OutOpen);
    EXPECT_EQ(engine.InInfo.ScanLine, nullptr);
    EXPECT_EQ(engine.OutInfo.ScanLine, nullptr);
}

} // namespace
