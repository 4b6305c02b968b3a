// TIFF output from the command line: every compression with and without the predictor, 8 and
// 16 bits, RGB and RGBA, read back sample for sample; the same bytes for any thread count; what
// --keep-alpha and --keep-metadata keep, and the notes when they were not given.
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "cli/CliExpect.h"
#include "cli/TavmorProcess.h"
#include "engine/TiffMetadata.h"
#include "support/CraftedFiles.h"
#include "support/TestImages.h"
#include "support/TiffOutputFixtures.h"

namespace {

using namespace TestImages;

struct TKindCase {
    const char* Kind;
    bool Predictor;
    uint8_t Bits;
    uint8_t Channels;
    const char* StripRows;
};

TEST(TiffOutput, EveryCompressionReadsBackSampleForSample)
{
    std::vector<TKindCase> cases;
    for (const char* kind : { "tif", "tif-lzw", "tif-deflate", "tif-zstd" }) {
        for (const bool predictor : { false, true }) {
            if (predictor && std::string(kind) == "tif") {
                continue;
            }
            for (const uint8_t bits : { 8, 16 }) {
                for (const uint8_t channels : { 3, 4 }) {
                    cases.push_back({ kind, predictor, bits, channels, channels == 4 ? "7" : "1" });
                }
            }
        }
    }
    TTempDir dir;
    for (const TKindCase& c : cases) {
        const std::string name = std::string(c.Kind) + (c.Predictor ? "-predictor-" : "-")
            + std::to_string(c.Bits) + "-" + std::to_string(c.Channels);
        SCOPED_TRACE(name);
        // 37 wide: lines not a multiple of 2, 4 or 8 bytes; 23 high: strips of 7 leave a rest.
        const TPixels image = PatternImage(37, 23, c.Bits, c.Channels);
        const std::string input = dir.File(name + "-in.tif");
        ASSERT_TRUE(WriteTiff(input, image));
        std::vector<std::string> args = { "convert", input, "--format", c.Kind, "-o",
            dir.File(name + ".tif"), "--strip-rows", c.StripRows, "--keep-alpha", "--quiet" };
        if (c.Predictor) {
            args.push_back("--predictor");
        }
        const TTavmorResult r = RunTavmor(args);
        ASSERT_EQ(0, r.ExitCode) << r.Err;
        const auto back = ReadImage(dir.File(name + ".tif"));
        ASSERT_TRUE(back.has_value());
        EXPECT_TRUE(SamePixels(image, *back));
        TTiffMetadata metadata;
        ASSERT_TRUE(ReadTiffMetadataFile(dir.File(name + ".tif"), metadata));
        EXPECT_EQ(c.Predictor ? 2 : 1, metadata.Predictor);
        EXPECT_EQ(c.Channels == 4 ? TAlphaKind::Unassociated : TAlphaKind::None, metadata.Alpha);
    }
}

TEST(TiffOutput, TheBytesDoNotDependOnTheThreads)
{
    TTempDir dir;
    const TPixels image = NoiseImage(301, 97, 16, 3);
    const std::string input = dir.File("in.tif");
    ASSERT_TRUE(WriteTiff(input, image));
    std::vector<uint8_t> first;
    for (const char* threads : { "1", "2", "3" }) {
        SCOPED_TRACE(threads);
        const std::string out = dir.File(std::string("t") + threads + ".tif");
        const TTavmorResult r = RunTavmor({ "convert", input, "--format", "tif-deflate",
            "--predictor", "--strip-rows", "4", "--threads", threads, "-o", out, "--quiet" });
        ASSERT_EQ(0, r.ExitCode) << r.Err;
        const std::vector<uint8_t> bytes = ReadBytes(out);
        if (first.empty()) {
            first = bytes;
        }
        EXPECT_TRUE(bytes == first) << "another number of threads gave other bytes";
    }
}

TEST(TiffOutput, MetadataAndAlphaAreKeptWhenAskedAndNotedWhenNot)
{
    TTempDir dir;
    const TPixels image = PatternImage(20, 12, 8, 4);
    TStripWrite write;
    write.Options.KeepAlpha = true;
    write.Options.KeepMetadata = true;
    write.Metadata.IccProfile = std::vector<uint8_t>(700, 0x5A);
    write.Metadata.Resolution = TTiffResolution { 300, 300, TResolutionUnit::Inch };
    write.Metadata.Orientation = 6;
    const std::string input = dir.File("photo.tif");
    ASSERT_TRUE(WriteWithStripWriter(input, image, write));

    struct Case {
        const char* Name;
        std::vector<std::string> Args;
        bool KeepsProfile;
        uint16_t Orientation;
        uint8_t Channels;
        std::string Notes;
    };
    const std::string alphaNote = About(input,
        "the alpha channel is not kept (--keep-alpha keeps "
        "it in TIFF output)");
    const std::string profileNote =
        About(input, "the ICC profile is not kept (--keep-metadata keeps it in TIFF output)");
    const std::vector<Case> cases = {
        { "convert keeps everything", { "convert", "--keep-alpha", "--keep-metadata" }, true, 6, 4,
            "" },
        // A part of the picture is no longer what the orientation turned.
        { "crop keeps the profile",
            { "crop", "--x", "1", "--y", "1", "--width", "10", "--height", "10", "--keep-alpha",
                "--keep-metadata" },
            true, 1, 4, "" },
        { "neither option", { "convert" }, false, 1, 3, alphaNote + profileNote },
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Name);
        std::vector<std::string> args = c.Args;
        args.insert(args.begin() + 1, input);
        const std::string out = dir.File("out.tif");
        args.insert(args.end(), { "-o", out, "--yes" });
        const TTavmorResult r = RunTavmor(args);
        ASSERT_EQ(0, r.ExitCode) << r.Err;
        EXPECT_EQ(c.Notes + Done(out), Plain(r.Err));
        TTiffMetadata metadata;
        ASSERT_TRUE(ReadTiffMetadataFile(out, metadata));
        EXPECT_EQ(c.KeepsProfile, metadata.IccProfile == write.Metadata.IccProfile);
        const TTiffResolution dpi240 { 240, 240, TResolutionUnit::Inch };
        EXPECT_EQ(c.KeepsProfile ? write.Metadata.Resolution : dpi240, metadata.Resolution);
        EXPECT_EQ(c.Orientation, metadata.Orientation);
        const auto back = ReadImage(out);
        ASSERT_TRUE(back.has_value());
        EXPECT_EQ(c.Channels, back->Channels);
    }
}

