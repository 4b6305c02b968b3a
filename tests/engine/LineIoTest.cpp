// Line input and output: KRO header bytes, the TIFF tag set, the BigTIFF rule, reading past
// the end, rows in any order, create failures and the sequential file's own error.
#include <cstdint>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <string>
#include <unistd.h>
#include <vector>

#include <tiffio.h>

#include <gtest/gtest.h>

#include "engine/EngineTexts.h"
#include "engine/KroFormat.h"
#include "engine/OutputCommit.h"
#include "engine/ScopeExit.h"
#include "engine/SeqFile.h"
#include "engine/TavmorManager.h"
#include "engine/TiffFormat.h"
#include "engine/TiffSizeBound.h"
#include "support/EngineRecorder.h"
#include "support/FaultSeam.h"
#include "support/RecordingDialogs.h"
#include "support/TestImages.h"

using namespace TestImages;

namespace {

/// An engine whose input is the probed file at path.
struct TProbed {
    TTavmor Engine;
    TRecordingDialogs Dialogs;
    explicit TProbed(const std::string& path)
    {
        Engine.Dialogs = &Dialogs;
        Engine.InInfo.FileName = path;
        Engine.CheckFile(false);
    }
};

TEST(WriteKroHeader, WritesTheBigEndianHeaderBeforeTheLines)
{
    TTempDir in;
    ASSERT_TRUE(WriteTiff(in.File("in.tif"), PatternImage(3, 2, 8, 3)));
    TProbed p(in.File("in.tif"));
    ASSERT_TRUE(p.Engine.InInfo.ImageIsOk);
    TTempDir out;
    p.Engine.OutInfo.ImageType = FileType::KRO;
    p.Engine.CopyRegion(0, 0, 3, 2, out.Path(), "");
    ASSERT_FALSE(p.Engine.Abort);
    EXPECT_EQ(p.Engine.OutInfo.ScanLineSize, 12u);
    const std::vector<uint8_t> bytes = ReadBytes(out.File("in.kro"));
    ASSERT_EQ(bytes.size(), 20u + 2 * 12);
    const std::vector<uint8_t> header(bytes.begin(), bytes.begin() + 20);
    EXPECT_EQ(header,
        (std::vector<uint8_t> {
            0x4B, 0x52, 0x4F, 0x01, 0, 0, 0, 3, 0, 0, 0, 2, 0, 0, 0, 8, 0, 0, 0, 4 }));
}

TEST(KroHeader, EncodingAndDecodingAgree)
{
    const TKroHeader header { 0x01020304, 0xA0B0C0D0, 16, 4 };
    TKroHeader read;
    ASSERT_TRUE(DecodeKroHeader(EncodeKroHeader(header), read));
    EXPECT_EQ(read.Width, header.Width);
    EXPECT_EQ(read.Height, header.Height);
    EXPECT_EQ(read.Bits, header.Bits);
    EXPECT_EQ(read.Channels, header.Channels);
    EXPECT_EQ(EncodeKroHeader(header)[4], 0x01);
    EXPECT_EQ(EncodeKroHeader(header)[11], 0xD0);
}

TEST(OpenInFile, RefusesAnInputChangedSinceItWasProbed)
{
    // The probe and the open each read the header; the open must not trust a stale probe.
    TTempDir in;
    ASSERT_TRUE(WriteKro(in.File("in.kro"), PatternImage(3, 2, 8, 4)));
    ASSERT_TRUE(WriteTiff(in.File("in.tif"), PatternImage(3, 2, 8, 3)));
    for (const std::string name : { "in.kro", "in.tif" }) {
        SCOPED_TRACE(name);
        TProbed p(in.File(name));
        ASSERT_TRUE(p.Engine.InInfo.ImageIsOk);
        if (name == "in.kro") {
            ASSERT_TRUE(WriteKro(in.File(name), PatternImage(4, 2, 8, 4)));
        } else {
            ASSERT_TRUE(WriteTiff(in.File(name), PatternImage(3, 2, 16, 3)));
        }
        EXPECT_FALSE(p.Engine.OpenInFile(in.File(name)));
        EXPECT_FALSE(p.Engine.InOpen);
        p.Engine.CloseInFile();
        EXPECT_EQ(p.Engine.InInfo.ScanLine, nullptr);
    }
}

TEST(ReadLine, RawPastItsEndDeliversAShortLineThenNothing)
{
    TTempDir in;
    std::vector<uint8_t> bytes(9 + 4, 7); // one 3-pixel line and 4 bytes of the next
    ASSERT_TRUE(WriteBytes(in.File("r_3X2.raw"), bytes));
    TProbed p(in.File("r_3X2.raw"));
    // The length fits no depth, so tell the probe what the file should hold.
    p.Engine.InInfo.Width = 3;
    p.Engine.InInfo.Height = 2;
    p.Engine.InInfo.Bits = 8;
    p.Engine.InInfo.Channels = 3;
    p.Engine.InInfo.BytesPerPixel = 3;
    p.Engine.InInfo.ImageType = FileType::RAW;
    ASSERT_TRUE(p.Engine.OpenInFile(in.File("r_3X2.raw")));
    EXPECT_EQ(p.Engine.InInfo.ScanLineSize, 9u);
    EXPECT_EQ(p.Engine.ReadLine(0), 9);
    EXPECT_EQ(p.Engine.ReadLine(1), 4);
    EXPECT_EQ(p.Engine.ReadLine(2), 0);
    p.Engine.CloseInFile();
    p.Engine.CloseInFile(); // safe twice
    EXPECT_EQ(p.Engine.ReadLine(0), 0);
}

/// Checks that line holds row of the 16-bit RGBA image.
::testing::AssertionResult LineIsRow(const uint8_t* line, const TPixels& image, uint32_t row)
{
    for (uint32_t i = 0; i < image.Width * 4; ++i) {
        uint16_t v = 0;
        std::memcpy(&v, line + i * 2, 2);
        if (v != image.At(i / 4, row, i % 4)) {
            return ::testing::AssertionFailure() << "row " << row << " differs at sample " << i;
        }
    }
    return ::testing::AssertionSuccess();
}

struct TLayoutCase {
    const char* name;
    TTiffOptions options;
};

// Rows out of order: backwards, across strip and tile boundaries, into the middle of a strip.
const int32_t kRowOrder[] = { 0, 39, 38, 17, 16, 15, 1, 32, 31, 0, 20, 21, 22, 2 };

TEST(ReadLine, TiffRowsComeInAnyOrderFromEveryLayout)
{
    const TPixels image = PatternImage(37, 40, 16, 4);
    const TLayoutCase cases[] = {
        { "strips of 1", {} },
        { "uncompressed strips of 9", { .RowsPerStrip = 9 } },
        { "lzw strips of 7", { .Compression = 5, .RowsPerStrip = 7 } },
        { "deflate, one strip", { .Compression = 8, .RowsPerStrip = 40 } },
        { "tiles", { .Kind = TTiffKind::Tiled } },
        { "planar lzw strips of 6",
            { .Kind = TTiffKind::Planar, .Compression = 5, .RowsPerStrip = 6 } },
        { "planar tiles", { .Kind = TTiffKind::PlanarTiled, .Compression = 8 } },
    };
    for (const TLayoutCase& c : cases) {
        SCOPED_TRACE(c.name);
        TTempDir in;
        ASSERT_TRUE(WriteTiff(in.File("in.tif"), image, c.options));
        TProbed p(in.File("in.tif"));
        ASSERT_TRUE(p.Engine.InInfo.ImageIsOk);
        ASSERT_TRUE(p.Engine.OpenInFile(in.File("in.tif")));
        for (int32_t row : kRowOrder) {
            ASSERT_EQ(p.Engine.ReadLine(row), int32_t(37 * 8)) << "row " << row;
            EXPECT_TRUE(LineIsRow(p.Engine.InInfo.ScanLine, image, uint32_t(row)));
        }
        EXPECT_EQ(p.Engine.ReadLine(40), 0);
        EXPECT_EQ(p.Engine.ReadLine(-1), 0);
        p.Engine.CloseInFile();
    }
}

TEST(ReadLine, PlanesTooLargeForABandAreReadALineAtATime)
{
    const TPixels image = PatternImage(37, 40, 16, 4);
    const TLayoutCase cases[] = {
        { "planar lzw strips of 6",
            { .Kind = TTiffKind::Planar, .Compression = 5, .RowsPerStrip = 6 } },
        { "planar deflate, one strip per plane",
            { .Kind = TTiffKind::Planar, .Compression = 8, .RowsPerStrip = 40 } },
        { "planar uncompressed strips of 3", { .Kind = TTiffKind::Planar, .RowsPerStrip = 3 } },
    };
    for (const TLayoutCase& c : cases) {
        SCOPED_TRACE(c.name);
        TTempDir in;
        ASSERT_TRUE(WriteTiff(in.File("in.tif"), image, c.options));
        TProbed p(in.File("in.tif"));
        ASSERT_TRUE(p.Engine.InInfo.ImageIsOk);
        TFileInfo info = p.Engine.InInfo;
        info.ScanLineSize = 37 * 8;
        std::vector<uint8_t> line(info.ScanLineSize);
        auto reader = MakeTiffReader(0); // no band fits
        ASSERT_TRUE(reader->Open(info));
        for (int32_t row : kRowOrder) {
            ASSERT_EQ(reader->ReadLine(row, line.data()), int32_t(37 * 8)) << "row " << row;
            EXPECT_TRUE(LineIsRow(line.data(), image, uint32_t(row)));
        }
        reader->Close();
        reader->Close();
    }
}

TEST(WriteLine, TiffOutputCarriesExactlyTheDocumentedTags)
{
    for (const bool lzw : { false, true }) {
        SCOPED_TRACE(lzw ? "lzw" : "uncompressed");
        TTempDir in;
        ASSERT_TRUE(WriteKro(in.File("in.kro"), PatternImage(3, 2, 16, 4)));
        TProbed p(in.File("in.kro"));
        TTempDir out;
        p.Engine.OutInfo.ImageType = FileType::TIF;
        p.Engine.Lzw = lzw;
        p.Engine.CopyRegion(0, 0, 3, 2, out.Path(), "");
        ASSERT_FALSE(p.Engine.Abort);
        const std::string path = out.File("in.tif");
        // The documented tags, and the strip tables libtiff adds to locate the data.
        EXPECT_EQ(TiffTagsOf(path),
            (std::vector<uint16_t> {
                256, 257, 258, 259, 262, 273, 277, 278, 279, 282, 283, 284, 296 }));
        const std::vector<uint8_t> bytes = ReadBytes(path);
        ASSERT_GE(bytes.size(), 4u);
        EXPECT_EQ(bytes[0], 'I'); // little-endian
        EXPECT_EQ(bytes[2], 42); // classic TIFF
        TIFF* tif = TIFFOpen(path.c_str(), "r");
        ASSERT_NE(tif, nullptr);
        uint32_t width = 0, height = 0, rows = 0;
        uint16_t bits = 0, samples = 0, compression = 0, planar = 0, photometric = 0, unit = 0;
        float xres = 0, yres = 0;
        TIFFGetField(tif, TIFFTAG_IMAGEWIDTH, &width);
        TIFFGetField(tif, TIFFTAG_IMAGELENGTH, &height);
        TIFFGetField(tif, TIFFTAG_BITSPERSAMPLE, &bits);
        TIFFGetField(tif, TIFFTAG_SAMPLESPERPIXEL, &samples);
        TIFFGetField(tif, TIFFTAG_ROWSPERSTRIP, &rows);
        TIFFGetField(tif, TIFFTAG_COMPRESSION, &compression);
        TIFFGetField(tif, TIFFTAG_PLANARCONFIG, &planar);
        TIFFGetField(tif, TIFFTAG_PHOTOMETRIC, &photometric);
        TIFFGetField(tif, TIFFTAG_XRESOLUTION, &xres);
        TIFFGetField(tif, TIFFTAG_YRESOLUTION, &yres);
        TIFFGetField(tif, TIFFTAG_RESOLUTIONUNIT, &unit);
        TIFFClose(tif);
        EXPECT_EQ(width, 3u);
        EXPECT_EQ(height, 2u);
        EXPECT_EQ(bits, 16);
        EXPECT_EQ(samples, 3);
        EXPECT_EQ(rows, 1u);
        EXPECT_EQ(compression, lzw ? 5 : 1);
        EXPECT_EQ(planar, 1);
        EXPECT_EQ(photometric, 2);
        EXPECT_EQ(xres, 240.0f);
        EXPECT_EQ(yres, 240.0f);
        EXPECT_EQ(unit, 2);
    }
}

TEST(NeedsBigTiff, AboveFourBillionBytesOrWhenForced)
{
    struct TCase {
        uint64_t bytes;
        bool force;
        bool big;
    };
    const TCase cases[] = {
        { 40000ull * 33333 * 3, false, false }, // 3,999,960,000
        { 4000000000ull, false, false },
        { 4000000001ull, false, true },
        { 40000ull * 33334 * 3, false, true }, // 4,000,080,000
        { 4294967296ull, false, true },
        { 27, true, true },
        { 0, false, false },
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(std::to_string(c.bytes) + (c.force ? " forced" : ""));
        EXPECT_EQ(NeedsBigTiff(c.bytes, c.force), c.big);
    }
}

TEST(OpenOutFile, NamesTheTiffByTheBigTiffRule)
{
    struct TCase {
        uint32_t width;
        uint32_t height;
        bool force;
        const char* name;
    };
    const TCase cases[] = {
        { 40000, 33333, false, "o.tif" },
        { 40000, 33334, false, "o.big.tif" },
        { 2, 2, true, "o.big.tif" },
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.name);
        TTempDir in;
        ASSERT_TRUE(WriteRaw(in.File("i_2X2.raw"), PatternImage(2, 2, 8, 3)));
        TProbed p(in.File("i_2X2.raw"));
        TTempDir out;
        p.Engine.OutInfo.ImageType = FileType::TIF;
        p.Engine.OutInfo.Width = c.width;
        p.Engine.OutInfo.Height = c.height;
        p.Engine.ForceBigTiff = c.force;
        // A named temporary, so that the header written at once can be looked at.
        ForceNamedTemporaries(true);
        ASSERT_TRUE(p.Engine.OpenOutFile(out.File("o")));
        ForceNamedTemporaries(false);
        EXPECT_EQ(p.Engine.OutInfo.FileName, out.File(c.name));
        EXPECT_TRUE(p.Engine.OutOpen);
        EXPECT_EQ(p.Engine.OutInfo.ScanLineSize, c.width * 3);
        // Nothing has the name before the output is complete; the temporary's header word
        // tells the kind.
        std::string temporary;
        for (const std::string& name : out.Names()) {
            if (name.size() > 5 && name.compare(name.size() - 5, 5, ".part") == 0) {
                temporary = name;
            }
        }
        ASSERT_FALSE(temporary.empty());
        std::vector<uint8_t> bytes = ReadBytes(out.File(temporary));
        ASSERT_GE(bytes.size(), 4u);
        EXPECT_EQ(bytes[2], std::string(c.name).find(".big.") != std::string::npos ? 43 : 42);
        // No line was written: closing gives the output up, and nothing is left.
        p.Engine.Abort = true;
        EXPECT_TRUE(p.Engine.CloseOutFile());
        EXPECT_TRUE(out.Names().empty());
        p.Engine.Abort = false;
        p.Engine.Reset();
        EXPECT_FALSE(p.Engine.ForceBigTiff);
    }
}

