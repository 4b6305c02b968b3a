// The reason beside each refusal: what stands at an input's path, why a probe refuses a file,
// the system's words for a failed read, write or create, and a damaged input or tile in a
// split or a merge. The texts themselves stay the engine's own.
#include <cerrno>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <string>
#include <sys/stat.h>
#include <utility>
#include <vector>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "engine/InputCheck.h"
#include "engine/TavmorManager.h"
#include "support/CraftedFiles.h"
#include "support/EngineRig.h"
#include "support/FaultSeam.h"
#include "support/TestImages.h"
#include "support/TiffCraft.h"

namespace {

using namespace TestImages;
using ::testing::HasSubstr;

TEST(RefusalReason, WhatStandsAtAnInputsPathIsTold)
{
    TTempDir dir;
    ASSERT_TRUE(WriteBytes(dir.File("photo.tif"), { 1, 2, 3 }));
    std::filesystem::create_directory(dir.File("folder.tif"));
    ASSERT_EQ(::mkfifo(dir.File("fifo.raw").c_str(), 0600), 0);
    std::filesystem::create_symlink(dir.File("photo.tif"), dir.File("link.tif"));
    std::filesystem::create_symlink(dir.File("gone.tif"), dir.File("dangling.tif"));
    const std::string missing = std::strerror(ENOENT);
    const std::pair<std::string, std::string> cases[] = {
        { dir.File("photo.tif"), "" },
        { dir.File("link.tif"), "" },
        { dir.File("none.tif"), missing },
        { dir.File("dangling.tif"), missing },
        { "", missing },
        { dir.File("folder.tif"), kNotARegularFile },
        { dir.File("fifo.raw"), kNotARegularFile },
        { "/dev/null", kNotARegularFile },
    };
    for (const auto& [path, problem] : cases) {
        SCOPED_TRACE(path);
        EXPECT_EQ(InputFileProblem(path), problem);
    }
}

TEST(RefusalReason, AProbeSaysWhatItRefuses)
{
    using namespace TiffCraft;
    auto tiff = [](const TLayout& layout, void (*damage)(TTiffFile&)) {
        TTiffFile file = Build(layout, PatternSamples(layout));
        if (damage) {
            damage(file);
        }
        return file.Bytes();
    };
    const TLayout rgb { .Width = 3, .Height = 2 };
    std::vector<uint8_t> kro = KroHeader(3, 2, 8, 4);
    kro.resize(20 + 3 * 2 * 4);
    struct TProbeCase {
        const char* name;
        std::vector<uint8_t> bytes;
        std::string text;
        std::string reason;
    };
    const TProbeCase cases[] = {
        { "x.kro", { 'K', 'R', 'O', 1, 0, 0 }, "KRO Header error",
            "the file holds 6 of the header's 20 bytes" },
        { "y.kro", KroHeader(3, 2, 8, 4, 2), "KRO Header error",
            "no KRO signature or another version" },
        { "z.kro", KroHeader(3, 2, 12, 4), "The image must be 8 or 16 bits", "12 bits per sample" },
        { "w.kro", KroHeader(3, 2, 8, 3), "The number of color channels must be 4", "3 channels" },
        { "v.kro", KroHeader(0, 2, 8, 4), "Height or Width = 0", "width 0, height 2" },
        { "a.tif",
            tiff(rgb,
                [](TTiffFile& f) {
                    f.Set(kBitsPerSample, kShort, { 12, 12, 12 });
                }),
            "The image must be 8 or 16 bits", "BitsPerSample 12" },
        { "b.tif", tiff({ .Width = 3, .Height = 2, .Samples = 2 }, nullptr),
            "The number of color channels must be 3 or 4", "SamplesPerPixel 2" },
        { "c.tif",
            tiff(rgb,
                [](TTiffFile& f) {
                    f.Set(339, kShort, { 3, 3, 3 });
                }),
            "The TIFF samples must be unsigned integers", "SampleFormat 3" },
        { "d.tif", tiff(rgb, [](TTiffFile& f) { f.Set(kPhotometric, kShort, { 5 }); }),
            "The TIFF image must be RGB or RGBA", "PhotometricInterpretation 5" },
        { "e.tif", tiff(rgb, [](TTiffFile& f) { f.Set(kCompression, kShort, { 60000 }); }),
            "The TIFF compression method is not supported", "Compression 60000" },
        { "f.tif", tiff(rgb, [](TTiffFile& f) { f.Set(kImageWidth, kLong, { 100000001 }); }),
            "Image dimensions exceed internal limits",
            "100000001 x 2 pixels; each side may have at most 100000000" },
        { "photo.raw", std::vector<uint8_t>(18), "Invalid width, height or bits",
            "no size in the name (NAME_WIDTHxHEIGHT.raw)" },
        { "photo_3X2.raw", std::vector<uint8_t>(17), "Invalid width, height or bits",
            "3 x 2 pixels of 8 or 16 bits do not make 17 bytes" },
    };
    for (const TProbeCase& c : cases) {
        SCOPED_TRACE(c.name);
        TTempDir dir;
        ASSERT_TRUE(WriteBytes(dir.File(c.name), c.bytes));
        TRig rig;
        rig.Engine.InInfo.FileName = dir.File(c.name);
        rig.Engine.CheckFile(false);
        EXPECT_FALSE(rig.Engine.InInfo.ImageIsOk);
        EXPECT_EQ(rig.Texts(), std::vector<std::string> { c.text });
        EXPECT_EQ(rig.LastDetail(), std::make_pair(dir.File(c.name), c.reason));
    }
}

TEST(RefusalReason, SamplesBeyondTheFourthAreSkippedAndCounted)
{
    const std::pair<const char*, uint16_t> cases[] = {
        { "rgb-and-two-extra-samples", 1 },
        { "rgb-and-two-extra-samples-planar", 1 },
        { "well-formed-strips", 0 },
        { "associated-alpha-8", 0 },
    };
    for (const auto& [name, skipped] : cases) {
        SCOPED_TRACE(name);
        const CraftedFiles::TCrafted& crafted = CraftedFiles::Named(name);
        TTempDir dir;
        ASSERT_TRUE(WriteBytes(dir.File(crafted.FileName), crafted.Bytes));
        TRig rig;
        rig.Engine.InInfo.FileName = dir.File(crafted.FileName);
        rig.Engine.CheckFile(false);
        ASSERT_TRUE(rig.Engine.InInfo.ImageIsOk);
        EXPECT_EQ(rig.Engine.InInfo.SkippedSamples, skipped);
        EXPECT_EQ(rig.Engine.InInfo.Channels, crafted.Image->Channels);
        EXPECT_EQ(rig.Engine.InInfo.AssociatedAlpha, crafted.AssociatedAlpha);
        EXPECT_TRUE(rig.Dialogs.All.empty());
    }
}

TEST(RefusalReason, FailedReadsAndWritesGiveTheSystemsWords)
{
    struct TFaultCase {
        const char* name;
        TFaultKind kind;
        int error;
        FileType out;
        std::vector<std::string> texts;
        bool aboutOutput; ///< the reason names the output, else the input
    };
    const TFaultCase cases[] = {
        { "disk full", TFaultKind::Write, ENOSPC, FileType::RAW, { "Write to file error" }, true },
        { "quota", TFaultKind::Write, EDQUOT, FileType::TIF, { "Write to file error" }, true },
        { "read", TFaultKind::Read, EIO, FileType::KRO, { "Read file error" }, false },
        { "no temporary", TFaultKind::Open, EROFS, FileType::RAW, { "Write to file error" }, true },
    };
    for (const TFaultCase& c : cases) {
        SCOPED_TRACE(c.name);
        TTempDir in;
        TTempDir out;
        // A RAW input reads nothing before its first line.
        const std::string input = in.File("p_6X4.raw");
        ASSERT_TRUE(WriteRaw(input, PatternImage(6, 4, 8, 3)));
        TRig rig;
        rig.Engine.InInfo.FileName = input;
        rig.Engine.CheckFile(false);
        ASSERT_TRUE(rig.Engine.InInfo.ImageIsOk);
        rig.Engine.OutInfo.ImageType = c.out;
        TFaultSeam seam;
        // The input is opened first; the output's temporary second.
        seam.FailAt(c.kind, c.kind == TFaultKind::Open ? 2 : 1);
        seam.FailFollowing = true;
        seam.Error = c.error;
        {
            TSeamInstaller installed(seam);
            rig.Engine.CopyRegion(0, 0, 6, 4, out.Path(), "");
        }
        EXPECT_TRUE(rig.Engine.Abort);
        EXPECT_EQ(rig.Texts(), c.texts);
        const auto [file, reason] = rig.LastDetail();
        EXPECT_EQ(reason, std::strerror(c.error));
        EXPECT_THAT(file, HasSubstr(c.aboutOutput ? out.Path() : input));
        EXPECT_TRUE(out.Names().empty());
    }
}

TEST(RefusalReason, ASplitThatCannotCreateATileSaysWhy)
{
    TTempDir in;
    TTempDir out;
    ASSERT_TRUE(WriteTiff(in.File("p.tif"), PatternImage(6, 4, 8, 3)));
    TRig rig;
    rig.Engine.InInfo.FileName = in.File("p.tif");
    rig.Engine.CheckFile(false);
    ASSERT_TRUE(rig.Engine.InInfo.ImageIsOk);
    rig.Engine.OutInfo.ImageType = FileType::RAW;
    TFaultSeam seam;
    // The input's open first, then the first band's two tiles: the second cannot be created.
    seam.FailAt(TFaultKind::Open, 3);
    seam.Error = ENOSPC;
    std::vector<std::string> tiles;
    {
        TSeamInstaller installed(seam);
        rig.Engine.SplitImage(3, 2, tiles, out.Path(), "");
    }
    const std::string tile = out.File("p_3X2_x2y1.raw");
    EXPECT_EQ(rig.Texts(),
        (std::vector<std::string> { "Write to file error", "Cant't create file " + tile }));
    const std::pair<std::string, std::string> noted { tile, std::strerror(ENOSPC) };
    ASSERT_EQ(rig.Dialogs.Details.size(), 2u);
    EXPECT_EQ(rig.Dialogs.Details[0], noted);
    EXPECT_EQ(rig.Dialogs.Details[1], noted);
    EXPECT_TRUE(out.Names().empty());
    EXPECT_TRUE(tiles.empty());
}

TEST(RefusalReason, DamagedInputsOfSplitsAndTilesOfMergesSayWhy)
{
    const CraftedFiles::TCrafted& damaged = CraftedFiles::Named("planar-missing-strips");
    TTempDir in;
    ASSERT_TRUE(WriteBytes(in.File("p.tif"), damaged.Bytes));
    {
        TRig rig;
        rig.Engine.InInfo.FileName = in.File("p.tif");
        rig.Engine.CheckFile(false);
        ASSERT_TRUE(rig.Engine.InInfo.ImageIsOk);
        rig.Engine.OutInfo.ImageType = FileType::KRO;
        TTempDir out;
        std::vector<std::string> tiles;
        rig.Engine.SplitImage(4, 3, tiles, out.Path(), "");
        EXPECT_EQ(rig.Texts(), std::vector<std::string> { "Input file read error" });
        EXPECT_EQ(
            rig.LastDetail(), std::make_pair(in.File("p.tif"), std::string("strip 1 is missing")));
        EXPECT_TRUE(out.Names().empty());
    }
    {
        // The damaged file as the second tile of a row of two.
        TTempDir grid;
        const CraftedFiles::TCrafted& good = CraftedFiles::Named("well-formed-planar-strips");
        ASSERT_TRUE(WriteBytes(grid.File("q_8X6_x1y1.tif"), good.Bytes));
        ASSERT_TRUE(WriteBytes(grid.File("q_8X6_x2y1.tif"), damaged.Bytes));
        TRig rig;
        rig.Engine.OutInfo.ImageType = FileType::RAW;
        TTempDir out;
        rig.Engine.MergeTiles(
            2, 1, { grid.File("q_8X6_x1y1.tif"), grid.File("q_8X6_x2y1.tif") }, out.Path(), "");
        EXPECT_EQ(rig.Texts(), std::vector<std::string> { "Tile X=2 Y=1 read error" });
        EXPECT_EQ(rig.LastDetail(),
            std::make_pair(grid.File("q_8X6_x2y1.tif"), std::string("strip 1 is missing")));
        EXPECT_TRUE(out.Names().empty());
    }
}

} // namespace
