// File-system, size and number helpers: free space, file checks, byte order, numbers for display.
#include "engine/TavmorUtils.h"

#include <array>
#include <charconv>
#include <cstddef>
#include <limits>
#include <string_view>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include "engine/IoSeam.h"

namespace {

bool IsDigit(char c)
{
    return c >= '0' && c <= '9';
}

} // namespace

int64_t FileSizeOf(const std::string& path)
{
    struct stat st { };
    if (path.empty() || IoSeam().Stat(path.c_str(), &st) != 0) {
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