TEST(CopyRegion, ForcedBigTiffIsWrittenAndReadable)
{
    TTempDir in;
    const TPixels image = PatternImage(7, 3, 8, 4);
    ASSERT_TRUE(WriteKro(in.File("in.kro"), image));
    TProbed p(in.File("in.kro"));
    TTempDir out;
    p.Engine.OutInfo.ImageType = FileType::TIF;
    p.Engine.ForceBigTiff = true;
    p.Engine.Lzw = true;
    p.Engine.CopyRegion(0, 0, 7, 3, out.Path(), "");
    ASSERT_FALSE(p.Engine.Abort);
    ASSERT_EQ(out.Names(), std::vector<std::string> { "in.big.tif" });
    EXPECT_EQ(ReadBytes(out.File("in.big.tif"))[2], 43);
    const auto back = ReadImage(out.File("in.big.tif"));
    ASSERT_TRUE(back.has_value());
    EXPECT_TRUE(SamePixels(WithChannels(image, 3), *back));
    // The BigTIFF can be read in again, as split and merge do with their own tiles.
    TProbed again(out.File("in.big.tif"));
    EXPECT_TRUE(again.Engine.InInfo.ImageIsOk);
}

TEST(OpenOutFile, CreateFailureIsAWriteErrorAndLeavesNothing)
{
    for (const FileType type : { FileType::KRO, FileType::RAW, FileType::TIF }) {
        SCOPED_TRACE(int(type));
        TTempDir in;
        ASSERT_TRUE(WriteRaw(in.File("i_2X2.raw"), PatternImage(2, 2, 8, 3)));
        TProbed p(in.File("i_2X2.raw"));
        TEngineRecorder hooks;
        hooks.Attach(p.Engine);
        TTempDir out;
        p.Engine.OutInfo.ImageType = type;
        p.Engine.OutInfo.Width = 2;
        p.Engine.OutInfo.Height = 2;
        TFaultSeam seam;
        seam.FailOpenAt = 1;
        seam.Error = EACCES;
        bool opened = true;
        {
            TSeamInstaller installed(seam);
            opened = p.Engine.OpenOutFile(out.File("o"));
        }
        EXPECT_FALSE(opened);
        EXPECT_FALSE(p.Engine.OutOpen);
        EXPECT_EQ(p.Dialogs.Messages, std::vector<std::string> { "Write to file error" });
        EXPECT_TRUE(hooks.Errors.empty());
        EXPECT_TRUE(out.Names().empty());
        EXPECT_TRUE(p.Engine.CloseOutFile());
        EXPECT_TRUE(p.Engine.CloseOutFile()); // safe twice
    }
}

