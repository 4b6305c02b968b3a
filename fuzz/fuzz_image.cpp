// Fuzz target: an arbitrary file under each input extension goes through the probe and, when
// accepted, a region copy of the whole image into an arbitrary output kind. Any crash,
// sanitizer report or leak is a finding; refusals and read errors are expected outcomes.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "engine/EngineDialogs.h"
#include "engine/TavmorManager.h"
#include "fuzz/FuzzImageInput.h"
#include "fuzz/FuzzTemp.h"

namespace {

// Images larger than this are probed but not copied: a copy of them only writes more bytes of
// the same shape and would slow every run down without reaching new code.
constexpr uint64_t kMaxCopiedPixels = 1u << 18;

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    using namespace FuzzImageInput;
    if (size < kPrefixSize) {
        return 0;
    }
    const TOptions options = Decode(data);
    std::string name;
    switch (options.In) {
    case TInKind::Tif:
        name = "in.tif";
        break;
    case TInKind::BigTif:
        name = "in.big.tif";
        break;
    case TInKind::Kro:
        name = "in.kro";
        break;
    case TInKind::Raw:
        name = "in_" + std::to_string(options.RawWidth) + "X" + std::to_string(options.RawHeight)
            + ".raw";
        break;
    }
    const std::string input = FuzzTemp::WriteFile(name, data + kPrefixSize, size - kPrefixSize);
    if (input.empty()) {
        return 0;
    }
    static const std::string outFolder = [] {
        const std::string folder = FuzzTemp::Folder() + "out/";
        (void)std::system(("mkdir -p '" + folder + "'").c_str());
        return folder;
    }();

    TSilentDialogs dialogs;
    TTavmor engine;
    engine.Reset();
    engine.Dialogs = &dialogs;
    engine.InInfo.FileName = input;
    engine.CheckFile(false);
    if (engine.InInfo.ImageIsOk
        && uint64_t(engine.InInfo.Width) * engine.InInfo.Height <= kMaxCopiedPixels) {
        static const FileType kOut[] = { FileType::TIF, FileType::TIF, FileType::RAW,
            FileType::KRO };
        engine.OutInfo.ImageType = kOut[options.Out];
        engine.Lzw = options.Out == 1;
        engine.ForceBigTiff = options.ForceBigTiff;
        engine.CopyRegion(0, 0, engine.InInfo.Width, engine.InInfo.Height, outFolder, "");
    }
    engine.CloseInFile();
    (void)engine.CloseOutFile();
    FuzzTemp::Empty(outFolder);
    return 0;
}
