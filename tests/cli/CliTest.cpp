// The `tavmor` binary end to end: exit statuses, the exact texts on stderr, the answers to
// the overwrite and RAW questions, the info output and the stop signals.
#include <algorithm>
#include <chrono>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "cli/TavmorProcess.h"
#include "support/TestImages.h"

namespace {

using namespace TestImages;

const std::string kDone = "Operation completed successfully\n";
const std::string kAborted = "Operation aborted\n";
const std::string kOverwrite = "Output file exists. Do you want to overwrite it?\n";

/// A folder with a 7 x 5 8-bit RGB TIFF "photo.tif" in it.
class CliTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        Image = PatternImage(7, 5, 8, 3);
        ASSERT_TRUE(WriteTiff(Dir.File("photo.tif"), Image));
        Photo = Dir.File("photo.tif");
    }

    TTempDir Dir;
    TPixels Image;
    std::string Photo;
};

TEST_F(CliTest, ExitStatusAndMessages)
{
    std::filesystem::create_directory(Dir.File("out"));
    ASSERT_TRUE(WriteBytes(Dir.File("notes.jpg"), { 1, 2, 3 }));
    struct Case {
        const char* name;
        std::vector<std::string> args;
        int exitCode;
        std::string err; ///< exact stderr; "*" = any (usage texts belong to the parser)
    };
    const std::string out = Dir.File("out");
    const Case cases[] = {
        { "convert", { "convert", Photo, "--format", "kro", "--out", out }, 0, kDone },
        { "quiet", { "convert", Photo, "--format", "raw", "--out", out, "--quiet" }, 0, "" },
        { "missing_input", { "convert", Dir.File("none.tif"), "--out", out }, 1,
            "No such file: " + Dir.File("none.tif") + "\n" },
        { "unsupported_type", { "convert", Dir.File("notes.jpg"), "--out", out }, 1,
            "Then file type is invalid\n" },
        { "cannot_overwrite_input", { "convert", Photo }, 1,
            "Cannot overwrite input file\n" + kAborted },
        { "missing_output_folder", { "convert", Photo, "--out", Dir.File("gone") }, 1,
            "Output directory doesn't exists\n" },
        { "crop_refused",
            { "crop", Photo, "--x", "7", "--y", "0", "--width", "1", "--height", "1" }, 1,
            "X must >= 0 and < 7\n" + kAborted },
        { "crop_size_refused",
            { "crop", Photo, "--x", "3", "--y", "1", "--width", "4", "--height", "5", "--quiet" },
            1, "Height must > 0 and <= 4\n" },
        { "no_command", {}, 2, "*" },
        { "unknown_format", { "convert", Photo, "--format", "png" }, 2, "*" },
        { "yes_and_no", { "convert", Photo, "--yes", "--no" }, 2, "*" },
        { "crop_x_above_field",
            { "crop", Photo, "--x", "10000000", "--y", "0", "--width", "1", "--height", "1" }, 2,
            "*" },
        { "crop_width_zero",
            { "crop", Photo, "--x", "0", "--y", "0", "--width", "0", "--height", "1" }, 2, "*" },
        { "tile_below_field", { "split", Photo, "--tile-width", "255", "--tile-height", "256" }, 2,
            "*" },
        { "tile_above_field", { "split", Photo, "--tile-width", "256", "--tile-height", "1000001" },
            2, "*" },
        { "resize_below_field", { "resize", Photo, "--width", "511" }, 2, "*" },
        { "resize_above_field", { "resize", Photo, "--width", "1000000" }, 2, "*" },
        { "bad_raw_size", { "info", Photo, "--raw-size", "7by5" }, 2, "*" },
        { "bad_bits", { "info", Photo, "--bits", "12" }, 2, "*" },
        { "help", { "--help" }, 0, "" },
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const TTavmorResult r = RunTavmor(c.args);
        EXPECT_EQ(c.exitCode, r.ExitCode);
        if (c.err != "*") {
            EXPECT_EQ(c.err, r.Err);
        } else {
            EXPECT_FALSE(r.Err.empty());
        }
    }
    const auto kro = ReadImage(Dir.File("out/photo.kro"));
    ASSERT_TRUE(kro.has_value());
    EXPECT_TRUE(SamePixels(WithChannels(Image, 4), *kro));
    const auto raw = ReadImage(Dir.File("out/photo_7X5.raw"), 8);
    ASSERT_TRUE(raw.has_value());
    EXPECT_TRUE(SamePixels(Image, *raw));
    EXPECT_EQ((std::vector<std::string> { "notes.jpg", "out", "photo.tif" }), Dir.Names());
}