TEST(OpenOutFile, RefusesEmptyOrTooWideOutputsBeforeCreatingThem)
{
    struct TCase {
        uint32_t width;
        uint32_t height;
        const char* message;
    };
    const TCase cases[] = {
        { 0, 5, "Height or Width = 0" },
        { 5, 0, "Height or Width = 0" },
        { 100000001, 1, "Image dimensions exceed internal limits" },
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.message);
        TTempDir in;
        ASSERT_TRUE(WriteRaw(in.File("i_2X2.raw"), PatternImage(2, 2, 16, 3)));
        TProbed p(in.File("i_2X2.raw"));
        TTempDir out;
        p.Engine.OutInfo.ImageType = FileType::KRO;
        p.Engine.OutInfo.Width = c.width;
        p.Engine.OutInfo.Height = c.height;
        EXPECT_FALSE(p.Engine.OpenOutFile(out.File("o")));
        EXPECT_EQ(p.Dialogs.Messages, std::vector<std::string> { c.message });
        EXPECT_TRUE(out.Names().empty());
    }
}

TEST(OpenOutFile, TheOutputTakesTheInputsDepthAndItsOwnLayout)
{
    struct TCase {
        FileType type;
        uint8_t bits;
        uint8_t channels;
        uint8_t bytesPerPixel;
        bool lsb;
        const char* name;
    };
    const TCase cases[] = {
        { FileType::KRO, 8, 4, 4, false, "o.kro" },
        { FileType::KRO, 16, 4, 8, false, "o.kro" },
        { FileType::RAW, 8, 3, 3, true, "o.raw" },
        { FileType::RAW, 16, 3, 6, true, "o.raw" },
        { FileType::TIF, 16, 3, 6, true, "o.tif" },
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.name + std::to_string(c.bits));
        TTempDir in;
        ASSERT_TRUE(WriteTiff(in.File("i.tif"), PatternImage(2, 2, c.bits, 4)));
        TProbed p(in.File("i.tif"));
        TTempDir out;
        p.Engine.OutInfo.ImageType = c.type;
        p.Engine.OutInfo.Width = 5;
        p.Engine.OutInfo.Height = 1;
        ASSERT_TRUE(p.Engine.OpenOutFile(out.File("o")));
        EXPECT_EQ(p.Engine.OutInfo.FileName, out.File(c.name));
        EXPECT_EQ(p.Engine.OutInfo.Bits, c.bits);
        EXPECT_EQ(p.Engine.OutInfo.Channels, c.channels);
        EXPECT_EQ(p.Engine.OutInfo.BytesPerPixel, c.bytesPerPixel);
        EXPECT_EQ(p.Engine.OutInfo.IsLsb, c.lsb);
        EXPECT_EQ(p.Engine.OutInfo.ScanLineSize, 5u * c.bytesPerPixel);
        EXPECT_NE(p.Engine.OutInfo.ScanLine, nullptr);
        p.Engine.Abort = true; // no line was written
        EXPECT_TRUE(p.Engine.CloseOutFile());
        EXPECT_EQ(p.Engine.OutInfo.ScanLine, nullptr);
    }
}

