// `tavmor pyramid` end to end: names and final line, the refusals of settings that do not go
// together, the overwrite answers, the TIFF pages as vips reads them, and a stop signal.
#include <chrono>
#include <csignal>
#include <cstdio>
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
namespace fs = std::filesystem;

/// A folder with a 600 x 300 8-bit RGBA TIFF "photo.tif" and an output folder "out".
class PyramidCliTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(WriteTiff(Dir.File("photo.tif"), PatternImage(600, 300, 8, 4)));
        Photo = Dir.File("photo.tif");
        Out = Dir.File("out");
        fs::create_directory(Out);
    }

    std::vector<std::string> OutNames() const
    {
        std::vector<std::string> names;
        for (const auto& entry : fs::directory_iterator(Out)) {
            names.push_back(entry.path().filename().string());
        }
        std::sort(names.begin(), names.end());
        return names;
    }

    TTempDir Dir;
    std::string Photo;
    std::string Out;
};

TEST_F(PyramidCliTest, LayoutsNamesAndRefusals)
{
    struct Case {
        const char* name;
        std::vector<std::string> args;
        int exitCode;
        std::string err; ///< exact stderr; "*" = any (usage texts belong to the parser)
        std::vector<std::string> names; ///< in the output folder afterwards
    };
    const Case cases[] = {
        { "dzi", { "--quiet" }, 0, "", { "photo.dzi", "photo_files" } },
        { "iiif_named", { "--layout", "iiif", "-o", "pano" }, 0, Done(Out + "/pano"), { "pano" } },
        { "tiff_png", { "--layout", "tiff", "--suffix", ".png" }, 0, Done(Out + "/photo.tif"),
            { "photo.tif" } },
        { "webp_dzi", { "--suffix", ".webp", "--tile-size", "100", "--overlap", "0" }, 0,
            Done(Out + "/photo.dzi"), { "photo.dzi", "photo_files" } },
        { "tiff_webp", { "--layout", "tiff", "--suffix", ".webp" }, 2,
            "tavmor: The tiff layout takes .jpg or .png tiles\n", {} },
        { "tiff_tile_250", { "--layout", "tiff", "--tile-size", "250" }, 2,
            "tavmor: The tile size of the tiff layout must be a multiple of 16\n", {} },
        { "overlap_of_a_tile", { "--overlap", "254" }, 2,
            "tavmor: The overlap must be smaller than the tile size\n", {} },
        { "name_with_folder", { "-o", "a/b" }, 2,
            "tavmor: The output name must not be empty or hold a /\n", {} },
        { "background", { "--background", "1,2" }, 2, "*", {} },
        { "quality", { "--quality", "0" }, 2, "*", {} },
        { "tile_size", { "--tile-size", "8" }, 2, "*", {} },
        { "layout", { "--layout", "zoomify" }, 2, "*", {} },
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        fs::remove_all(Out);
        fs::create_directory(Out);
        std::vector<std::string> args { "pyramid", Photo, "--out", Out };
        args.insert(args.end(), c.args.begin(), c.args.end());
        const TTavmorResult r = RunTavmor(args);
        EXPECT_EQ(c.exitCode, r.ExitCode);
        if (c.err != "*") {
            EXPECT_EQ(c.err, Plain(r.Err));
        } else {
            EXPECT_FALSE(r.Err.empty());
        }
        EXPECT_EQ(c.names, OutNames());
    }
    const TTavmorResult two = RunTavmor({ "pyramid", Photo, Photo, "-o", "x", "--out", Out });
    EXPECT_EQ(2, two.ExitCode);
    EXPECT_EQ("tavmor: -o NAME takes one input file\n", two.Err);
    // A missing output folder is made, as for every command.
    const TTavmorResult missing = RunTavmor({ "pyramid", Photo, "--out", Dir.File("none") });
    EXPECT_EQ(0, missing.ExitCode);
    EXPECT_EQ(About(Dir.File("none"), "created the folder") + Done(Dir.File("none/photo.dzi")),
        Plain(missing.Err));
}

