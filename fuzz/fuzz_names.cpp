// Fuzz target: arbitrary names through the RAW and tile name grammar, with the properties
// every answer must have whatever the name.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "engine/TavmorManager.h"
#include "engine/TavmorUtils.h"
#include "jobs/TileSet.h"

namespace {

void Check(bool condition)
{
    if (!condition) {
        std::abort();
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::string name(reinterpret_cast<const char*>(data), size);

    const TSplitName split = SplitFileName(name);
    // The parts come out of the name: neither can be longer than it.
    Check(split.Base.size() <= name.size());
    Check(split.Extension.size() <= name.size());
    Check(BaseNameOf(name) == split.Base);

    uint32_t width = 0;
    uint32_t height = 0;
    RawSizeFromName(name, width, height);
    uint32_t column = 0;
    uint32_t row = 0;
    TileIndexFromName(name, column, row);
    int32_t x = 0;
    int32_t y = 0;
    // Signed on purpose ("_X-1Y2." gives -1): the selection check refuses such grids.
    (void)ParseTileIndex(name, x, y);
    (void)StrToIntSafe(name);
    (void)UpperExtensionOf(name);
    (void)DirectoryOf(name);
    (void)FileNameOf(name);

    // The finder and the plain lookup agree on a list made of pieces of the name.
    std::vector<std::string> files;
    size_t start = 0;
    for (size_t i = 0; i <= name.size() && files.size() < 16; ++i) {
        if (i == name.size() || name[i] == '\n') {
            files.push_back(name.substr(start, i - start));
            start = i + 1;
        }
    }
    const TTileFinder finder(files);
    for (uint32_t c = 1; c <= 3; ++c) {
        for (uint32_t r = 1; r <= 3; ++r) {
            Check(finder.Find(c, r) == FindTileFile(files, c, r));
        }
    }
    return 0;
}