TEST(TiffOutput, SamplesBeyondTheFourthAreSkippedWithANote)
{
    TTempDir dir;
    const CraftedFiles::TCrafted& crafted = CraftedFiles::Named("rgb-and-two-extra-samples");
    const std::string input = dir.File(crafted.FileName);
    ASSERT_TRUE(WriteBytes(input, crafted.Bytes));
    ASSERT_TRUE(crafted.Image.has_value());
    const std::string out = dir.File("out.tif");
    const TTavmorResult r =
        RunTavmor({ "convert", input, "--format", "tif", "--keep-alpha", "-o", out });
    ASSERT_EQ(0, r.ExitCode) << r.Err;
    EXPECT_EQ(
        About(input, "extra samples beyond the fourth are skipped: 1") + Done(out), Plain(r.Err));
    const auto back = ReadImage(out);
    ASSERT_TRUE(back.has_value());
    EXPECT_TRUE(SamePixels(*crafted.Image, *back));
}

TEST(TiffOutput, OptionsThatCannotApplyAreUsageErrors)
{
    TTempDir dir;
    const std::string input = dir.File("in.tif");
    ASSERT_TRUE(WriteTiff(input, PatternImage(4, 4, 8, 3)));
    const struct {
        std::vector<std::string> Args;
        std::string Err;
    } cases[] = {
        { { "--format", "tif", "--predictor" },
            "tavmor: the predictor needs a compression (tif-lzw, tif-deflate or tif-zstd)\n" },
        { { "--format", "tif-lzw", "--level", "5" },
            "tavmor: only tif-deflate (1 to 12) and tif-zstd (1 to 19) take a level\n" },
        { { "--format", "tif-deflate", "--level", "13" },
            "tavmor: the level is outside the compression's range (tif-deflate 1 to 12, tif-zstd 1 "
            "to 19)\n" },
        { { "--format", "raw", "--strip-rows", "8" },
            "tavmor: --predictor, --level and --strip-rows apply to TIFF output (--format "
            "tif...)\n" },
    };
    for (const auto& c : cases) {
        std::vector<std::string> args = { "convert", input, "--out", dir.File("out") };
        args.insert(args.end(), c.Args.begin(), c.Args.end());
        const TTavmorResult r = RunTavmor(args);
        EXPECT_EQ(2, r.ExitCode);
        EXPECT_EQ(c.Err, r.Err);
    }
}

} // namespace
