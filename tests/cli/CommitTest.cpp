// The user's files against everything that can end a run: `tavmor` killed at many points of a
// convert, split, merge and resize over existing outputs; two runs writing one name at once;
// names that are links, folders or FIFOs; inputs of one call that would write one name.
#include <algorithm>
#include <chrono>
#include <csignal>
#include <filesystem>
#include <map>
#include <string>
#include <sys/stat.h>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "cli/CliFiles.h"
#include "cli/TavmorProcess.h"
#include "engine/FileNames.h"
#include "support/TestImages.h"

namespace {

using namespace TestImages;
using TFiles = std::map<std::string, std::vector<uint8_t>>;

const std::string kOverwrite = "Output file exists. Do you want to overwrite it? No";

/// Every entry of a folder with its bytes (folders as an empty entry with a trailing "/").
TFiles FolderContents(const std::string& folder)
{
    TFiles files;
    for (const auto& entry : std::filesystem::directory_iterator(folder)) {
        const std::string name = entry.path().filename().string();
        if (entry.is_directory()) {
            files[name + "/"] = {};
        } else {
            files[name] = ReadBytes(entry.path().string());
        }
    }
    return files;
}

/// The names of a folder that are temporaries of a run.
std::vector<std::string> Temporaries(const std::string& folder)
{
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(folder)) {
        const std::string name = entry.path().filename().string();
        if (name.find(".tavmor-") != std::string::npos) {
            names.push_back(name);
        }
    }
    return names;
}

/// One kind of run to kill: its arguments (the output folder last added by the test), and
/// the names it writes.
struct TKillCase {
    const char* name;
    std::vector<std::string> args;
    bool overOld; ///< the output folder holds older files of every output name first
};

class CommitKill : public ::testing::Test {
protected:
    void SetUp() override
    {
        Raw = WriteRawInput(In, "pano", 3000, 1500);
        // Tiles of a split of the same image, for the merge.
        std::filesystem::create_directory(In.File("tiles"));
        const TTavmorResult split = RunTavmor({ "split", Raw, "--tile-width", "1000",
            "--tile-height", "1000", "--format", "raw", "--out", In.File("tiles"), "--quiet" });
        ASSERT_EQ(0, split.ExitCode) << split.Err;
        for (const auto& entry : std::filesystem::directory_iterator(In.File("tiles"))) {
            Tiles.push_back(entry.path().string());
        }
        std::sort(Tiles.begin(), Tiles.end());
        Wide = WriteRawInput(In, "wide", 10500, 120);
    }

    TTempDir In;
    std::string Raw;
    std::string Wide;
    std::vector<std::string> Tiles;
};

TEST_F(CommitKill, AKillLeavesTheOldFilesOrTheNewOnesAndTheNextRunCleansUp)
{
    std::vector<std::string> merge = { "merge" };
    merge.insert(merge.end(), Tiles.begin(), Tiles.end());
    merge.insert(merge.end(), { "--format", "tif-lzw" });
    const std::vector<TKillCase> cases = {
        { "convert over an existing output", { "convert", Raw, "--format", "tif-lzw" }, true },
        { "split",
            { "split", Raw, "--tile-width", "700", "--tile-height", "400", "--format", "tif" },
            false },
        { "split over existing tiles",
            { "split", Raw, "--tile-width", "700", "--tile-height", "400", "--format", "kro" },
            true },
        { "merge over an existing output", merge, true },
        { "resize over an existing output",
            { "resize", Wide, "--width", "1000", "--format", "tif-lzw" }, true },
    };
    for (const TKillCase& c : cases) {
        SCOPED_TRACE(c.name);
        // A clean run gives the new files and how long a run takes.
        TTempDir cleanDir;
        std::vector<std::string> args = c.args;
        args.insert(args.end(), { "--out", cleanDir.Path(), "--yes", "--quiet" });
        const auto started = std::chrono::steady_clock::now();
        const TTavmorResult clean = RunTavmor(args);
        const auto took = std::chrono::steady_clock::now() - started;
        ASSERT_EQ(0, clean.ExitCode) << clean.Err;
        const TFiles fresh = FolderContents(cleanDir.Path());
        ASSERT_FALSE(fresh.empty());
        TFiles old;
        if (c.overOld) {
            for (const auto& [name, bytes] : fresh) {
                old[name] = { 'o', 'l', 'd', static_cast<uint8_t>(bytes.size()) };
            }
        }

        constexpr int kPoints = 10;
        for (int k = 0; k <= kPoints; ++k) {
            SCOPED_TRACE("killed at " + std::to_string(k) + "/" + std::to_string(kPoints));
            TTempDir out;
            for (const auto& [name, bytes] : old) {
                ASSERT_TRUE(WriteBytes(out.File(name), bytes));
            }
            args = c.args;
            args.insert(args.end(), { "--out", out.Path(), "--yes", "--quiet" });
            TTavmorProcess process(args);
            std::this_thread::sleep_for(took * k / kPoints);
            kill(process.Pid(), SIGKILL);
            (void)process.Wait();

            // Each name holds its old file or its new one, whole; nothing else has a name
            // but the hidden temporaries a kill may leave.
            const TFiles after = FolderContents(out.Path());
            for (const auto& [name, bytes] : after) {
                if (name.find(".tavmor-") != std::string::npos) {
                    continue;
                }
                const auto oldFile = old.find(name);
                const auto newFile = fresh.find(name);
                const bool isOld = oldFile != old.end() && oldFile->second == bytes;
                const bool isNew = newFile != fresh.end() && newFile->second == bytes;
                EXPECT_TRUE(isOld || isNew) << name << " is neither the old file nor the new";
            }
            for (const auto& [name, bytes] : old) {
                EXPECT_TRUE(after.count(name) == 1) << name << " is gone";
            }

            // The next run writing into the folder removes what the killed one left.
            const std::string other = WriteRawInput(In, "other", 40, 30, 9);
            const TTavmorResult next = RunTavmor(
                { "convert", other, "--format", "kro", "--out", out.Path(), "--yes", "--quiet" });
            EXPECT_EQ(0, next.ExitCode) << next.Err;
            EXPECT_EQ(std::vector<std::string> {}, Temporaries(out.Path()));
            if (HasFailure()) {
                return;
            }
        }
    }
}

