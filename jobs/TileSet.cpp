// Tile selection checks shared by the window's input selection and the command line's merge.
#include "jobs/TileSet.h"

#include <array>
#include <cstddef>
#include <string_view>

#include "engine/TavmorUtils.h"
#include "jobs/JobTexts.h"

namespace {

/// The text from `from` up to (not including) the first character in `stops`, never reaching
/// the last character of the name; `next` is left at the stop character (or the last one).
std::string CollectUntil(
    const std::string& name, std::size_t from, std::string_view stops, std::size_t& next)
{
    const std::size_t last = name.size() - 1;
    std::size_t i = from;
    while (i < last && stops.find(name[i]) == std::string_view::npos) {
        ++i;
    }
    next = i;
    return from < i ? name.substr(from, i - from) : std::string();
}

} // namespace

bool IsSupportedExt(const std::string& upperExt)
{
    static constexpr std::array<std::string_view, 5> kSupported = { ".TIF", ".TIFF", ".KRO", ".RAW",
        ".RGB" };
    for (std::string_view ext : kSupported) {
        if (upperExt == ext) {
            return true;
        }
    }
    return false;
}

bool HasSupportedExt(const std::string& path)
{
    return IsSupportedExt(UpperExtensionOf(path));
}

bool ParseTileIndex(const std::string& path, int32_t& x, int32_t& y)
{
    const std::string name = FileNameOf(path);
    // The "_" needs at least seven characters after it, as in "_X1Y1.tif".
    if (name.size() < 8) {
        return false;
    }
    std::size_t p = name.size() - 7;
    bool found = false;
    while (p-- > 0) {
        if (name[p] == '_' && (name[p + 1] == 'X' || name[p + 1] == 'x')) {
            found = true;
            break;
        }
    }
    if (!found) {
        return false;
    }
    std::size_t next = 0;
    x = StrToIntSafe(CollectUntil(name, p + 2, "Yy", next));
    y = StrToIntSafe(CollectUntil(name, next + 1, ".", next));
    return true;
}

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
