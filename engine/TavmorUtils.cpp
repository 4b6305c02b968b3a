// Builds and takes apart RAW and tile file names, and formats sizes and numbers for display.
#include "engine/TavmorUtils.h"

#include <array>
#include <charconv>
#include <cstddef>
#include <limits>
#include <string_view>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

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

int64_t FileSizeOf(const std::string& path)
{
    struct stat st { };
    if (path.empty() || stat(path.c_str(), &st) != 0) {
        return -1;
    }
    // A folder is found but has no bytes of its own.
    return S_ISREG(st.st_mode) ? static_cast<int64_t>(st.st_size) : 0;
}

int64_t FreeSpaceOf(const std::string& folder)
{
    struct statvfs vfs { };
    if (folder.empty() || statvfs(folder.c_str(), &vfs) != 0) {
        return 0;
    }
    const auto blocks = static_cast<unsigned long long>(vfs.f_bavail);
    const auto blockSize = static_cast<unsigned long long>(vfs.f_frsize);
    constexpr auto kMax = static_cast<unsigned long long>(std::numeric_limits<int64_t>::max());
    if (blockSize != 0 && blocks > kMax / blockSize) {
        return std::numeric_limits<int64_t>::max();
    }
    return static_cast<int64_t>(blocks * blockSize);
}

uint32_t SwapEndian32(uint32_t v)
{
    return ((v & 0x000000FFu) << 24) | ((v & 0x0000FF00u) << 8) | ((v & 0x00FF0000u) >> 8)
        | ((v & 0xFF000000u) >> 24);
}

int32_t StrToIntSafe(const std::string& text)
{
    std::size_t i = 0;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
        negative = text[i] == '-';
        ++i;
    }
    if (i == text.size()) {
        return 0;
    }
    // Accumulate the magnitude in 64 bits and stop as soon as it leaves the int32 range.
    constexpr int64_t kLimit = int64_t { std::numeric_limits<int32_t>::max() } + 1;
    int64_t magnitude = 0;
    for (; i < text.size(); ++i) {
        if (!IsDigit(text[i])) {
            return 0;
        }
        magnitude = magnitude * 10 + (text[i] - '0');
        if (magnitude > kLimit) {
            return 0;
        }
    }
    if (negative) {
        return static_cast<int32_t>(-magnitude);
    }
    return magnitude == kLimit ? 0 : static_cast<int32_t>(magnitude);
}

std::string FormatThousands(int64_t v)
{
    std::array<char, 24> buffer {};
    const auto res = std::to_chars(buffer.data(), buffer.data() + buffer.size(), v);
    std::string digits(buffer.data(), res.ptr);
    std::string sign;
    if (!digits.empty() && digits[0] == '-') {
        // The sign is kept apart so that -100 does not come out as "-.100".
        sign = "-";
        digits.erase(0, 1);
    }
    // Groups are inserted before the last 3, 7, 11 and 15 characters; each earlier "." counts,
    // which groups up to 15 digits in threes and leaves longer numbers with a wide first group.
    static constexpr std::array<std::size_t, 4> kGroupAt = { 3, 7, 11, 15 };
    for (std::size_t at : kGroupAt) {
        if (digits.size() > at) {
            digits.insert(digits.size() - at, 1, '.');
        }
    }
    return sign + digits;
}

std::string FormatPixelCount(int64_t v, char decimalSeparator)
{
    static constexpr std::array<const char*, 7> kUnits = { "Pixels", "Kilopixels", "Megapixels",
        "Gigapixels", "Terapixels", "Petapixels", "Exapixels" };
    double x = static_cast<double>(v);
    std::size_t n = 0;
    while (x >= 1000.0) {
        x /= 1000.0;
        ++n;
    }
    if (n >= kUnits.size()) {
        return "too large";
    }
    // to_chars is independent of the C locale; the caller passes the separator to show.
    std::array<char, 64> buffer {};
    const auto res =
        std::to_chars(buffer.data(), buffer.data() + buffer.size(), x, std::chars_format::fixed, 2);
    std::string text(buffer.data(), res.ptr);
    const std::size_t dot = text.find('.');
    if (dot != std::string::npos) {
        text[dot] = decimalSeparator;
    }
    return text + " " + kUnits[n];
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

bool FileExists(const std::string& path)
{
    struct stat st { };
    return !path.empty() && stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

bool DirectoryExists(const std::string& path)
{
    struct stat st { };
    return !path.empty() && stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool SameFile(const std::string& a, const std::string& b)
{
    struct stat sa { };
    struct stat sb { };
    if (a.empty() || b.empty() || stat(a.c_str(), &sa) != 0 || stat(b.c_str(), &sb) != 0) {
        return false;
    }
    return sa.st_dev == sb.st_dev && sa.st_ino == sb.st_ino;
}

bool DeleteFileAt(const std::string& path)
{
    return !path.empty() && unlink(path.c_str()) == 0;
}

std::string RawSizeSuffix(uint64_t width, uint64_t height)
{
    std::string suffix = "_";
    suffix += std::to_string(width);
    suffix += 'X';
    suffix += std::to_string(height);
    return suffix;
}