TEST(CommitRace, TwoRunsIntoOneNameNeverMix)
{
    // Two inputs of one base name in two folders, converted into one folder at once.
    TTempDir a;
    TTempDir b;
    const std::string red = WriteRawInput(a, "pano", 1500, 1500, 0);
    const std::string blue = WriteRawInput(b, "pano", 1500, 1500, 100);
    TTempDir refDir;
    std::filesystem::create_directory(refDir.File("a"));
    std::filesystem::create_directory(refDir.File("b"));
    ASSERT_EQ(0, RunTavmor({ "convert", red, "--out", refDir.File("a"), "--quiet" }).ExitCode);
    ASSERT_EQ(0, RunTavmor({ "convert", blue, "--out", refDir.File("b"), "--quiet" }).ExitCode);
    const std::vector<uint8_t> fromRed = ReadBytes(refDir.File("a/pano.tif"));
    const std::vector<uint8_t> fromBlue = ReadBytes(refDir.File("b/pano.tif"));
    ASSERT_NE(fromRed, fromBlue);

    for (const bool yes : { false, true }) {
        for (int round = 0; round < 3; ++round) {
            SCOPED_TRACE(
                std::string(yes ? "--yes" : "no answer") + " round " + std::to_string(round));
            TTempDir out;
            std::vector<std::string> common = { "--out", out.Path(), "--quiet" };
            if (yes) {
                common.push_back("--yes");
            }
            std::vector<std::string> first = { "convert", red };
            std::vector<std::string> second = { "convert", blue };
            first.insert(first.end(), common.begin(), common.end());
            second.insert(second.end(), common.begin(), common.end());
            TTavmorProcess one(first);
            TTavmorProcess two(second);
            const TTavmorResult r1 = one.Wait();
            const TTavmorResult r2 = two.Wait();

            const std::vector<uint8_t> result = ReadBytes(out.File("pano.tif"));
            EXPECT_TRUE(result == fromRed || result == fromBlue) << "the pixels of two runs";
            EXPECT_EQ((std::vector<std::string> { "pano.tif" }), out.Names());
            if (yes) {
                EXPECT_EQ(0, r1.ExitCode) << r1.Err;
                EXPECT_EQ(0, r2.ExitCode) << r2.Err;
                EXPECT_EQ("", r1.Err + r2.Err);
            } else {
                // Exactly one wrote the file; the other was refused as after a No.
                EXPECT_EQ(1, (r1.ExitCode == 0) + (r2.ExitCode == 0));
                const TTavmorResult& refused = r1.ExitCode == 0 ? r2 : r1;
                EXPECT_EQ(1, refused.ExitCode);
                EXPECT_NE(std::string::npos, refused.Err.find(kOverwrite)) << refused.Err;
                EXPECT_EQ(result, r1.ExitCode == 0 ? fromRed : fromBlue);
            }
        }
    }
}