TEST_F(CliTest, OverwriteAnswers)
{
    struct Case {
        const char* name;
        std::vector<std::string> options;
        std::string stdinText;
        bool overwritten;
        std::string err;
    };
    const Case cases[] = {
        { "yes", { "--yes" }, "", true, kDone },
        { "no", { "--no" }, "y\n", false, kOverwrite + kAborted },
        { "stdin_not_a_terminal", {}, "y\n", false, kOverwrite + kAborted },
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::vector<uint8_t> old { 9, 9, 9 };
        ASSERT_TRUE(WriteBytes(Dir.File("photo.kro"), old));
        std::vector<std::string> args { "convert", Photo, "--format", "kro" };
        args.insert(args.end(), c.options.begin(), c.options.end());

        const TTavmorResult r = RunTavmor(args, c.stdinText);

        EXPECT_EQ(c.overwritten ? 0 : 1, r.ExitCode);
        EXPECT_EQ(c.err, r.Err);
        if (c.overwritten) {
            const auto kro = ReadImage(Dir.File("photo.kro"));
            ASSERT_TRUE(kro.has_value());
            EXPECT_TRUE(SamePixels(WithChannels(Image, 4), *kro));
        } else {
            EXPECT_EQ(old, ReadBytes(Dir.File("photo.kro")));
        }
    }
}

TEST_F(CliTest, OnATerminalTheUserIsAskedAndSeesProgress)
{
    const std::string question = "Output file exists. Do you want to overwrite it? [y/N] ";
    for (const bool yes : { false, true }) {
        SCOPED_TRACE(yes ? "y" : "n");
        const std::vector<uint8_t> old { 9, 9, 9 };
        ASSERT_TRUE(WriteBytes(Dir.File("photo.kro"), old));

        const TTavmorResult r = RunTavmorOnTerminal(
            { "convert", Photo, "--format", "kro" }, question, yes ? "y\n" : "n\n");

        EXPECT_EQ(yes ? 0 : 1, r.ExitCode);
        // The terminal echoes the answer and turns line ends into CR LF.
        EXPECT_EQ(0u, r.Out.find(question + (yes ? "y" : "n") + "\r\n")) << r.Out;
        if (yes) {
            // The bar is drawn, then taken off the line before the final status.
            const size_t bar = r.Out.find("%");
            const size_t erased = r.Out.rfind("\r\033[K");
            ASSERT_NE(std::string::npos, bar) << r.Out;
            ASSERT_NE(std::string::npos, erased) << r.Out;
            EXPECT_LT(bar, erased);
            EXPECT_EQ("\r\033[KOperation completed successfully\r\n", r.Out.substr(erased));
            const auto kro = ReadImage(Dir.File("photo.kro"));
            ASSERT_TRUE(kro.has_value());
            EXPECT_TRUE(SamePixels(WithChannels(Image, 4), *kro));
        } else {
            EXPECT_EQ(question + "n\r\nOperation aborted\r\n", r.Out);
            EXPECT_EQ(old, ReadBytes(Dir.File("photo.kro")));
        }
    }
    // --quiet keeps the terminal free of the bar.
    const TTavmorResult r =
        RunTavmorOnTerminal({ "convert", Photo, "--format", "raw", "--quiet", "--yes" });
    EXPECT_EQ(0, r.ExitCode);
    EXPECT_EQ("", r.Out);
}

TEST_F(CliTest, InfoPrintsTheInformationBox)
{
    const TPixels wide = PatternImage(1234, 2, 16, 4);
    ASSERT_TRUE(WriteTiff(Dir.File("wide.tif"), wide));
    const std::string wideSize = [&] {
        const std::string digits = std::to_string(std::filesystem::file_size(Dir.File("wide.tif")));
        std::string grouped;
        for (size_t i = 0; i < digits.size(); ++i) {
            if (i > 0 && (digits.size() - i) % 3 == 0) {
                grouped += '.';
            }
            grouped += digits[i];
        }
        return grouped;
    }();

    const TTavmorResult r = RunTavmor({ "info", Dir.File("wide.tif") });

    EXPECT_EQ(0, r.ExitCode);
    EXPECT_EQ("", r.Err);
    EXPECT_EQ(Dir.File("wide.tif") + "\n  File size: " + wideSize
            + "\n  Width:     1.234\n  Height:    2\n  Bits:      16\n  Channels:  4\n"
              "  Image:     2.47 Kilopixels\n",
        r.Out);
}

