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

#include "cli/CliExpect.h"
#include "cli/CliFiles.h"
#include "cli/TavmorProcess.h"
#include "support/TestImages.h"

namespace {

using namespace TestImages;

/// The keys `info --json` adds for a file that holds nothing beside its pixels.
const std::string kNothing = ",\"compression\":\"none\",\"predictor\":1,\"alpha\":\"none\","
                             "\"icc_profile_bytes\":0,\"resolution\":null,\"orientation\":1}";

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
        { "convert", { "convert", Photo, "--format", "kro", "--out", out }, 0,
            Done(out + "/photo.kro") },
        { "quiet", { "convert", Photo, "--format", "raw", "--out", out, "--quiet" }, 0, "" },
        { "missing_input", { "convert", Dir.File("none.tif"), "--out", out }, 1,
            About(Dir.File("none.tif"), "No such file") },
        { "unsupported_type", { "convert", Dir.File("notes.jpg"), "--out", out }, 1,
            About(Dir.File("notes.jpg"), "Then file type is invalid") },
        { "cannot_overwrite_input", { "convert", Photo }, 1,
            About(
                Photo, "Cannot overwrite input file: write it elsewhere with --out DIR or -o PATH")
                + Aborted(Photo) },
        { "output_folder_is_a_file", { "convert", Photo, "--out", Dir.File("notes.jpg") }, 1,
            About(Dir.File("notes.jpg"),
                "Output directory doesn't exists: it is a file, not a folder") },
        { "missing_output_folder_is_made",
            { "convert", Photo, "--format", "raw", "--out", Dir.File("made/deeper") }, 0,
            About(Dir.File("made/deeper"), "created the folder")
                + Done(Dir.File("made/deeper") + "/photo_7X5.raw") },
        { "exact_output_name", { "convert", Photo, "-o", Dir.File("named.kro") }, 0,
            Done(Dir.File("named.kro")) },
        { "exact_name_needs_one_input", { "convert", Photo, Photo, "-o", Dir.File("x.kro") }, 2,
            "tavmor: -o names one output: give one input file\n" },
        { "exact_name_without_format", { "convert", Photo, "-o", Dir.File("x.png") }, 2,
            About(Dir.File("x.png"), "-o: the extension does not say the format; give --format") },
        { "unknown_command", { "foo" }, 2,
            "tavmor: unknown command 'foo'; the commands are: info, convert, crop, split, merge, "
            "resize, pyramid (tavmor --help tells more)\n" },
        { "crop_refused",
            { "crop", Photo, "--x", "7", "--y", "0", "--width", "1", "--height", "1" }, 1,
            About(Photo, "X must >= 0 and < 7") + Aborted(Photo) },
        { "crop_size_refused",
            { "crop", Photo, "--x", "3", "--y", "1", "--width", "4", "--height", "5", "--quiet" },
            1, About(Photo, "Height must > 0 and <= 4") },
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
            EXPECT_EQ(c.err, Plain(r.Err));
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
    EXPECT_EQ((std::vector<std::string> { "made", "named.kro", "notes.jpg", "out", "photo.tif" }),
        Dir.Names());
}