TEST(CommitNames, ALinkAFolderOrAFifoAtTheNameIsNeverWrittenThrough)
{
    TTempDir dir;
    const std::string input = WriteRawInput(dir, "p", 20, 10);
    std::filesystem::create_directory(dir.File("out"));
    const std::string name = dir.File("out/p.tif");
    const std::string target = dir.File("target.tif");

    // A dangling link: declined, the link stays and nothing appears where it points.
    std::filesystem::create_symlink(target, name);
    for (const std::string answer : { "--no", "" }) {
        std::vector<std::string> args = { "convert", input, "--out", dir.File("out") };
        if (!answer.empty()) {
            args.push_back(answer);
        }
        const TTavmorResult r = RunTavmor(args);
        EXPECT_EQ(1, r.ExitCode) << answer;
        EXPECT_NE(std::string::npos, r.Err.find(kOverwrite)) << r.Err;
        EXPECT_TRUE(std::filesystem::is_symlink(name));
        EXPECT_FALSE(std::filesystem::exists(target));
    }
    // With --yes the new file takes the name in the link's place; the target stays absent.
    TTavmorResult r = RunTavmor({ "convert", input, "--out", dir.File("out"), "--yes" });
    EXPECT_EQ(0, r.ExitCode) << r.Err;
    EXPECT_FALSE(std::filesystem::is_symlink(name));
    EXPECT_TRUE(std::filesystem::is_regular_file(name));
    EXPECT_FALSE(std::filesystem::exists(target));
    std::filesystem::remove(name);

    // A FIFO or a folder is not an output file: refused at once, even with --yes.
    ASSERT_EQ(0, mkfifo(name.c_str(), 0644));
    r = RunTavmor({ "convert", input, "--out", dir.File("out"), "--yes" });
    EXPECT_EQ(1, r.ExitCode);
    EXPECT_NE(std::string::npos, r.Err.find("Write to file error")) << r.Err;
    struct stat st { };
    ASSERT_EQ(0, lstat(name.c_str(), &st));
    EXPECT_TRUE(S_ISFIFO(st.st_mode));
    std::filesystem::remove(name);
    std::filesystem::create_directory(name);
    r = RunTavmor({ "convert", input, "--out", dir.File("out"), "--yes" });
    EXPECT_EQ(1, r.ExitCode);
    EXPECT_TRUE(std::filesystem::is_directory(name));
}

TEST(CommitNames, InputsThatWouldWriteOneNameAreRefusedBeforeAnything)
{
    TTempDir dir;
    std::filesystem::create_directory(dir.File("tiles"));
    const std::string input = WriteRawInput(dir, "p", 40, 20);
    ASSERT_EQ(0,
        RunTavmor({ "split", input, "--tile-width", "256", "--tile-height", "256", "--format",
                      "tif", "--out", dir.File("tiles"), "--quiet" })
            .ExitCode);
    // A split into one tile per side makes one tile; copies of it stand for a larger set.
    const std::string tile = dir.File("tiles/p_40X20_x1y1.tif");
    std::filesystem::copy_file(tile, dir.File("tiles/p_40X20_x2y1.tif"));
    // Two inputs of one name in different folders clash as well.
    std::filesystem::create_directory(dir.File("other"));
    std::filesystem::copy_file(input, dir.File("other/") + FileNameOf(input));
    const struct {
        const char* Name;
        std::string First;
        std::string Second;
        bool FolderExists;
    } cases[] = {
        { "tiles of one split", tile, dir.File("tiles/p_40X20_x2y1.tif"), true },
        { "tiles, folder still to be made", tile, dir.File("tiles/p_40X20_x2y1.tif"), false },
        { "one name in two folders, folder still to be made", input,
            dir.File("other/") + FileNameOf(input), false },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Name);
        std::filesystem::remove_all(dir.File("out"));
        if (c.FolderExists) {
            std::filesystem::create_directory(dir.File("out"));
        }
        const TTavmorResult r = RunTavmor(
            { "convert", c.First, c.Second, "--format", "kro", "--out", dir.File("out"), "--yes" });
        EXPECT_EQ(1, r.ExitCode);
        EXPECT_EQ("tavmor: " + dir.File("out/p.kro")
                + ": two inputs would write this output: " + c.First + " and " + c.Second + "\n",
            r.Err);
        EXPECT_EQ(c.FolderExists, std::filesystem::exists(dir.File("out")));
        if (c.FolderExists) {
            EXPECT_TRUE(std::filesystem::is_empty(dir.File("out")));
        }
    }
}

} // namespace