TEST_F(CliTest, InfoJsonOneArrayForSeveralFilesWithTheReasonOfTheInvalidOnes)
{
    const std::string odd = Dir.File("q\"uote\\back\tslash.tif");
    const std::string missing = Dir.File("none.raw");
    const std::string folder = Dir.File("folder.tif");
    std::filesystem::create_directory(folder);
    // A KRO whose header promises three lines where the file holds two.
    const std::string shortKro = Dir.File("short.kro");
    std::vector<uint8_t> kro = KroHeader(2, 3, 8, 4);
    kro.resize(kro.size() + 2 * 8, 7);
    ASSERT_TRUE(WriteBytes(shortKro, kro));
    const TTavmorResult r = RunTavmor({ "info", "--json", Photo, odd, missing, folder, shortKro });

    EXPECT_EQ(1, r.ExitCode);
    const std::string size = std::to_string(std::filesystem::file_size(Photo));
    const std::string dir = Dir.Path();
    EXPECT_EQ("[{\"file\":\"" + Photo + "\",\"type\":\"TIF\",\"file_size\":" + size
            + ",\"width\":7,\"height\":5,\"bits\":8,\"channels\":3,\"valid\":true},\n"
              "{\"file\":\""
            + dir
            + "q\\\"uote\\\\back\\tslash.tif\",\"type\":\"\",\"file_size\":-1,\"width\":0,"
              "\"height\":0,\"bits\":0,\"channels\":0,\"valid\":false,"
              "\"reason\":\"No such file or directory\"},\n"
              "{\"file\":\""
            + missing
            + "\",\"type\":\"\",\"file_size\":-1,\"width\":0,\"height\":0,\"bits\":0,"
              "\"channels\":0,\"valid\":false,\"reason\":\"No such file or directory\"},\n"
              "{\"file\":\""
            + folder
            + "\",\"type\":\"\",\"file_size\":0,\"width\":0,\"height\":0,\"bits\":0,"
              "\"channels\":0,\"valid\":false,\"reason\":\"not a regular file\"},\n"
              "{\"file\":\""
            + shortKro
            + "\",\"type\":\"KRO\",\"file_size\":36,\"width\":2,\"height\":3,\"bits\":8,"
              "\"channels\":4,\"valid\":false,\"reason\":\"the file holds 2 of its 3 lines\"}]\n",
        r.Out);
    EXPECT_EQ("No such file: " + odd + "\nNo such file: " + missing
            + "\nNot a regular file: " + folder + "\n",
        r.Err);

    // One file: one object, as before.
    const TTavmorResult one = RunTavmor({ "info", "--json", shortKro });
    EXPECT_EQ(1, one.ExitCode);
    EXPECT_EQ("{\"file\":\"" + shortKro
            + "\",\"type\":\"KRO\",\"file_size\":36,\"width\":2,\"height\":3,\"bits\":8,"
              "\"channels\":4,\"valid\":false,\"reason\":\"the file holds 2 of its 3 lines\"}\n",
        one.Out);
}

TEST_F(CliTest, RawSizeAndBitsAnswerTheRawQuestion)
{
    const TPixels scan = PatternImage(7, 5, 16, 3);
    const std::string path = Dir.File("scan.raw");
    ASSERT_TRUE(WriteRaw(path, scan));
    struct Case {
        const char* name;
        std::vector<std::string> options;
        int exitCode;
        std::string err;
        std::string out;
    };
    const std::string valid = "{\"file\":\"" + path
        + "\",\"type\":\"RAW\",\"file_size\":210,\"width\":7,\"height\":5,\"bits\":16,"
          "\"channels\":3,\"valid\":true}\n";
    const std::string mismatch = "The RAW size and bits do not match the size of 210 bytes\n";
    const Case cases[] = {
        { "size_and_bits", { "--raw-size", "7x5", "--bits", "16" }, 0, "", valid },
        { "size_alone_finds_the_depth", { "--raw-size", "7X5" }, 0, "", valid },
        { "nothing_given", {}, 1, "Invalid width, height or bits\n", "" },
        { "bits_alone", { "--bits", "16" }, 1, "Invalid width, height or bits\n", "" },
        { "size_not_in_file", { "--raw-size", "8x5", "--bits", "16" }, 1, mismatch, "" },
        { "depth_not_in_file", { "--raw-size", "7x5", "--bits", "8" }, 1, mismatch, "" },
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::vector<std::string> args { "info", "--json", path };
        args.insert(args.end(), c.options.begin(), c.options.end());
        const TTavmorResult r = RunTavmor(args);
        EXPECT_EQ(c.exitCode, r.ExitCode);
        EXPECT_EQ(c.err, r.Err);
        if (!c.out.empty()) {
            EXPECT_EQ(c.out, r.Out);
        }
    }

    const TTavmorResult r = RunTavmor(
        { "convert", path, "--raw-size", "7x5", "--bits", "16", "--format", "tif", "--quiet" });
    EXPECT_EQ(0, r.ExitCode);
    EXPECT_EQ("", r.Err);
    const auto tif = ReadImage(Dir.File("scan.tif"));
    ASSERT_TRUE(tif.has_value());
    EXPECT_TRUE(SamePixels(scan, *tif));
}