/// A new empty file open for writing; the caller closes it.
int CreateFd(const std::string& path)
{
    return ::open(path.c_str(), O_CREAT | O_TRUNC | O_RDWR | O_CLOEXEC, 0644);
}

TEST(SeqFile, KeepsItsFirstWriteFailure)
{
    TTempDir dir;
    TFaultSeam seam;
    seam.FailWriteAt = 1;
    seam.Error = ENOSPC;
    const int fd = CreateFd(dir.File("f.raw"));
    ASSERT_GE(fd, 0);
    {
        TSeamInstaller installed(seam);
        TSeqFile file;
        file.AttachWrite(fd);
        const std::vector<uint8_t> bytes(3 << 20, 1); // more than the buffer: written at once
        EXPECT_EQ(file.Write(bytes.data(), bytes.size()), 0);
        EXPECT_EQ(file.Write(bytes.data(), 10), 0); // nothing more after a failure
        EXPECT_FALSE(file.Close());
        EXPECT_EQ(file.Error(), ENOSPC);
    }
    // An attached descriptor stays its owner's.
    EXPECT_EQ(::close(fd), 0);
}

TEST(SeqFile, BufferedLinesArriveWholeAndInOrder)
{
    TTempDir dir;
    std::vector<uint8_t> expected;
    {
        const int fd = CreateFd(dir.File("f.raw"));
        ASSERT_GE(fd, 0);
        TScopeExit closeFd([fd] { ::close(fd); });
        TSeqFile file;
        file.AttachWrite(fd);
        // Line sizes around the buffer size, so that lines straddle every flush.
        for (size_t size :
            { size_t(5), size_t(1) << 20, (size_t(1) << 20) - 3, size_t(7), size_t(3) << 19 }) {
            std::vector<uint8_t> line(size);
            for (size_t i = 0; i < size; ++i) {
                line[i] = uint8_t(expected.size() + i);
            }
            EXPECT_EQ(file.Write(line.data(), line.size()), int64_t(size));
            expected.insert(expected.end(), line.begin(), line.end());
        }
        EXPECT_TRUE(file.Close());
        EXPECT_TRUE(file.Close());
    }
    EXPECT_EQ(ReadBytes(dir.File("f.raw")), expected);
    TSeqFile file;
    ASSERT_TRUE(file.OpenRead(dir.File("f.raw")));
    ASSERT_TRUE(file.Skip(5));
    std::vector<uint8_t> got(expected.size() - 5 + 10);
    EXPECT_EQ(file.Read(got.data(), 100), 100);
    EXPECT_EQ(file.Read(got.data() + 100, got.size() - 100), int64_t(expected.size() - 105));
    got.resize(expected.size() - 5);
    EXPECT_EQ(got, std::vector<uint8_t>(expected.begin() + 5, expected.end()));
    EXPECT_EQ(file.Error(), 0);
}

