// What the command line says of itself: --version, each command's --help with its examples,
// and the manual page and bash completion that must know every option the help lists.
#include <fstream>
#include <regex>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "cli/ProgressLine.h"
#include "cli/TavmorProcess.h"

namespace {

std::string ReadText(const std::string& path)
{
    std::ifstream in(path);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

/// The long options ("--x") and "-o" a help text lists.
std::set<std::string> OptionsIn(const std::string& help)
{
    std::set<std::string> options;
    const std::regex option(R"((^|[\s,\[])(--[a-z][a-z-]*|-o)\b)");
    for (std::sregex_iterator it(help.begin(), help.end(), option), end; it != end; ++it) {
        options.insert((*it)[2].str());
    }
    return options;
}

TEST(Help, VersionNamesTheProgramAndLibtiff)
{
    const TTavmorResult r = RunTavmor({ "--version" });
    EXPECT_EQ(0, r.ExitCode);
    EXPECT_EQ(0u, r.Out.find("tavmor 2.1.0\nLIBTIFF, Version ")) << r.Out;
}

TEST(Help, EveryCommandEndsWithExamplesAndEveryOptionIsDocumented)
{
    std::string manual = ReadText(std::string(SOURCE_DIR) + "/cli/tavmor.1");
    // The page writes "--" as "\-\-".
    manual = std::regex_replace(manual, std::regex(R"(\\-)"), "-");
    const std::string completion =
        ReadText(std::string(SOURCE_DIR) + "/cli/tavmor.bash-completion");
    for (const std::string command :
        { "info", "convert", "crop", "split", "merge", "resize", "pyramid" }) {
        SCOPED_TRACE(command);
        const TTavmorResult r = RunTavmor({ command, "--help" });
        EXPECT_EQ(0, r.ExitCode);
        const size_t examples = r.Out.find("Examples:\n  tavmor " + command);
        EXPECT_NE(std::string::npos, examples) << r.Out;
        const std::set<std::string> options = OptionsIn(r.Out.substr(0, examples));
        EXPECT_FALSE(options.empty());
        for (const std::string& option : options) {
            EXPECT_NE(std::string::npos, manual.find(option)) << option << " not in the manual";
            EXPECT_NE(std::string::npos, completion.find(option))
                << option << " not in the completion";
        }
        EXPECT_NE(std::string::npos, manual.find(".B " + command)) << "no synopsis";
    }
}

TEST(ProgressLine, ShowsTheFileTheTimesAndTheRate)
{
    struct Case {
        const char* name;
        TProgressState state;
        int columns;
        std::string expected;
    };
    const std::vector<Case> cases = {
        { "start", { "pano.tif", 0, 0, 0.0, 0.0, 1000000, "" }, 100,
            "[--------------------]   0%  pano.tif  0:00" },
        // Before a second has gone nothing is estimated.
        { "early", { "pano.tif", 0, 0, 0.5, 0.5, 1000000, "" }, 100,
            "[##########----------]  50%  pano.tif  0:00" },
        { "batch and estimate", { "b.tif", 2, 5, 0.25, 10.0, 1800000000, "" }, 100,
            "[#####---------------]  25%  b.tif (2/5)  0:10, 0:30 left, 45.0 MB/s" },
        { "step of a resize", { "pano.tif", 0, 0, 0.5, 90.0, 1800000000, "Step 2/4" }, 100,
            "[##########----------]  50%  pano.tif  1:30, 1:30 left, 10.0 MB/s  Step 2/4" },
        // A long name gives way first, keeping its end.
        { "narrow", { "/a/very/long/folder/name/pano.tif", 0, 0, 1.0, 3700.0, 0, "" }, 52,
            "[####################] 100%  ...me/pano.tif  1:01:40" },
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(c.expected, FormatProgressLine(c.state, c.columns));
    }
}

TEST(ProgressLine, NumbersForPeople)
{
    EXPECT_EQ("999 bytes", FormatBytes(999));
    EXPECT_EQ("1.00 kB", FormatBytes(1000));
    EXPECT_EQ("18.0 MB", FormatBytes(18012192));
    EXPECT_EQ("600 MB", FormatBytes(600060192));
    EXPECT_EQ("1.80 GB", FormatBytes(1800000000));
    EXPECT_EQ("0:07", FormatClock(7.9));
    EXPECT_EQ("12:34", FormatClock(754));
    EXPECT_EQ("1:02:03", FormatClock(3723));
    // A job of steps is one line: step 3 of 4 half done is five eighths of the job.
    EXPECT_DOUBLE_EQ(0.625, JobFraction("Step 3/4", 50, 100));
    EXPECT_DOUBLE_EQ(0.5, JobFraction("", 50, 100));
    EXPECT_DOUBLE_EQ(0.0, JobFraction("", 5, 0));
}

} // namespace
