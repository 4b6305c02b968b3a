// The README's examples run as written, in order, in a scratch folder holding a stand-in for
// the demo's panorama: each ends well and writes what its comment promises.
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <glob.h>
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "cli/TavmorProcess.h"
#include "support/TestImages.h"

namespace {

using TestImages::TTempDir;

/// One example: its words after "./run.sh" and the files its "# writes" comment names.
struct TExample {
    std::string Line;
    std::vector<std::string> Words;
    std::vector<std::string> Writes;
};

/// The "./run.sh ..." lines of the README's example block, in order.
std::vector<TExample> ReadmeExamples()
{
    std::ifstream readme(std::string(SOURCE_DIR) + "/README.md");
    std::vector<TExample> examples;
    std::string line;
    bool inBlock = false;
    bool seenHeading = false;
    while (std::getline(readme, line)) {
        if (line.rfind("Examples, run from the repository's folder", 0) == 0) {
            seenHeading = true;
        }
        if (seenHeading && line.rfind("```", 0) == 0) {
            if (inBlock) {
                break;
            }
            inBlock = true;
            continue;
        }
        if (!inBlock || line.rfind("./run.sh ", 0) != 0) {
            continue;
        }
        TExample example;
        example.Line = line;
        const size_t hash = line.find('#');
        std::istringstream words(line.substr(0, hash));
        std::string word;
        words >> word; // ./run.sh
        while (words >> word) {
            example.Words.push_back(word);
        }
        if (hash != std::string::npos) {
            std::istringstream promise(line.substr(hash + 1));
            promise >> word;
            if (word == "writes") {
                while (promise >> word) {
                    example.Writes.push_back(word);
                }
            }
        }
        examples.push_back(example);
    }
    return examples;
}

/// The words with shell patterns expanded in folder, as the shell running the README would.
std::vector<std::string> Expanded(const std::vector<std::string>& words, const std::string& folder)
{
    std::vector<std::string> out;
    for (const std::string& word : words) {
        if (word.find('*') == std::string::npos) {
            out.push_back(word);
            continue;
        }
        glob_t found {};
        const std::string pattern = folder + "/" + word;
        if (glob(pattern.c_str(), 0, nullptr, &found) == 0) {
            for (size_t i = 0; i < found.gl_pathc; ++i) {
                out.push_back(std::string(found.gl_pathv[i]).substr(folder.size() + 1));
            }
        } else {
            out.push_back(word);
        }
        globfree(&found);
    }
    return out;
}

TEST(Readme, ExamplesRunAsWrittenInOrder)
{
    const std::vector<TExample> examples = ReadmeExamples();
    ASSERT_GE(examples.size(), 5u) << "the README's example block was not found";
    TTempDir scratch;
    std::filesystem::create_directory(scratch.File("demo"));
    // The demo's panorama is 20000 x 10000; a smaller one serves every example (resize wants
    // a side of 10000 pixels or more, the split's tile names a height of 5000 or more).
    const std::string make = std::string(GENIMAGE_BIN) + " " + scratch.File("demo/panorama.tif")
        + " --width 10200 --height 5100 --quiet";
    ASSERT_EQ(0, std::system(make.c_str()));

    for (const TExample& example : examples) {
        SCOPED_TRACE(example.Line);
        const TTavmorResult r =
            RunTavmor(Expanded(example.Words, scratch.Path()), "", scratch.Path());
        EXPECT_EQ(0, r.ExitCode) << r.Err;
        for (const std::string& file : example.Writes) {
            EXPECT_TRUE(std::filesystem::is_regular_file(scratch.File(file))) << file;
        }
        if (HasFailure()) {
            return;
        }
    }
}

} // namespace