TEST(SilenceTiffLibrary, LibtiffPrintsNothingForBrokenFiles)
{
    TTempDir dir;
    ASSERT_TRUE(WriteBytes(dir.File("bad.tif"), { 'I', 'I', 42, 0, 0xFF, 0xFF, 0xFF, 0x7F }));
    TTavmor engine;
    engine.InInfo.FileName = dir.File("bad.tif");
    ::testing::internal::CaptureStderr();
    ::testing::internal::CaptureStdout();
    engine.CheckFile(false);
    const std::string out = ::testing::internal::GetCapturedStdout();
    const std::string err = ::testing::internal::GetCapturedStderr();
    EXPECT_FALSE(engine.InInfo.ImageIsOk);
    EXPECT_EQ(out, "");
    EXPECT_EQ(err, "");
}

} // namespace

namespace {

TEST(BigTiffUnderCompression, AnOutputThatCouldPassTheClassicLimitIsABigTiff)
{
    // The classic limit lowered so that a small image stands for one that would pass 4 GiB:
    // compressed outputs are judged by their codec's worst case, uncompressed ones by the
    // long-standing pixel-bytes rule.
    TClassicTiffLimitForTests limit(2000);
    TTempDir in;
    const TPixels image = PatternImage(40, 30, 8, 3);
    ASSERT_TRUE(WriteTiff(in.File("p.tif"), image));
    struct TCase {
        bool Lzw;
        const char* Name;
        uint8_t Version;
    };
    for (const TCase& c : { TCase { true, "p.big.tif", 43 }, TCase { false, "p.tif", 42 } }) {
        SCOPED_TRACE(c.Name);
        TProbed p(in.File("p.tif"));
        TTempDir out;
        p.Engine.OutInfo.ImageType = FileType::TIF;
        p.Engine.Lzw = c.Lzw;
        ASSERT_EQ(TOutcome::Done, p.Engine.CopyRegion(0, 0, 40, 30, out.Path(), ""));
        EXPECT_EQ(out.File(c.Name), p.Engine.OutInfo.FileName);
        const std::vector<uint8_t> bytes = ReadBytes(out.File(c.Name));
        ASSERT_GE(bytes.size(), 4u);
        EXPECT_EQ(c.Version, bytes[2]);
        const auto back = ReadImage(out.File(c.Name));
        ASSERT_TRUE(back.has_value());
        EXPECT_TRUE(SamePixels(image, *back));
    }
}

} // namespace
