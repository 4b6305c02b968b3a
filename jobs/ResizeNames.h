// The names of the Resize job's images: the intermediate a tiling pass joins its shrunk tiles
// into, the result of the final pass's worker and the output, each named as the pass that makes
// it has always named it (after the input's base name, with the size where the kind carries it).
#pragma once

#include <cstdint>
#include <string>

#include "engine/Formats.h"

namespace ResizeNames {

/// The stem (name without extension) of the intermediate of a tiling pass over input, written
/// into folder (ending with the separator): named after the first tile's shrunk version,
/// firstWidth x firstHeight shrunk to newFirstWidth x newFirstHeight, with the joined size
/// width x height.
std::string IntermediateStem(const std::string& folder, const std::string& input,
    uint32_t firstWidth, uint32_t firstHeight, uint32_t newFirstWidth, uint32_t newFirstHeight,
    uint32_t width, uint32_t height);

/// The RAW copy of the user's file that the final pass's worker reads when no tiling pass ran:
/// in folder, named after input, with its size.
std::string WorkingCopy(
    const std::string& folder, const std::string& input, uint32_t width, uint32_t height);

/// What the final pass's worker makes of source (a size-named RAW file): the same folder and
/// base name with the new size, and the tile position source carries.
std::string WorkerResult(const std::string& source, uint32_t newWidth, uint32_t newHeight);

/// The stem of the job's output of width x height in the format, in folder, for the image the
/// job ends with (image: the intermediate or the worker's result).
std::string OutputStemFor(const std::string& folder, const std::string& image,
    const TFormat& format, uint32_t width, uint32_t height);

} // namespace ResizeNames