TEST_F(CliTest, TheFinalLineSaysWhatWasWritten)
{
    const TTavmorResult r =
        RunTavmor({ "convert", Photo, "--format", "kro", "--out", Dir.File("out") });
    ASSERT_EQ(0, r.ExitCode) << r.Err;
    const std::string size = std::to_string(std::filesystem::file_size(Dir.File("out/photo.kro")));
    const std::string line = r.Err.substr(r.Err.find("\n") + 1);
    const std::string expected = "tavmor: " + Dir.File("out/photo.kro")
        + ": Operation completed successfully (7 x 5, 8-bit, " + size + " bytes, ";
    EXPECT_EQ(0u, line.find(expected)) << line;
    EXPECT_EQ(" s)\n", line.substr(line.size() - 4)) << line;
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
        { "yes", { "--yes" }, "", true, Done(Dir.File("photo.kro")) },
        { "no", { "--no" }, "y\n", false,
            About(Dir.File("photo.kro"), kQuestion + " No") + Aborted(Photo) },
        // Nobody to ask: the name and the way to say Yes are given.
        { "stdin_not_a_terminal", {}, "y\n", false,
            About(Dir.File("photo.kro"), kQuestion + " No (answer with --yes to overwrite)")
                + Aborted(Photo) },
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::vector<uint8_t> old { 9, 9, 9 };
        ASSERT_TRUE(WriteBytes(Dir.File("photo.kro"), old));
        std::vector<std::string> args { "convert", Photo, "--format", "kro" };
        args.insert(args.end(), c.options.begin(), c.options.end());

        const TTavmorResult r = RunTavmor(args, c.stdinText);

        EXPECT_EQ(c.overwritten ? 0 : 1, r.ExitCode);
        EXPECT_EQ(c.err, Plain(r.Err));
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
    const std::string kro = Dir.File("photo.kro");
    const std::string question = "tavmor: " + kro + ": " + kQuestion + " [y/N] ";
    for (const bool yes : { false, true }) {
        SCOPED_TRACE(yes ? "y" : "n");
        const std::vector<uint8_t> old { 9, 9, 9 };
        ASSERT_TRUE(WriteBytes(kro, old));

        const TTavmorResult r = RunTavmorOnTerminal(
            { "convert", Photo, "--format", "kro" }, question, yes ? "y\n" : "n\n");

        EXPECT_EQ(yes ? 0 : 1, r.ExitCode);
        // The terminal echoes the answer and turns line ends into CR LF.
        EXPECT_EQ(0u, r.Out.find(question + (yes ? "y" : "n") + "\r\n")) << r.Out;
        if (yes) {
            // The progress line is drawn with the file's name, then taken off the line before
            // the final line.
            const size_t bar = r.Out.find("%  photo.tif  0:00");
            const size_t erased = r.Out.rfind("\r\033[K");
            ASSERT_NE(std::string::npos, bar) << r.Out;
            ASSERT_NE(std::string::npos, erased) << r.Out;
            EXPECT_LT(bar, erased);
            EXPECT_EQ("\r\033[K" + Done(kro).substr(0, Done(kro).size() - 1) + " (7 x 5, 8-bit, ",
                r.Out.substr(erased, 3 + Done(kro).size() - 1 + 17));
            const auto written = ReadImage(kro);
            ASSERT_TRUE(written.has_value());
            EXPECT_TRUE(SamePixels(WithChannels(Image, 4), *written));
        } else {
            EXPECT_EQ(question + "n\r\n" + "tavmor: " + Photo + ": Operation aborted\r\n", r.Out);
            EXPECT_EQ(old, ReadBytes(kro));
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
    const auto bytes = std::filesystem::file_size(Dir.File("wide.tif"));
    ASSERT_LT(bytes, 100000u);
    char size[32];
    std::snprintf(size, sizeof size, "%.1f kB", double(bytes) / 1000);

    const TTavmorResult r = RunTavmor({ "info", Dir.File("wide.tif") });

    EXPECT_EQ(0, r.ExitCode);
    EXPECT_EQ("", r.Err);
    // Plain digits: "1.234" would read as one and a bit to most users of a terminal.
    EXPECT_EQ(Dir.File("wide.tif") + "\n  File size:   " + std::to_string(bytes) + " bytes (" + size
            + ")\n  Width:       1234\n  Height:      2\n  Bits:        16\n  Channels:    4\n"
              "  Image:       2.47 Kilopixels\n  Compression: none\n  Alpha:       unassociated\n"
              "  ICC profile: none\n  Resolution:  none\n  Orientation: 1\n",
        r.Out);
}

TEST_F(CliTest, InfoJsonOneObjectForOneFileAnArrayForSeveral)
{
    const std::string odd = Dir.File("q\"uote\\back\tslash.tif");
    const std::string missing = Dir.File("none.raw");
    const std::string size = std::to_string(std::filesystem::file_size(Photo));
    const std::string photo = "{\"file\":\"" + Photo + "\",\"type\":\"TIF\",\"file_size\":" + size
        + ",\"width\":7,\"height\":5,\"bits\":8,\"channels\":3,\"valid\":true" + kNothing;

    TTavmorResult r = RunTavmor({ "info", "--json", Photo });
    EXPECT_EQ(0, r.ExitCode);
    EXPECT_EQ(photo + "\n", r.Out);

    // Invalid files say why: a missing file, a folder, a TIFF libtiff cannot open, and a KRO
    // whose header promises three lines where the file holds two (valid for the probe, but a
    // whole read would fail).
    const std::string folder = Dir.File("folder.tif");
    std::filesystem::create_directory(folder);
    const std::string text = Dir.File("text.tif");
    ASSERT_TRUE(WriteBytes(text, { 'J', 'u', 's', 't', ' ', 't', 'e', 'x', 't' }));
    const std::string shortKro = Dir.File("short.kro");
    std::vector<uint8_t> kro = KroHeader(2, 3, 8, 4);
    kro.resize(kro.size() + 2 * 8, 7);
    ASSERT_TRUE(WriteBytes(shortKro, kro));
    r = RunTavmor({ "info", "--json", Photo, odd, missing, folder, text, shortKro });
    EXPECT_EQ(1, r.ExitCode);
    const std::string dir = Dir.Path();
    const std::string none = "\"type\":\"\",\"file_size\":-1,\"width\":0,\"height\":0,"
                             "\"bits\":0,\"channels\":0,\"valid\":false,\"reason\":";
    const std::string badMagic = "Not a TIFF or MDI file, bad magic number 30026 (0x754a)";
    EXPECT_EQ("[" + photo + ",\n {\"file\":\"" + dir + "q\\\"uote\\\\back\\tslash.tif\"," + none
            + "\"No such file or directory\"" + kNothing + ",\n {\"file\":\"" + missing + "\","
            + none + "\"No such file or directory\"" + kNothing + ",\n {\"file\":\"" + folder
            + "\",\"type\":\"\",\"file_size\":0,\"width\":0,\"height\":0,\"bits\":0,"
              "\"channels\":0,\"valid\":false,\"reason\":\"not a regular file\""
            + kNothing + ",\n {\"file\":\"" + text
            + "\",\"type\":\"TIF\",\"file_size\":9,\"width\":0,\"height\":0,\"bits\":0,"
              "\"channels\":0,\"valid\":false,\"reason\":\"Height or Width = 0: "
            + badMagic + "\"" + kNothing + ",\n {\"file\":\"" + shortKro
            + "\",\"type\":\"KRO\",\"file_size\":36,\"width\":2,\"height\":3,\"bits\":8,"
              "\"channels\":4,\"valid\":false,\"reason\":\"Read file error: the file holds 2 of "
              "its 3 lines\",\"compression\":\"none\",\"predictor\":1,\"alpha\":"
              "\"unassociated\",\"icc_profile_bytes\":0,\"resolution\":null,\"orientation\":1}]\n",
        r.Out);
    EXPECT_EQ(About(odd, "No such file") + About(missing, "No such file")
            + About(folder, "not a regular file") + About(text, "Height or Width = 0: " + badMagic)
            + About(shortKro, "Read file error: the file holds 2 of its 3 lines"),
        r.Err);
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
          "\"channels\":3,\"valid\":true"
        + kNothing + "\n";
    const std::string mismatch =
        About(path, "The RAW size and bits do not match the size of 210 bytes");
    const std::string invalid =
        About(path, "Invalid width, height or bits: no size in the name (NAME_WIDTHxHEIGHT.raw)");
    const Case cases[] = {
        { "size_and_bits", { "--raw-size", "7x5", "--bits", "16" }, 0, "", valid },
        { "size_alone_finds_the_depth", { "--raw-size", "7X5" }, 0, "", valid },
        { "nothing_given", {}, 1, invalid, "" },
        { "bits_alone", { "--bits", "16" }, 1, invalid, "" },
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
    EXPECT_EQ(Done(Dir.File("photo_7X5.raw")) + About(Dir.File("none.tif"), "No such file")
            + Done(Dir.File("second_3X4.raw")),
        Plain(r.Err));
    EXPECT_EQ(
        (std::vector<std::string> { "photo.tif", "photo_7X5.raw", "second.tif", "second_3X4.raw" }),
        Dir.Names());
}

TEST_F(CliTest, BareNamesWorkInTheWorkingFolder)
{
    TTavmorResult r = RunTavmor({ "convert", "photo.tif", "--format", "raw" }, "", Dir.Path());
    EXPECT_EQ(0, r.ExitCode);
    EXPECT_EQ(Done("./photo_7X5.raw"), Plain(r.Err));
    r = RunTavmor({ "split", "photo_7X5.raw", "--tile-width", "256", "--tile-height", "256",
                      "--format", "kro", "--quiet" },
        "", Dir.Path());
    EXPECT_EQ(0, r.ExitCode);
    EXPECT_EQ("", r.Err);
    r = RunTavmor({ "merge", "photo_7X5_x1y1.kro", "--format", "tif", "--out", ".", "--yes" }, "",
        Dir.Path());
    EXPECT_EQ(0, r.ExitCode);
    EXPECT_EQ(Done("./photo.tif"), Plain(r.Err));
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
    EXPECT_EQ(Done(tiles + "/"), Plain(r.Err));
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
    EXPECT_EQ(
        About(Dir.File("tiles/" + names[0]), "The number of selected files must be : 3"), r.Err);

    // Without --out the result lands beside the first tile.
    r = RunTavmor({ "merge", Dir.File("tiles/" + names[2]), Dir.File("tiles/" + names[0]),
        Dir.File("tiles/" + names[1]), "--format", "tif" });
    EXPECT_EQ(0, r.ExitCode);
    EXPECT_EQ(Done(Dir.File("tiles/pano.tif")), Plain(r.Err));
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
        EXPECT_EQ(Done(out.File("pano.tif")), Plain(r.Err));
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
    EXPECT_EQ(About(Photo, "Width and height of the input file must be > 10000: 7 x 5 pixels")
            + Aborted(Photo),
        small.Err);
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
        // Large enough to be still running when the signal comes.
        const std::string input = WriteRawInput(dir, "big", 3000, 6000);
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
        EXPECT_EQ(Aborted(input), r.Err);
        EXPECT_EQ((std::vector<std::string> { std::filesystem::path(input).filename().string() }),
            dir.Names());
    }
}

} // namespace
