// The parts of the RAW and tile file-name grammar that the resize worker reads and writes.
#include "resample/TileNames.h"

#include <cctype>
#include <charconv>

namespace TileNames {

namespace {

// Tile and size parts are recognised on at most this many characters after their "_".
constexpr size_t kPartScanLength = 100;

std::string FilePartOf(const std::string& path)
{
    const size_t slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::string Upper(std::string text)
{
    for (char& c : text)
        c = char(std::toupper(static_cast<unsigned char>(c)));
    return text;
}

bool IsDigit(char c)
{
    return c >= '0' && c <= '9';
}

// The last "_" with at least two characters after it that is followed by `first` (a
// predicate) and then a digit; npos when there is none.
template <typename Pred> size_t LastPartStart(const std::string& name, Pred first, bool thenDigit)
{
    for (size_t i = name.size(); i-- > 0;) {
        if (name[i] != '_' || name.size() - i - 1 < 2)
            continue;
        if (first(name[i + 1]) && (!thenDigit || IsDigit(name[i + 2])))
            return i;
    }
    return std::string::npos;
}

// True when the upper-cased part (with "." appended) holds `letter` followed by a digit.
bool LetterThenDigit(const std::string& name, size_t start, char letter)
{
    const std::string part = Upper(name.substr(start, kPartScanLength)) + ".";
    const size_t at = part.find(letter);
    return at != std::string::npos && IsDigit(part[at + 1]);
}

uint32_t NonNegative(int32_t v)
{
    return v < 0 ? 0 : uint32_t(v);
}

} // namespace

void SplitFileName(const std::string& fullName, std::string& base, std::string& extension)
{
    std::string name = FilePartOf(fullName);
    extension.clear();
    if (const size_t dot = name.rfind('.'); dot != std::string::npos) {
        extension = name.substr(dot + 1);
        name.erase(dot);
    }
    if (const size_t dot = name.rfind('.');
        dot != std::string::npos && Upper(name.substr(dot)) == ".BIG") {
        name.erase(dot);
        extension = "big." + extension;
    }
    const size_t tile = LastPartStart(
        name, [](char c) { return c == 'X' || c == 'x'; }, true);
    if (tile != std::string::npos && LetterThenDigit(name, tile, 'Y'))
        name.erase(tile);
    const size_t size = LastPartStart(name, IsDigit, false);
    if (size != std::string::npos && LetterThenDigit(name, size, 'X'))
        name.erase(size);
    base = name;
}

void RawSizeFromName(const std::string& fullName, uint32_t& width, uint32_t& height)
{
    width = 0;
    height = 0;
    std::string base, extension;
    SplitFileName(fullName, base, extension);
    const std::string filePart = FilePartOf(fullName);
    if (base.empty() || filePart.size() <= base.size() + 1)
        return;
    std::string t = filePart.substr(base.size() + 1);
    const size_t x = Upper(t).find('X');
    if (x == std::string::npos || x == 0)
        return;
    width = NonNegative(StrToIntSafe(t.substr(0, x)));
    t.erase(0, x + 1);
    size_t end = t.find('_');
    if (end == std::string::npos || end == 0)
        end = t.find('.');
    if (end == std::string::npos)
        return;
    height = NonNegative(StrToIntSafe(t.substr(0, end)));
}

void TileIndexFromName(const std::string& fullName, uint32_t& column, uint32_t& row)
{
    column = 0;
    row = 0;
    const std::string filePart = FilePartOf(fullName);
    const size_t underscore = filePart.rfind('_');
    std::string t = underscore == std::string::npos ? filePart : filePart.substr(underscore + 1);
    const std::string upper = Upper(t);
    if (upper.find('X') != 0)
        return;
    const size_t y = upper.find('Y');
    if (y == std::string::npos)
        return;
    column = NonNegative(StrToIntSafe(t.substr(1, y - 1)));
    t.erase(0, y + 1);
    const size_t dot = t.find('.');
    if (dot == std::string::npos)
        return;
    row = NonNegative(StrToIntSafe(t.substr(0, dot)));
}

std::string FolderOf(const std::string& path)
{
    const size_t slash = path.rfind('/');
    return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

int32_t StrToIntSafe(const std::string& text)
{
    const char* first = text.data();
    const char* last = first + text.size();
    // from_chars reads a leading minus but no plus; a sign must be followed by a digit.
    if (first != last && *first == '+')
        ++first;
    const char* digits = first != last && *first == '-' && text[0] != '+' ? first + 1 : first;
    if (digits == last || !IsDigit(*digits))
        return 0;
    int32_t value = 0;
    const auto [end, ec] = std::from_chars(first, last, value);
    return ec == std::errc() && end == last ? value : 0;
}

} // namespace TileNames