TEST_F(PyramidCliTest, OverwriteAnswers)
{
    ASSERT_EQ(0, RunTavmor({ "pyramid", Photo, "--out", Out, "--layout", "iiif" }).ExitCode);
    const std::string info = Dir.File("out/photo/info.json");
    const std::vector<uint8_t> before = ReadBytes(info);
    ASSERT_TRUE(WriteBytes(Dir.File("out/photo/mine.txt"), { 1 }));

    // Without a terminal, and with --no: the question, then the output as it was.
    for (const std::vector<std::string>& answer :
        { std::vector<std::string> {}, std::vector<std::string> { "--no" } }) {
        std::vector<std::string> args { "pyramid", Photo, "--out", Out, "--layout", "iiif" };
        args.insert(args.end(), answer.begin(), answer.end());
        const TTavmorResult r = RunTavmor(args, "y\n");
        EXPECT_EQ(1, r.ExitCode);
        const std::string no = answer.empty() ? " No (answer with --yes to overwrite)" : " No";
        EXPECT_EQ(About(Out + "/photo", kQuestion + no) + Aborted(Photo), r.Err);
        EXPECT_TRUE(fs::exists(Dir.File("out/photo/mine.txt")));
    }
    const TTavmorResult r =
        RunTavmor({ "pyramid", Photo, "--out", Out, "--layout", "iiif", "--yes", "--quiet" });
    EXPECT_EQ(0, r.ExitCode);
    EXPECT_EQ("", r.Err);
    EXPECT_FALSE(fs::exists(Dir.File("out/photo/mine.txt")));
    EXPECT_EQ(before, ReadBytes(info));
    EXPECT_EQ(std::vector<std::string> { "photo" }, OutNames());
}

TEST_F(PyramidCliTest, VipsReadsEveryTiffPage)
{
    if (std::system("command -v vipsheader >/dev/null 2>&1") != 0) {
        GTEST_SKIP() << "vipsheader is not installed (Debian package libvips-tools)";
    }
    for (const std::string suffix : { ".jpg", ".png" }) {
        SCOPED_TRACE(suffix);
        const TTavmorResult r = RunTavmor({ "pyramid", Photo, "--out", Out, "--layout", "tiff",
            "--tile-size", "128", "--suffix", suffix, "--yes", "--quiet" });
        ASSERT_EQ(0, r.ExitCode) << r.Err;
        // Halved until a page fits in one tile of 128: 150 x 75 does not, 75 x 38 does.
        const std::vector<std::pair<int, int>> pages { { 600, 300 }, { 300, 150 }, { 150, 75 },
            { 75, 38 } };
        for (size_t p = 0; p < pages.size() + 1; ++p) {
            const std::string command = "vipsheader -f width '" + Dir.File("out/photo.tif")
                + "[page=" + std::to_string(p) + "]' 2>/dev/null; vipsheader -f height '"
                + Dir.File("out/photo.tif") + "[page=" + std::to_string(p) + "]' 2>/dev/null";
            FILE* pipe = popen(command.c_str(), "r");
            ASSERT_NE(nullptr, pipe);
            int width = 0;
            int height = 0;
            const int got = std::fscanf(pipe, "%d %d", &width, &height);
            pclose(pipe);
            if (p == pages.size()) {
                EXPECT_NE(2, got) << "a page too many";
            } else {
                ASSERT_EQ(2, got) << "page " << p;
                EXPECT_EQ(pages[p], std::make_pair(width, height));
            }
        }
    }
}

TEST(PyramidCliSignals, StopSignalLeavesNoOutput)
{
    TTempDir dir;
    // Large enough to be still running when the signal comes.
    const std::string input = WriteRawInput(dir, "big", 4000, 6000);
    TTavmorProcess process({ "pyramid", input });
    // The hidden folder the output is made in shows that the job has started.
    const auto started = [&] {
        for (const auto& entry : fs::directory_iterator(dir.Path())) {
            if (entry.path().filename().string().starts_with(".tavmor-")) {
                return true;
            }
        }
        return false;
    };
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    while (!started() && process.Running() && std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    if (!process.Running()) {
        GTEST_SKIP() << "the pyramid ended before it could be interrupted";
    }
    kill(process.Pid(), SIGINT);
    const TTavmorResult r = process.Wait();
    EXPECT_EQ(130, r.ExitCode);
    EXPECT_EQ(Aborted(input), r.Err);
    EXPECT_EQ(std::vector<std::string> { fs::path(input).filename().string() }, dir.Names());
}

} // namespace
