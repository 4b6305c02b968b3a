// Damaged and hostile inputs: every crafted file is probed, checked for a whole read and copied
// whole into TIFF and KRO in a child process with a small address-space budget. Each is either
// refused with the engine's own text and the reason behind it, nothing written and memory kept
// small, or converted exactly (associated alpha made straight where alpha is kept).
#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <optional>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "engine/ReadCheck.h"
#include "engine/TavmorManager.h"
#include "engine/TiffFormat.h"
#include "support/BoundedChild.h"
#include "support/CraftedFiles.h"
#include "support/EngineRecorder.h"
#include "support/RecordingDialogs.h"
#include "support/TestImages.h"

namespace {

using namespace TestImages;
using ::testing::HasSubstr;

// The child may map this much beyond what it has: far above the honest needs of these small
// files (a few lines, one band of tiles), far below what a header's claim would cost.
constexpr uint64_t kAddressBudget = uint64_t { 512 } << 20;
// Resident memory a run may gain: line and band buffers and libtiff's state take a few MiB;
// the deflated tiles said to be 65536 pixels wide need their 50 decoded rows, 10 MiB.
constexpr uint64_t kRssBudget = uint64_t { 40 } << 20;

/// The straight-alpha form of an associated-alpha image: each colour times the maximum divided
/// by its alpha, rounded to nearest, at most the maximum; 0 where alpha is 0.
TPixels Straightened(const TPixels& image)
{
    TPixels out = image;
    const uint64_t max = image.Bits == 8 ? 0xFF : 0xFFFF;
    for (size_t p = 0; p + 3 < out.Samples.size(); p += 4) {
        const uint64_t a = out.Samples[p + 3];
        for (size_t c = 0; c < 3; ++c) {
            const uint64_t v = a == 0 ? 0 : (out.Samples[p + c] * max + a / 2) / a;
            out.Samples[p + c] = static_cast<uint32_t>(v > max ? max : v);
        }
    }
    return out;
}

/// What one probe, whole-read check and copy did, as the child reports it.
struct TRun {
    bool Accepted = false; ///< the probe accepted the file
    bool WholeReadable = false; ///< the whole-read check passed
    bool Exact = false; ///< an output was written and holds the expected pixels
    std::vector<std::string> Texts; ///< messages and errors, in order
    std::vector<std::string> Reasons; ///< the reasons noted, in order
    std::string CheckReason; ///< the whole-read check's reason
};

std::string Encode(const TRun& run)
{
    std::string out = std::string(run.Accepted ? "1" : "0") + (run.WholeReadable ? "1" : "0")
        + (run.Exact ? "1" : "0") + "\n";
    for (const std::string& t : run.Texts) {
        out += "T" + t + "\n";
    }
    for (const std::string& r : run.Reasons) {
        out += "R" + r + "\n";
    }
    return out + "C" + run.CheckReason + "\n";
}

TRun Decode(const std::string& text)
{
    TRun run;
    std::istringstream in(text);
    std::string line;
    std::getline(in, line);
    run.Accepted = line.size() == 3 && line[0] == '1';
    run.WholeReadable = line.size() == 3 && line[1] == '1';
    run.Exact = line.size() == 3 && line[2] == '1';
    while (std::getline(in, line)) {
        if (line.empty()) {
            continue;
        }
        const std::string rest = line.substr(1);
        if (line[0] == 'T') {
            run.Texts.push_back(rest);
        } else if (line[0] == 'R') {
            run.Reasons.push_back(rest);
        } else {
            run.CheckReason = rest;
        }
    }
    return run;
}

/// Probes path, checks it for a whole read and copies the whole image into out when the probe
/// accepted it; runs in the child.
TRun ProbeCheckAndCopy(const std::string& path, FileType out, const std::string& outFolder,
    const std::optional<TPixels>& expected)
{
    TTavmor engine;
    TEngineRecorder hooks;
    TRecordingDialogs dialogs;
    engine.Dialogs = &dialogs;
    hooks.Attach(engine);
    engine.InInfo.FileName = path;
    engine.CheckFile(false);
    TRun run;
    run.Accepted = engine.InInfo.ImageIsOk;
    run.WholeReadable = CheckWholeRead(engine.InInfo, run.CheckReason);
    if (run.Accepted) {
        engine.OutInfo.ImageType = out;
        engine.CopyRegion(0, 0, engine.InInfo.Width, engine.InInfo.Height, outFolder, "");
        if (!engine.Abort && expected) {
            const auto back = ReadImage(engine.OutInfo.FileName, expected->Bits);
            run.Exact = back && *back == *expected;
        }
    }
    run.Texts = dialogs.All;
    run.Texts.insert(run.Texts.end(), hooks.Errors.begin(), hooks.Errors.end());
    for (const auto& [file, reason] : dialogs.Details) {
        if (file == path) {
            run.Reasons.push_back(reason);
        }
    }
    return run;
}

/// One crafted file and what must become of it.
struct THostileCase {
    const char* name; ///< the crafted file
    bool accepted; ///< by the probe
    /// Every text shown, in order ({} for an exact conversion).
    std::vector<std::string> texts;
    /// What the reason noted beside them holds (libtiff's own words are matched in part).
    const char* reason;
    bool wholeReadable; ///< what the whole-read check (and `info`) says
};

const char* const kReadError = "Read file error";
const char* const kNoSize = "Height or Width = 0";

const THostileCase kCases[] = {
    { "well-formed-strips", true, {}, "", true },
    { "well-formed-planar-strips", true, {}, "", true },
    { "well-formed-tiles", true, {}, "", true },
    { "well-formed-bigtiff-planar-deflated-tiles", true, {}, "", true },
    { "planar-missing-strips", true, { kReadError }, "strip 1 is missing", false },
    { "planar-missing-strips-and-counts", true, { kReadError }, "strip 1 is missing", false },
    { "planar-empty-strips", true, { kReadError }, "strip 1 is empty", false },
    { "planar-short-strip", true, { kReadError }, "strip 7 holds 15 bytes where 16 are needed",
        false },
    { "planar-strip-past-end", true, { kReadError },
        "strip 5 ends past the end of the file (byte 100016 of 356)", false },
    { "planar-rows-per-strip-overflow", true, {}, "", true },
    { "planar-rows-per-strip-overflow-row-strips", true, { kReadError },
        "strip 0 holds 8 bytes where 48 are needed", false },
    { "rows-per-strip-overflow", true, {}, "", true },
    { "strip-past-end", true, { kReadError },
        "strip 2 ends past the end of the file (byte 1073741872 of 308)", false },
    { "strip-count-past-end", true, {}, "", true },
    { "empty-strip", true, { kReadError }, "strip 1 is empty", false },
    { "bigtiff-strip-past-end", true, { kReadError },
        "strip 2 ends past the end of the file (byte 1099511627824 of 424)", false },
    // Only decoding finds this one: the whole-read check cannot.
    { "undecodable-strip", true, { kReadError }, "incorrect header check", true },
    { "missing-tiles", true, { kReadError }, "tile 2 is missing", false },
    { "planar-empty-tile", true, { kReadError }, "tile 14 is empty", false },
    { "huge-tiles", true, { kReadError }, "tile 0 holds 15000 bytes where 12884901888 are needed",
        false },
    { "huge-deflated-tiles", true, {}, "", true },
    { "huge-tile-length", true, { kReadError },
        "tile 0 holds 2400 bytes where 102273909360 are needed", false },
    { "tile-width-beyond-limits", false, { "Image dimensions exceed internal limits" },
        "a tile of 1073741824 x 16 pixels needs 51539607552 bytes", false },
    { "tall-image-one-strip", false, { kNoSize }, "Incorrect count for \"StripOffsets\"", false },
    { "not-a-tiff", false, { kNoSize }, "Not a TIFF", false },
    { "empty-file", false, { kNoSize }, "Cannot read TIFF header", false },
    { "truncated-directory", false, { kNoSize }, "Failed to read directory", false },
    { "rows-per-strip-zero", false, { kNoSize }, "Bad value 0 for \"RowsPerStrip\" tag", false },
    { "bits-disagree", false, { kNoSize }, "different values per sample for \"BitsPerSample\"",
        false },
    { "planar-config-3", false, { kNoSize }, "Bad value 3 for \"PlanarConfiguration\" tag", false },
    { "no-strip-offsets", false, { kNoSize }, "missing required \"StripOffsets\"", false },
    { "associated-alpha-8", true, {}, "", true },
    { "associated-alpha-16", true, {}, "", true },
    { "associated-alpha-planar-16", true, {}, "", true },
    { "rgb-and-two-extra-samples", true, {}, "", true },
    { "rgb-and-two-extra-samples-planar", true, {}, "", true },
    { "rgb-and-two-unspecified-samples-tiled", true, {}, "", true },
    { "associated-alpha-and-extra-sample", true, {}, "", true },
    { "kro-short", true, { kReadError }, "the file holds 4 of its 6 lines", false },
    { "kro-header-only", true, { kReadError }, "the file holds 0 of its 2 lines", false },
    { "kro-longer", true, {}, "", true },
};

TEST(HostileInput, EveryCraftedFileIsRefusedWithItsReasonOrConvertedExactly)
{
    std::vector<std::string> covered;
    for (const THostileCase& c : kCases) {
        covered.push_back(c.name);
        const CraftedFiles::TCrafted& crafted = CraftedFiles::Named(c.name);
        for (const FileType out : { FileType::TIF, FileType::KRO }) {
            SCOPED_TRACE(std::string(c.name) + (out == FileType::KRO ? " into KRO" : " into TIFF"));
            TTempDir in;
            TTempDir written;
            const std::string path = in.File(crafted.FileName);
            ASSERT_TRUE(WriteBytes(path, crafted.Bytes));
            std::optional<TPixels> expected;
            if (crafted.Image) {
                const bool straight = out == FileType::KRO && crafted.AssociatedAlpha;
                expected = WithChannels(straight ? Straightened(*crafted.Image) : *crafted.Image,
                    out == FileType::KRO ? 4 : 3);
            }
            const TChildResult child = RunBounded(
                [&] { return Encode(ProbeCheckAndCopy(path, out, written.Path(), expected)); },
                kAddressBudget);
            EXPECT_TRUE(child.Finished) << "the child crashed or ran out of its address space";
            EXPECT_LT(child.RssGrowthBytes, kRssBudget);
            const TRun run = Decode(child.Report);
            EXPECT_EQ(run.Accepted, c.accepted);
            EXPECT_EQ(run.Texts, c.texts);
            EXPECT_EQ(run.WholeReadable, c.wholeReadable) << run.CheckReason;
            if (c.texts.empty()) {
                EXPECT_TRUE(run.Exact);
                EXPECT_EQ(written.Names().size(), 1u);
                EXPECT_TRUE(run.Reasons.empty());
            } else {
                EXPECT_FALSE(run.Exact);
                EXPECT_TRUE(written.Names().empty());
                const std::string reason = run.Reasons.empty() ? "" : run.Reasons.back();
                EXPECT_THAT(reason, HasSubstr(c.reason));
                // Where the check can tell, it says what the copy found.
                if (!c.wholeReadable && c.accepted) {
                    EXPECT_EQ(run.CheckReason, reason);
                }
            }
            EXPECT_EQ(ReadBytes(path), crafted.Bytes);
        }
    }
    for (const CraftedFiles::TCrafted& crafted : CraftedFiles::All()) {
        EXPECT_NE(std::find(covered.begin(), covered.end(), crafted.Name), covered.end())
            << crafted.Name << " has no row";
    }
}

TEST(HostileInput, PlanesReadALineAtATimeAreCheckedAlike)
{
    // Bands too large for memory are read one line of each plane at a time, through a libtiff
    // handle per plane: each plane's strips are checked as they are reached.
    const std::pair<const char*, const char*> cases[] = {
        { "well-formed-planar-strips", "" },
        { "planar-missing-strips", "strip 1 is missing" },
        { "planar-empty-strips", "strip 1 is empty" },
        { "planar-short-strip", "strip 7 holds 15 bytes where 16 are needed" },
        { "planar-strip-past-end", "strip 5 ends past the end of the file (byte 100016 of 356)" },
        { "rgb-and-two-extra-samples-planar", "" },
    };
    for (const auto& [name, reason] : cases) {
        SCOPED_TRACE(name);
        const CraftedFiles::TCrafted& crafted = CraftedFiles::Named(name);
        TTempDir in;
        const std::string path = in.File(crafted.FileName);
        ASSERT_TRUE(WriteBytes(path, crafted.Bytes));
        TTavmor engine;
        TRecordingDialogs dialogs;
        engine.Dialogs = &dialogs;
        engine.InInfo.FileName = path;
        engine.CheckFile(false);
        ASSERT_TRUE(engine.InInfo.ImageIsOk);
        TFileInfo info = engine.InInfo;
        info.ScanLineSize = info.Width * info.BytesPerPixel;
        auto reader = MakeTiffReader(0); // no band fits
        ASSERT_TRUE(reader->Open(info));
        std::vector<uint8_t> line(info.ScanLineSize);
        bool whole = true;
        TPixels read { info.Width, info.Height, info.Bits, info.Channels, {} };
        for (uint32_t row = 0; row < info.Height && whole; ++row) {
            whole = reader->ReadLine(int32_t(row), line.data()) == int32_t(info.ScanLineSize)
                && reader->Error() == 0;
            for (size_t i = 0; whole && i < line.size(); i += info.Bits / 8) {
                read.Samples.push_back(
                    info.Bits == 8 ? line[i] : uint32_t(line[i]) | uint32_t(line[i + 1]) << 8);
            }
        }
        EXPECT_EQ(reader->Reason(), reason);
        if (std::string(reason).empty()) {
            EXPECT_TRUE(whole);
            EXPECT_TRUE(SamePixels(*crafted.Image, read));
        } else {
            EXPECT_FALSE(whole);
            EXPECT_EQ(reader->Error(), EIO);
        }
        reader->Close();
    }
}

} // namespace