TEST_F(CliTest, SeveralFilesRunInOrderWorstStatusWins)
{
    const TPixels second = PatternImage(3, 4, 8, 3);
    ASSERT_TRUE(WriteTiff(Dir.File("second.tif"), second));
    const TTavmorResult r = RunTavmor(
        { "convert", Photo, Dir.File("none.tif"), Dir.File("second.tif"), "--format", "raw" });
    EXPECT_EQ(1, r.ExitCode);
    EXPECT_EQ(kDone + "No such file: " + Dir.File("none.tif") + "\n" + kDone, r.Err);
    EXPECT_EQ(
        (std::vector<std::string> { "photo.tif", "photo_7X5.raw", "second.tif", "second_3X4.raw" }),
        Dir.Names());
}

TEST_F(CliTest, BareNamesWorkInTheWorkingFolder)
{
    TTavmorResult r = RunTavmor({ "convert", "photo.tif", "--format", "raw" }, "", Dir.Path());
    EXPECT_EQ(0, r.ExitCode);
    EXPECT_EQ(kDone, r.Err);
    r = RunTavmor({ "split", "photo_7X5.raw", "--tile-width", "256", "--tile-height", "256",
                      "--format", "kro", "--quiet" },
        "", Dir.Path());
    EXPECT_EQ(0, r.ExitCode);
    EXPECT_EQ("", r.Err);
    r = RunTavmor({ "merge", "photo_7X5_x1y1.kro", "--format", "tif", "--out", ".", "--yes" }, "",
        Dir.Path());
    EXPECT_EQ(0, r.ExitCode);
    EXPECT_EQ(kDone, r.Err);
    EXPECT_EQ((std::vector<std::string> { "photo.tif", "photo_7X5.raw", "photo_7X5_x1y1.kro" }),
        Dir.Names());
    const auto merged = ReadImage(Dir.File("photo.tif"));
    ASSERT_TRUE(merged.has_value());
    EXPECT_TRUE(SamePixels(Image, *merged));
}

TEST_F(CliTest, CropWritesTheRectangle)
{
    const TTavmorResult r = RunTavmor({ "crop", Photo, "--x", "6", "--y", "4", "--width", "1",
        "--height", "1", "--format", "raw", "--quiet" });
    EXPECT_EQ(0, r.ExitCode);
    EXPECT_EQ("", r.Err);
    const auto raw = ReadImage(Dir.File("photo_1X1.raw"), 8);
    ASSERT_TRUE(raw.has_value());
    EXPECT_TRUE(SamePixels(CropOf(Image, 6, 4, 1, 1), *raw));
}

TEST_F(CliTest, SplitThenMergeGivesTheImageBack)
{
    const TPixels image = PatternImage(600, 300, 16, 3);
    const std::string source = Dir.File("pano.tif");
    ASSERT_TRUE(WriteTiff(source, image));
    std::filesystem::create_directory(Dir.File("tiles"));
    const std::string tiles = Dir.File("tiles");

    // 1000 is clamped to the image height, as the window's field is.
    TTavmorResult r = RunTavmor({ "split", source, "--tile-width", "256", "--tile-height", "1000",
        "--format", "raw", "--out", tiles });
    EXPECT_EQ(0, r.ExitCode);
    EXPECT_EQ(kDone, r.Err);
    const std::vector<std::string> names { "pano_256X300_x1y1.raw", "pano_256X300_x2y1.raw",
        "pano_88X300_x3y1.raw" };
    std::vector<std::string> found;
    for (const auto& entry : std::filesystem::directory_iterator(tiles)) {
        found.push_back(entry.path().filename().string());
    }
    std::sort(found.begin(), found.end());
    ASSERT_EQ(names, found);

    // Two of three tiles: the tile-set check's own message.
    r = RunTavmor({ "merge", Dir.File("tiles/" + names[0]), Dir.File("tiles/" + names[2]), "--out",
        Dir.Path() });
    EXPECT_EQ(1, r.ExitCode);
    EXPECT_EQ("The number of selected files must be : 3\n", r.Err);

    r = RunTavmor({ "merge", Dir.File("tiles/" + names[2]), Dir.File("tiles/" + names[0]),
        Dir.File("tiles/" + names[1]), "--format", "tif", "--out", Dir.File("merged") });
    EXPECT_EQ(1, r.ExitCode);
    EXPECT_EQ("Output directory doesn't exists\n", r.Err);

    // Without --out the result lands beside the first tile.
    r = RunTavmor({ "merge", Dir.File("tiles/" + names[2]), Dir.File("tiles/" + names[0]),
        Dir.File("tiles/" + names[1]), "--format", "tif" });
    EXPECT_EQ(0, r.ExitCode);
    EXPECT_EQ(kDone, r.Err);
    const auto merged = ReadImage(Dir.File("tiles/pano.tif"));
    ASSERT_TRUE(merged.has_value());
    EXPECT_TRUE(SamePixels(image, *merged));
}

