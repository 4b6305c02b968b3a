// Writes the seed corpus of every fuzz target into a folder: small valid TIFF variants
// (strips, tiles, planar, LZW, 8 and 16 bits, 3 and 4 samples, BigTIFF), KRO and RAW files
// from the test writers, the tests' crafted damaged and hostile files, sample names, settings
// files and update-server answers.
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "engine/FileNames.h"
#include "fuzz/FuzzImageInput.h"
#include "support/CraftedFiles.h"
#include "support/TestImages.h"

using namespace TestImages;

namespace {

bool Save(const std::string& path, const std::vector<uint8_t>& bytes)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
    return bool(out);
}

bool SaveText(const std::string& path, const std::string& text)
{
    return Save(path, std::vector<uint8_t>(text.begin(), text.end()));
}

/// One image seed: the option bytes, then the file written by the test writer at scratch.
bool SaveImageSeed(
    const std::string& path, const FuzzImageInput::TOptions& options, const std::string& scratch)
{
    std::vector<uint8_t> bytes(FuzzImageInput::kPrefixSize);
    FuzzImageInput::Encode(options, bytes.data());
    const std::vector<uint8_t> file = ReadBytes(scratch);
    std::filesystem::remove(scratch);
    if (file.empty()) {
        return false;
    }
    bytes.insert(bytes.end(), file.begin(), file.end());
    return Save(path, bytes);
}

} // namespace

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: fuzz_seeds FOLDER\n");
        return 2;
    }
    namespace fs = std::filesystem;
    const fs::path root = argv[1];
    for (const char* target : { "fuzz_image", "fuzz_names", "fuzz_setup", "fuzz_version" }) {
        fs::create_directories(root / target);
    }
    const std::string scratch = (root / "scratch.tmp").string();
    using FuzzImageInput::TInKind;
    bool ok = true;
    int n = 0;

    struct TTiffSeed {
        const char* name;
        TTiffOptions options;
    };
    const TTiffSeed tiffs[] = {
        { "strips", {} },
        { "strips-of-3-lzw", { .Compression = 5, .RowsPerStrip = 3 } },
        { "big-endian", { .BigEndian = true } },
        { "bigtiff", { .BigTiff = true } },
        { "tiled", { .Kind = TTiffKind::Tiled } },
        { "tiled-lzw", { .Kind = TTiffKind::Tiled, .Compression = 5 } },
        { "planar", { .Kind = TTiffKind::Planar } },
        { "planar-lzw", { .Kind = TTiffKind::Planar, .Compression = 5, .RowsPerStrip = 2 } },
        { "planar-tiled", { .Kind = TTiffKind::PlanarTiled } },
    };
    for (const TTiffSeed& t : tiffs) {
        for (uint8_t bits : { 8, 16 }) {
            for (uint8_t channels : { 3, 4 }) {
                ok = WriteTiff(scratch, PatternImage(5, 3, bits, channels), t.options) && ok;
                FuzzImageInput::TOptions o;
                o.In = t.options.BigTiff ? TInKind::BigTif : TInKind::Tif;
                o.Out = uint8_t(n++ % 4);
                // TIFF outputs of every coding, some keeping alpha.
                o.Coding = uint8_t((n / 4) % 4);
                o.KeepAlpha = n % 3 == 0;
                const std::string name = std::string("tif-") + t.name + "-" + std::to_string(bits)
                    + "-" + std::to_string(channels);
                ok = SaveImageSeed((root / "fuzz_image" / name).string(), o, scratch) && ok;
            }
        }
    }
    for (uint8_t bits : { 8, 16 }) {
        ok = WriteKro(scratch, PatternImage(4, 3, bits, 4)) && ok;
        FuzzImageInput::TOptions o { TInKind::Kro, uint8_t(n++ % 4), false, 0, 0 };
        ok = SaveImageSeed(
                 (root / "fuzz_image" / ("kro-" + std::to_string(bits))).string(), o, scratch)
            && ok;
        ok = WriteRaw(scratch, PatternImage(4, 3, bits, 3)) && ok;
        FuzzImageInput::TOptions r { TInKind::Raw, uint8_t(n++ % 4), bits == 16, 4, 3 };
        ok = SaveImageSeed(
                 (root / "fuzz_image" / ("raw-" + std::to_string(bits))).string(), r, scratch)
            && ok;
    }

    // Every crafted damaged or hostile file of the tests, each into a different output kind.
    for (const CraftedFiles::TCrafted& crafted : CraftedFiles::All()) {
        std::vector<uint8_t> bytes(FuzzImageInput::kPrefixSize);
        FuzzImageInput::TOptions o;
        o.In = UpperExtensionOf(crafted.FileName) == ".KRO" ? TInKind::Kro : TInKind::Tif;
        o.Out = uint8_t(n++ % 4);
        FuzzImageInput::Encode(o, bytes.data());
        bytes.insert(bytes.end(), crafted.Bytes.begin(), crafted.Bytes.end());
        ok = Save((root / "fuzz_image" / ("crafted-" + crafted.Name)).string(), bytes) && ok;
    }

    const char* names[] = {
        "/data/pano_1000X500.raw",
        "/data/pano_1000X500_x3y2.raw",
        "C:\\images\\p_x12y7.tif",
        "pano_x1y1.big.tif",
        "a.b.c_10X20_x1y1.kro",
        "pano_4294967296X1.raw",
        "t_x-1y2.tif",
        "p_x1y1.tif\np_x2y1.tif\np_x1y2.tif\np_x2y2.tif",
        "Über Bild_x1y1.TIF\nÜber Bild_X1Y1.tif",
        "+2147483647",
    };
    int i = 0;
    for (const char* name : names) {
        ok = SaveText((root / "fuzz_names" / ("name-" + std::to_string(i++))).string(), name) && ok;
    }

    using namespace std::string_literals; // "..."s keeps the zero bytes of UTF-16
    const std::string setups[] = {
        "WindowPosX=400\r\nWindowPosY=100\r\nCheckForUpdates=True\r\n"s,
        "\357\273\277windowposx = -20\nWINDOWPOSY=99999999999\ncheckforupdates= false \n"s,
        "\xFF\xFEW\0i\0n\0d\0o\0w\0P\0o\0s\0X\0=\0001\0\r\0\n\0"s,
        "junk\rWindowPosX=1\rWindowPosX=2"s,
    };
    i = 0;
    for (const std::string& text : setups) {
        ok =
            SaveText((root / "fuzz_setup" / ("setup-" + std::to_string(i++))).string(), text) && ok;
    }

    // "\357\273\277" is a UTF-8 byte-order mark before the version.
    const char* answers[] = { "2.1.0\r\n", "2.2.0\nnotes", "\357\273\2772.1.0", "", "\r\n2.3" };
    i = 0;
    for (const char* answer : answers) {
        ok = SaveText((root / "fuzz_version" / ("answer-" + std::to_string(i++))).string(), answer)
            && ok;
    }
    if (!ok) {
        std::fprintf(stderr, "fuzz_seeds: some seeds could not be written\n");
        return 1;
    }
    return 0;
}
