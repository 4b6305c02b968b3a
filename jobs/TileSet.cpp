// Tile selection checks shared by the window's input selection and the command line's merge.
#include "jobs/TileSet.h"

#include "engine/TavmorUtils.h"
#include "jobs/JobTexts.h"

TTileSetCheck CheckTileSet(const std::vector<std::string>& names)
{
    TTileSetCheck result;
    if (names.empty()) {
        // Nothing to merge: an empty grid must not pass as "0 files selected".
        result.Message = JobText::CantMerge;
        return result;
    }
    const std::string reference = UpperExtensionOf(names.front());
    int32_t maxColumn = 0;
    int32_t maxRow = 0;
    for (const std::string& name : names) {
        if (UpperExtensionOf(name) != reference) {
            result.Message = JobText::TwoDifferentTypes;
            return result;
        }
        int32_t x = 0;
        int32_t y = 0;
        if (ParseTileIndex(name, x, y)) {
            maxColumn = x > maxColumn ? x : maxColumn;
            maxRow = y > maxRow ? y : maxRow;
        }
    }
    // 64 bits: two large positions must not wrap into a product that happens to match.
    const int64_t n = int64_t { maxColumn } * int64_t { maxRow };
    const auto count = static_cast<int64_t>(names.size());
    if (count == n) {
        result.Ok = true;
        result.Columns = maxColumn;
        result.Rows = maxRow;
        result.Message = std::to_string(count) + JobText::FilesSelected;
    } else if (n <= 0) {
        result.Message = JobText::CantMerge;
    } else {
        result.Message = JobText::SelectedCountMustBe + std::to_string(n);
    }
    return result;
}
