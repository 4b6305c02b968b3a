// The file-name grammar of RAW files and tiles: building and taking apart names that carry an
// image's size and a tile's column and row, and finding the tiles of a grid in a list of names.
#include "engine/FileNames.h"

#include <cstddef>
#include <string_view>

#include "engine/TavmorUtils.h"

namespace {

// A tile or size part is looked at only up to this many characters after its "_".
constexpr std::size_t kNamePartScanLimit = 100;

bool IsDigit(char c)
{
    return c >= '0' && c <= '9';
}

char ToUpper(char c)
{
    return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
}

char ToLower(char c)
{
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

/// Index of the first character of the file-name part (just after the last separator).
std::size_t FileNameStart(std::string_view path)
{
    const std::size_t sep = path.rfind(kPathSeparator);
    return sep == std::string_view::npos ? 0 : sep + 1;
}

/// Index of the dot that starts the extension of the file-name part; npos when none.
std::size_t ExtensionDot(std::string_view path)
{
    const std::size_t start = FileNameStart(path);
    const std::size_t dot = path.rfind('.');
    return (dot == std::string_view::npos || dot < start) ? std::string_view::npos : dot;
}

/// Finds, from the end of the file-name part towards its start, the first "_" with at least two
/// characters after it that satisfies `follows`; then checks that the upper-cased text from that
/// "_" holds `marker` followed by a digit. Returns the index of the "_" to cut at, or npos.
/// Only the first candidate that satisfies `follows` is examined, so a later "_" never wins over
/// an earlier mismatch.
template <typename Follows>
std::size_t FindNamePart(std::string_view name, std::size_t nameStart, Follows follows, char marker)
{
    if (name.size() < nameStart + 3) {
        return std::string_view::npos;
    }
    for (std::size_t i = name.size() - 2; i-- > nameStart;) {
        if (name[i] != '_' || !follows(name[i + 1], name[i + 2])) {
            continue;
        }
        std::string part;
        const std::string_view raw = name.substr(i, kNamePartScanLimit);
        part.reserve(raw.size() + 1);
        for (char c : raw) {
            part.push_back(ToUpper(c));
        }
        // The closing "." keeps the look at the character after the marker inside the text.
        part.push_back('.');
        const std::size_t m = part.find(marker);
        if (m != std::string::npos && IsDigit(part[m + 1])) {
            return i;
        }
        return std::string_view::npos;
    }
    return std::string_view::npos;
}

/// StrToIntSafe limited to the values a size or an index can take (negative ones give 0).
uint32_t NonNegative(std::string_view text)
{
    const int32_t v = StrToIntSafe(std::string(text));
    return v < 0 ? 0u : static_cast<uint32_t>(v);
}

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

/// The key suffix "." + upper-cased extension of the list's first file.
std::string KeySuffixOf(const std::vector<std::string>& files)
{
    if (files.empty()) {
        return {};
    }
    std::string suffix = ".";
    suffix += UpperCase(SplitFileName(files.front()).Extension);
    return suffix;
}

} // namespace

TSplitName SplitFileName(const std::string& fullName)
{
    TSplitName result;
    std::string_view name = fullName;
    const std::size_t nameStart = FileNameStart(name);

    const std::size_t dot = ExtensionDot(name);
    if (dot != std::string_view::npos) {
        result.Extension = std::string(name.substr(dot + 1));
        name = name.substr(0, dot);
    }

    const std::size_t innerDot = ExtensionDot(name);
    if (innerDot != std::string_view::npos && name.size() - innerDot == 4) {
        const std::string_view inner = name.substr(innerDot);
        if (ToLower(inner[1]) == 'b' && ToLower(inner[2]) == 'i' && ToLower(inner[3]) == 'g') {
            name = name.substr(0, innerDot);
            result.Extension = "big." + result.Extension;
        }
    }

    // The parts are searched in the file-name part only: an "_x1y2" in a folder name is not a
    // tile part of the file.
    const std::size_t tileCut = FindNamePart(
        name, nameStart, [](char a, char b) { return (a == 'X' || a == 'x') && IsDigit(b); }, 'Y');
    if (tileCut != std::string_view::npos) {
        name = name.substr(0, tileCut);
    }

    const std::size_t sizeCut = FindNamePart(
        name, nameStart, [](char a, char) { return IsDigit(a); }, 'X');
    if (sizeCut != std::string_view::npos) {
        name = name.substr(0, sizeCut);
    }

    result.Base = std::string(name.substr(nameStart));
    return result;
}

std::string BaseNameOf(const std::string& fullName)
{
    return SplitFileName(fullName).Base;
}

void RawSizeFromName(const std::string& fullName, uint32_t& width, uint32_t& height)
{
    width = 0;
    height = 0;
    const std::string base = BaseNameOf(fullName);
    if (base.empty()) {
        return;
    }
    const std::string_view fileName = std::string_view(fullName).substr(FileNameStart(fullName));
    if (fileName.size() <= base.size() + 1) {
        return;
    }
    std::string_view t = fileName.substr(base.size() + 1);

    std::size_t x = std::string_view::npos;
    for (std::size_t i = 0; i < t.size(); ++i) {
        if (ToUpper(t[i]) == 'X') {
            x = i;
            break;
        }
    }
    if (x == std::string_view::npos || x == 0) {
        return;
    }
    width = NonNegative(t.substr(0, x));
    t = t.substr(x + 1);

    std::size_t end = t.find('_');
    if (end == std::string_view::npos || end == 0) {
        end = t.find('.');
    }
    if (end == std::string_view::npos) {
        return;
    }
    height = NonNegative(t.substr(0, end));
}

void TileIndexFromName(const std::string& fullName, uint32_t& column, uint32_t& row)
{
    column = 0;
    row = 0;
    // Only the file-name part counts, so a folder name cannot lend the file a position.
    std::string_view t = std::string_view(fullName).substr(FileNameStart(fullName));
    const std::size_t underscore = t.rfind('_');
    if (underscore != std::string_view::npos) {
        t = t.substr(underscore + 1);
    }
    if (t.empty() || ToUpper(t[0]) != 'X') {
        return;
    }
    std::size_t y = std::string_view::npos;
    for (std::size_t i = 1; i < t.size(); ++i) {
        if (ToUpper(t[i]) == 'Y') {
            y = i;
            break;
        }
    }
    if (y == std::string_view::npos) {
        return;
    }
    column = NonNegative(t.substr(1, y - 1));
    t = t.substr(y + 1);
    const std::size_t dot = t.find('.');
    if (dot == std::string_view::npos) {
        return;
    }
    row = NonNegative(t.substr(0, dot));
}

std::string RawSizeSuffix(uint64_t width, uint64_t height)
{
    std::string suffix = "_";
    suffix += std::to_string(width);
    suffix += 'X';
    suffix += std::to_string(height);
    return suffix;
}

std::string TileFileName(
    const std::string& stem, uint32_t width, uint32_t height, uint32_t column, uint32_t row)
{
    return stem + RawSizeSuffix(width, height) + "_x" + std::to_string(column) + "y"
        + std::to_string(row);
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

std::string FindTileFile(const std::vector<std::string>& Files, uint32_t column, uint32_t row)
{
    const std::string key =
        "_X" + std::to_string(column) + "Y" + std::to_string(row) + KeySuffixOf(Files);
    for (const std::string& name : Files) {
        if (UpperCase(name).find(key) != std::string::npos) {
            return name;
        }
    }
    return {};
}

TTileFinder::TTileFinder(const std::vector<std::string>& Files)
    : Names(Files)
{
    // A key "_X" + c + "Y" + r + suffix occurs in a name exactly where "_X" is followed by a
    // run of digits, "Y", a run of digits and the suffix: index every such place once.
    const std::string suffix = KeySuffixOf(Files);
    for (size_t i = 0; i < Files.size(); ++i) {
        const std::string upper = UpperCase(Files[i]);
        for (size_t p = upper.find("_X"); p != std::string::npos; p = upper.find("_X", p + 1)) {
            size_t q = p + 2;
            const size_t columnStart = q;
            while (q < upper.size() && IsDigit(upper[q])) {
                ++q;
            }
            if (q == columnStart || q >= upper.size() || upper[q] != 'Y') {
                continue;
            }
            const size_t rowStart = ++q;
            while (q < upper.size() && IsDigit(upper[q])) {
                ++q;
            }
            if (q == rowStart || upper.compare(q, suffix.size(), suffix) != 0) {
                continue;
            }
            FirstWithKey.emplace(upper.substr(columnStart, q - columnStart), i);
        }
    }
}

std::string TTileFinder::Find(uint32_t column, uint32_t row) const
{
    const auto found = FirstWithKey.find(std::to_string(column) + "Y" + std::to_string(row));
    return found == FirstWithKey.end() ? std::string() : Names[found->second];
}

std::string DirectoryOf(const std::string& path)
{
    return path.substr(0, FileNameStart(path));
}

std::string FileNameOf(const std::string& path)
{
    return path.substr(FileNameStart(path));
}

std::string UpperExtensionOf(const std::string& path)
{
    const std::size_t dot = ExtensionDot(path);
    return dot == std::string::npos ? std::string() : UpperCase(path.substr(dot));
}

std::string UpperCase(std::string text)
{
    for (char& c : text) {
        c = ToUpper(c);
    }
    return text;
}
