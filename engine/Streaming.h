// The three streaming operations over input and output images: region copy, tile split and
// tile merge. Each moves one line at a time, reports through the run context and returns its
// outcome; an output takes its final name only when the whole operation succeeded.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "engine/FileInfo.h"
#include "engine/ImageFiles.h"
#include "engine/Outcome.h"
#include "engine/RunContext.h"

namespace Stream {

/// Copies the rectangle [x, x + width) x [y, y + height) of the probed input into one new
/// output in outFolder (ending with the separator), named after the input's base name (with
/// the size part where the kind carries it), converting the pixel layout on the way. written
/// receives the output's description (its buffer pointer null). On any outcome but Done no
/// output of this call exists and a file that had the name is as it was.
TOutcome CopyRegion(TRunContext& run, const TFileInfo& input, int32_t x, int32_t y, uint32_t width,
    uint32_t height, const TOutputSpec& out, const std::string& outFolder,
    const std::string& caption, TFileInfo& written);

/// Cuts the probed input into tiles of tileWidth x tileHeight pixels (clamped to the image) in
/// outFolder, reading each input line once. The tiles take their names together once the last
/// band is written; fileList then receives every tile's name, band by band. On any other
/// outcome no tile of this call exists and fileList is as it was.
TOutcome SplitImage(TRunContext& run, const TFileInfo& input, uint32_t tileWidth,
    uint32_t tileHeight, const TOutputSpec& out, const std::string& outFolder,
    const std::string& caption, std::vector<std::string>& fileList);

/// Joins the countX x countY tiles found in files (FindTileFile) into one image in outFolder,
/// named after the first file's base name, refusing tiles of another size or depth than the
/// reference tiles, an output beyond kMaxImageSide and an output that would be one of files or
/// currentInput. written receives the output's description. On any outcome but Done no output
/// of this call exists.
TOutcome MergeTiles(TRunContext& run, uint32_t countX, uint32_t countY,
    const std::vector<std::string>& files, const TOutputSpec& out, const std::string& outFolder,
    const std::string& caption, const std::string& currentInput, TFileInfo& written);

/// Gives a finished output its final name; reports a failure (or a file of that name that
/// appeared meanwhile, when the user had not agreed to replace one) and gives Failed then.
TOutcome CommitOutput(TRunContext& run, TImageOutput& output);

} // namespace Stream

/// Describes info.FileName by the probe of the format its extension selects; ImageIsOk false
/// (and nothing shown) for an extension no format has.
void ProbeFile(TFileInfo& info, TEngineDialogs& dialogs, bool askUser);