TEST_F(CliTest, ResizeToAWidthKeepsTheAspectRatio)
{
    // The job wants one side of at least 10000 pixels.
    const std::string source = Dir.File("pano.tif");
    ASSERT_TRUE(WriteTiff(source, PatternImage(10000, 60, 8, 3)));
    for (const bool fast : { false, true }) {
        SCOPED_TRACE(fast ? "fast" : "slow");
        TTempDir out;
        std::vector<std::string> args { "resize", source, "--width", "1000", "--format", "tif",
            "--out", out.Path() };
        if (fast) {
            args.push_back("--fast");
        }
        const TTavmorResult r = RunTavmor(args);
        EXPECT_EQ(0, r.ExitCode);
        EXPECT_EQ(kDone, r.Err);
        // Only the result: the working folder and the intermediate files are gone.
        EXPECT_EQ(std::vector<std::string> { "pano.tif" }, out.Names());
        const auto resized = ReadImage(out.File("pano.tif"));
        ASSERT_TRUE(resized.has_value());
        // The last resampling decides the size: the requested width, give or take a pixel.
        EXPECT_NEAR(1000, static_cast<int>(resized->Width), 1);
        EXPECT_NEAR(6, static_cast<int>(resized->Height), 1);
    }

    const TTavmorResult small = RunTavmor({ "resize", Photo, "--width", "512", "--format", "kro" });
    EXPECT_EQ(1, small.ExitCode);
    EXPECT_EQ("Width and height of the input file must be > 10000\n" + kAborted, small.Err);
}

/// Bytes a running process has read so far (its /proc io record); 0 when it cannot be told.
uint64_t BytesRead(pid_t pid)
{
    std::ifstream io("/proc/" + std::to_string(pid) + "/io");
    std::string key;
    uint64_t value = 0;
    while (io >> key >> value) {
        if (key == "rchar:") {
            return value;
        }
    }
    return 0;
}

TEST(CliSignals, StopSignalAbortsAndLeavesNoOutput)
{
    for (const int signal : { SIGINT, SIGTERM, SIGHUP, SIGPIPE }) {
        SCOPED_TRACE(signal);
        TTempDir dir;
        // Large enough to be still running when the signal comes: written as plain bytes,
        // the pattern does not matter here.
        const uint32_t width = 3000;
        const uint32_t height = 6000;
        const std::string input =
            dir.File("big_" + std::to_string(width) + "X" + std::to_string(height) + ".raw");
        {
            std::ofstream out(input, std::ios::binary);
            std::vector<char> line(size_t { width } * 3);
            for (uint32_t y = 0; y < height; ++y) {
                for (size_t i = 0; i < line.size(); ++i) {
                    line[i] = static_cast<char>((i + y) * 31);
                }
                out.write(line.data(), static_cast<std::streamsize>(line.size()));
            }
        }
        TTavmorProcess process({ "convert", input, "--format", "tif-lzw" });
        // The output has no name until it is complete: wait until the run has read a part of
        // its input instead.
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
        while (BytesRead(process.Pid()) < (1 << 20) && process.Running()
            && std::chrono::steady_clock::now() < deadline) {
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        }
        if (!process.Running()) {
            GTEST_SKIP() << "the conversion ended before it could be interrupted";
        }
        kill(process.Pid(), signal);
        const TTavmorResult r = process.Wait();
        EXPECT_EQ(128 + signal, r.ExitCode);
        EXPECT_EQ(kAborted, r.Err);
        EXPECT_EQ((std::vector<std::string> { std::filesystem::path(input).filename().string() }),
            dir.Names());
    }
}

} // namespace
