// Damaged and hostile image files, made here rather than kept as binaries: missing, empty,
// short and undecodable strips and tiles of any plane, lying strip and tile sizes, headers
// libtiff cannot open, associated alpha and extra samples, KRO files shorter than their
// header. The hostile-input tests check each one's outcome; the fuzz seeds include them all.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "support/TestImages.h"

namespace CraftedFiles {

/// One crafted file.
struct TCrafted {
    std::string Name; ///< what is wrong with it, as a test row names it
    std::string FileName; ///< the name it is saved under (its extension picks the format)
    std::vector<uint8_t> Bytes;
    /// What a correct reader delivers (the first four samples, colour as stored), when the
    /// file is readable at all.
    std::optional<TestImages::TPixels> Image;
    bool AssociatedAlpha = false; ///< the fourth sample is associated alpha
};

/// Every crafted file, in a fixed order.
const std::vector<TCrafted>& All();
/// The crafted file of that name; throws std::out_of_range when there is none.
const TCrafted& Named(const std::string& name);

} // namespace CraftedFiles
